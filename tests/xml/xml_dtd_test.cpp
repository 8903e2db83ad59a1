// Document type declarations: entities, attribute declarations and defaults, element and
// notation declarations, external subsets and entities, and the expansion limits.
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "xml_test_util.h"

namespace {

// Records what the declaration hook is told.
class RecordingParser : public TXMLParser {
public:
    std::vector<TDtdElemType> kinds;
    std::vector<std::string> names;
    void DtdElementFound(const TDtdElementRec& r) override {
        kinds.push_back(r.ElementType);
        if (r.ElemDef)
            names.push_back(r.ElemDef->Name);
        else if (r.EntityDef)
            names.push_back(r.EntityDef->Name);
        else if (r.NotationDef)
            names.push_back(r.NotationDef->Name);
        else if (r.ElementType == dePI)
            names.push_back(r.Target + "|" + r.AttrList->Value("a"));
        else
            names.push_back(std::string(r.Start, r.Final + 1));
    }
};

const char kDoc[] =
    "<?xml version=\"1.0\"?>\n"
    "<!DOCTYPE tuning [\n"
    "  <!-- tunings -->\n"
    "  <?app a='1'?>\n"
    "  <!ELEMENT tuning (string+)>\n"
    "  <!ELEMENT string EMPTY>\n"
    "  <!ELEMENT note (#PCDATA | em)*>\n"
    "  <!ATTLIST string\n"
    "      name CDATA #REQUIRED\n"
    "      unit CDATA \"Hz\"\n"
    "      kind (open|fretted) 'open'\n"
    "      ver CDATA #FIXED \"2\"\n"
    "      note CDATA #IMPLIED\n"
    "      tags NMTOKENS #IMPLIED>\n"
    "  <!ENTITY e \"E string\">\n"
    "  <!ENTITY e \"later E\">\n"
    "  <!ENTITY bold \"<b>strong</b>\">\n"
    "  <!ENTITY acute \"caf&#233;\">\n"
    "  <!NOTATION png PUBLIC \"-//png\" \"viewer\">\n"
    "]>\n"
    "<tuning><string name=\"&e;\" ver='9' note='x' tags='  a \t b '/>&e; and &bold;! "
    "&acute;</tuning>";

TEST(XmlDtd, DeclarationsAreStoredAndReported) {
    RecordingParser p;
    auto parts = scanText(p, kDoc);
    EXPECT_EQ(p.DoctypeRootName, "tuning");
    ASSERT_NE(p.DoctypeEnd, nullptr);
    EXPECT_EQ(*p.DoctypeEnd, '>');
    EXPECT_EQ(p.kinds, (std::vector<TDtdElemType>{deComment, dePI, deElement, deElement, deElement,
                                                  deAttList, deEntity, deEntity, deEntity, deEntity,
                                                  deNotation}));
    EXPECT_EQ(p.names[1], "app|1");
    ASSERT_EQ(p.ElementDefs.Count(), 3);
    EXPECT_EQ(p.ElementDefs.Node("tuning")->ElemType, etChildren);
    EXPECT_EQ(p.ElementDefs.Node("tuning")->Definition, "(string+)");
    EXPECT_EQ(p.ElementDefs.Node("string")->ElemType, etEmpty);
    EXPECT_EQ(p.ElementDefs.Node("note")->ElemType, etMixed);
    EXPECT_EQ(p.ElementDefs.Node("note")->Definition, "(#PCDATA|em)*");
    const TElemDef* s = p.ElementDefs.Node("string");
    ASSERT_EQ(s->Count(), 6);
    EXPECT_EQ(s->Node("name")->DefaultType, adRequired);
    EXPECT_EQ(s->Node("kind")->AttrType, atEnumeration);
    EXPECT_EQ(s->Node("kind")->TypeDef, "(open|fretted)");
    EXPECT_EQ(s->Node("ver")->DefaultType, adFixed);
    EXPECT_EQ(s->Node("tags")->AttrType, atNmTokens);
    // The later of two declarations of one entity counts.
    EXPECT_EQ(p.GeneralEntities.Count(), 3);
    EXPECT_EQ(p.GeneralEntities.Value("e"), "later E");
    EXPECT_EQ(p.NotationDefs.Value("png"), "viewer");
    EXPECT_EQ(p.NotationDefs.Node("png")->PublicId, "-//png");

    // Text: the replacement texts, markup inside one of them read as markup.
    EXPECT_EQ(describe(parts),
              "XML Prolog::\n"
              "DTD Declaration::\n"
              "Start Tag:tuning:\n"
              "Empty Tag:string:\n"
              "Text:string:later E and\n"
              "Start Tag:b:\n"
              "Text:b:strong\n"
              "End Tag:b:\n"
              "Text:b:! caf\xE9\n"
              "End Tag:tuning:\n");
}

TEST(XmlDtd, AttributeDefaultsCompleteTheTag) {
    TXMLParser p;
    p.LoadFromBuffer(kDoc);
    p.StartScan();
    do ASSERT_TRUE(p.Scan());
    while (p.PartKind != ptEmptyTag);
    const TAttrList& a = p.PartAttributes;
    EXPECT_EQ(a.Value("name"), "later E");
    EXPECT_EQ(a.Node("name")->ValueSource, vtNormal);
    EXPECT_EQ(a.Node("name")->DeclaredType, atCData);
    EXPECT_EQ(a.Value("unit"), "Hz");
    EXPECT_EQ(a.Node("unit")->ValueSource, vtDefault);
    EXPECT_EQ(a.Value("kind"), "open");
    EXPECT_EQ(a.Node("kind")->DeclaredType, atEnumeration);
    // #FIXED wins over the value written in the tag.
    EXPECT_EQ(a.Value("ver"), "2");
    EXPECT_EQ(a.Node("ver")->ValueSource, vtFixed);
    EXPECT_EQ(a.Node("note")->ValueSource, vtImplied);
    // Declared token lists are trimmed and collapsed; CDATA values are not.
    EXPECT_EQ(a.Value("tags"), "a b");
    EXPECT_EQ(a.Count(), 6);
}

TEST(XmlDtd, SecondScanPassesOverTheDeclaration) {
    RecordingParser p;
    auto first = scanText(p, kDoc);
    const std::size_t reported = p.kinds.size();
    auto second = scanAll(p);
    EXPECT_EQ(p.kinds.size(), reported);
    EXPECT_EQ(describe(first), describe(second));
    // Loading the document again reads the declaration again.
    p.LoadFromBuffer(kDoc);
    scanAll(p);
    EXPECT_EQ(p.kinds.size(), 2 * reported);
}

TEST(XmlDtd, AttlistBeforeElementKeepsItsAttributes) {
    TXMLParser p;
    auto parts = scanText(p,
                          "<!DOCTYPE r [<!ATTLIST r v CDATA 'dflt'><!ELEMENT r (#PCDATA)>]>"
                          "<r/>");
    EXPECT_EQ(p.ElementDefs.Node("r")->ElemType, etMixed);
    p.StartScan();
    p.Scan();
    p.Scan();
    EXPECT_EQ(p.PartAttributes.Value("v"), "dflt");
}

TEST(XmlDtd, ParameterEntities) {
    RecordingParser p;
    auto parts = scanText(p,
                          "<!DOCTYPE r [\n"
                          "<!ENTITY % decl \"<!ENTITY from-pe 'made by a PE'>\">\n"
                          "<!ENTITY % model \"(a | b)\">\n"
                          "<!ENTITY % word \"pe-word\">\n"
                          "%decl;\n"
                          "<!ELEMENT r %model;>\n"
                          "<!ENTITY uses \"[%word;] [%nope;]\">\n"
                          "]><r>&from-pe; &uses;</r>");
    EXPECT_EQ(p.ElementDefs.Node("r")->Definition, "(a|b)");
    EXPECT_EQ(p.ParameterEntities.Count(), 3);
    EXPECT_EQ(p.GeneralEntities.Value("uses"), "[pe-word] [%nope;]");
    EXPECT_EQ(parts.back().kind, ptEndTag);
    EXPECT_EQ(parts[parts.size() - 2].content, "made by a PE [pe-word] [%nope;]");
}

TEST(XmlDtd, StrayMarkupIsReportedAndTheScanGoesOn) {
    RecordingParser p;
    auto parts = scanText(p, "<!DOCTYPE r [ <!BOGUS x> < ] junk ><r>t</r>");
    ASSERT_EQ(p.kinds.size(), 6u);  // "<!", "<" and the four letters of "junk"
    EXPECT_EQ(p.kinds.front(), deError);
    EXPECT_EQ(p.names.front(), "<");
    EXPECT_EQ(describe(parts), "DTD Declaration::\nStart Tag:r:\nText:r:t\nEnd Tag:r:\n");
}

TEST(XmlDtd, DeclarationClosingInsideAParameterEntityKeepsTheDocument) {
    RecordingParser p;
    auto parts = scanText(p, "<!DOCTYPE r [<!ENTITY % end \"]> junk\"> %end;<r>t</r>");
    EXPECT_EQ(p.kinds.back(), deError);
    EXPECT_EQ(describe(parts), "DTD Declaration::\nStart Tag:r:\nText:r:t\nEnd Tag:r:\n");
}

TEST(XmlDtd, TwoDeclarationsDoNotLoop) {
    TXMLParser p;
    auto parts = scanText(p, "<!DOCTYPE a><!DOCTYPE b><a/>");
    EXPECT_EQ(describe(parts), "DTD Declaration::\nDTD Declaration::\nEmpty Tag:a:\n");
    EXPECT_EQ(describe(scanAll(p)), describe(parts));
}

TEST(XmlDtd, NestedReplacementTextsEndingTogether) {
    TXMLParser p;
    auto parts = scanText(p,
                          "<!DOCTYPE r [<!ENTITY a \"x&b;\"><!ENTITY b \"<t/>\">]>"
                          "<r>&a;</r><after/>");
    EXPECT_EQ(describe(parts),
              "DTD Declaration::\nStart Tag:r:\nText:r:x\nEmpty Tag:t:\nEnd Tag:r:\n"
              "Empty Tag:after:\n");
}

TEST(XmlDtd, ExpansionIsBounded) {
    // The "billion laughs": ten levels of ten references each.
    std::string doc = "<!DOCTYPE lolz [<!ENTITY lol0 \"lol\">";
    for (int i = 1; i <= 9; ++i) {
        doc += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) doc += "&lol" + std::to_string(i - 1) + ";";
        doc += "\">";
    }
    TXMLParser p;
    EXPECT_EQ(p.MaxEntityExpansion, kMaxEntityExpansion);
    EXPECT_EQ(p.MaxEntityDepth, kMaxEntityDepth);
    p.MaxEntityExpansion = 256 << 10;  // the full default takes seconds under the sanitizers
    // In text and in an attribute value; the budget is shared by one scan.
    for (const char* body : {"<lolz>&lol9;</lolz><end/>", "<lolz a='&lol9;'/><end/>"}) {
        auto parts = scanText(p, (doc + "]>" + body).c_str());
        ASSERT_GE(parts.size(), 3u);
        EXPECT_EQ(parts.back().name, "end");
        p.StartScan();
        p.Scan();
        p.Scan();
        if (p.PartKind == ptStartTag) p.Scan();
        const std::string& text =
            p.PartKind == ptContent ? p.PartContent : p.PartAttributes.Value("a");
        EXPECT_LE(text.size(), p.MaxEntityExpansion + 4096) << body;
        EXPECT_GT(text.size(), p.MaxEntityExpansion / 4) << body;  // expansion went a long way
        EXPECT_NE(text.find("&lol"), std::string::npos) << body;   // then references stayed
    }

    // Self-reference, directly and through a parameter entity.
    auto parts = scanText(p,
                          "<!DOCTYPE r [<!ENTITY self \"a&self;\"><!ENTITY % pe \"%pe;\"> %pe;"
                          "<!ENTITY % pv \"x%pv;\"><!ENTITY v \"%pv;\">]><r>&self;</r>");
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[2].content, std::string(kMaxEntityDepth, 'a') + "&self;");
}

TEST(XmlDtd, ExternalSubsetAndEntities) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("xmldtd" + std::to_string(getpid()));
    fs::create_directories(dir / "sub");
    std::ofstream(dir / "sub" / "ext.dtd")
        << "<?xml encoding='UTF-8'?><!ENTITY ext-e 'from subset'><!ATTLIST r v CDATA 'ev'>"
           "<!ENTITY file SYSTEM 'part.txt'> ] stray";
    // Relative ids are taken relative to the document's folder, wherever they are declared.
    std::ofstream(dir / "part.txt") << "file <i>text</i>";
    std::ofstream(dir / "sub" / "part.txt") << "abs";
    const fs::path docPath = dir / "doc.xml";
    std::ofstream(docPath) << "<!DOCTYPE r SYSTEM \"sub\\ext.dtd\" [<!ENTITY abs SYSTEM '"
                           << (dir / "sub" / "part.txt").string()
                           << "'><!ENTITY missing SYSTEM 'none.txt'>]>"
                              "<r>&ext-e; &missing;&file; &abs;</r>";

    RecordingParser p;
    ASSERT_TRUE(p.LoadFromFile(docPath.string(), 64));
    auto parts = scanAll(p);
    fs::remove_all(dir);
    EXPECT_EQ(p.GeneralEntities.Value("ext-e"), "from subset");
    EXPECT_EQ(p.GeneralEntities.Node("file")->SystemId, "part.txt");
    EXPECT_EQ(describe(parts),
              "DTD Declaration::\nStart Tag:r:\nText:r:from subset file\nStart Tag:i:\n"
              "Text:i:text\nEnd Tag:i:\nText:i:abs\nEnd Tag:r:\n");
    p.StartScan();
    p.Scan();
    p.Scan();
    EXPECT_EQ(p.PartAttributes.Value("v"), "ev");
}

// Counts the external files a scanner reads and the bytes it reads from them.
class CountingParser : public TXMLParser {
public:
    int loads = 0;
    std::size_t bytesRead = 0;
    std::unique_ptr<TXMLParser> LoadExternalEntity(const std::string& systemId,
                                                   const std::string& publicId,
                                                   const std::string& notation) override {
        auto entity = TXMLParser::LoadExternalEntity(systemId, publicId, notation);
        ++loads;
        if (entity) bytesRead += std::strlen(entity->GetDocBuffer());  // none: not read
        return entity;
    }
};

class XmlExternal : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "big.txt") << std::string(64 << 10, 'x');
        std::ofstream(dir / "subset.dtd") << "<!ENTITY s 'from the subset'>"
                                          << "<!--" << std::string(80 << 10, '-') << "-->";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // Loads a document of the given text beside the external files and scans it; the text of
    // its root element.
    std::string scan(CountingParser& p, const std::string& doc) {
        std::ofstream(dir / "doc.xml") << doc;
        EXPECT_TRUE(p.LoadFromFile((dir / "doc.xml").string()));
        std::string text;
        for (const ScannedPart& part : scanAll(p))
            if (part.kind == ptContent) text += part.content;
        return text;
    }

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("xmlext" + std::to_string(getpid()));
};

TEST_F(XmlExternal, AFileIsReadOncePerScanWhateverTheNumberOfReferences) {
    CountingParser p;
    p.MaxEntityExpansion = 1 << 20;
    std::string refs;
    for (int i = 0; i < 2000; ++i) refs += "&big;";
    const std::string text =
        scan(p, "<!DOCTYPE r [<!ENTITY big SYSTEM 'big.txt'>]><r>" + refs + "</r>");
    EXPECT_EQ(p.loads, 1);
    // Its bytes count once for the reading and once for each use, within the one budget; the
    // references beyond it stay as written.
    EXPECT_LE(text.size(), p.MaxEntityExpansion);
    EXPECT_EQ(text.find("&big;"), 15u * (64 << 10));
    EXPECT_EQ(text.substr(text.size() - 5), "&big;");
    // A new scan reads it again, once.
    scanAll(p);
    EXPECT_EQ(p.loads, 2);
}

TEST_F(XmlExternal, AFileLargerThanWhatIsLeftOfTheBudgetIsNotRead) {
    CountingParser p;
    p.MaxEntityExpansion = 100 << 10;
    // 60 KiB of the budget go to an internal entity first; 40 KiB are left for a 64 KiB file.
    const std::string doc = "<!DOCTYPE r [<!ENTITY pad '" + std::string(60 << 10, 'p') +
                            "'><!ENTITY big SYSTEM 'big.txt'>]><r>&pad;&big;&big;</r>";
    const std::string text = scan(p, doc);
    EXPECT_EQ(p.bytesRead, 0u);
    EXPECT_EQ(text, std::string(60 << 10, 'p') + "&big;&big;");

    // An external subset's bytes count as well: after its 80 KiB, the file does not fit.
    CountingParser q;
    q.MaxEntityExpansion = 100 << 10;
    const std::string withSubset =
        scan(q, "<!DOCTYPE r SYSTEM 'subset.dtd' [<!ENTITY big SYSTEM 'big.txt'>]><r>&s;&big;</r>");
    EXPECT_EQ(q.loads, 2);
    EXPECT_EQ(q.bytesRead, std::filesystem::file_size(dir / "subset.dtd"));
    EXPECT_EQ(withSubset, "from the subset&big;");
}

TEST(XmlDtd, RedeclaredEntitiesDoNotPileUpOverRepeatedLoads) {
    const char doc[] =
        "<!DOCTYPE r [<!ENTITY e 'one'><!ENTITY e 'two'><!ENTITY % p 'x'><!ENTITY % p 'y'>]>"
        "<r>&e;</r>";
    TXMLParser p;
    for (int i = 0; i < 50; ++i) scanText(p, doc);
    const std::size_t before = mallinfo2().uordblks;
    for (int i = 0; i < 5000; ++i) {
        const auto parts = scanText(p, doc);
        ASSERT_EQ(parts.size(), 4u);
        ASSERT_EQ(parts[2].content, "two");  // the later declaration counts
    }
    // Each kept declaration costs more than a hundred bytes: 10 000 of them would show.
    EXPECT_LT(static_cast<long long>(mallinfo2().uordblks) - static_cast<long long>(before),
              256 * 1024);
    EXPECT_EQ(p.GeneralEntities.Count(), 1);
}

}  // namespace
