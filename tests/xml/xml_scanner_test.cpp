// The XML scanner on documents without declarations: parts, names, text normalisation,
// references, encodings and malformed input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "xml_test_util.h"

namespace {

TEST(XmlScan, TextIsCollapsedAndCarriesTheLastTagName) {
    TXMLParser p;
    auto parts = scanText(p, "<a>  x   y </a>\n<b/> tail <c></c>");
    EXPECT_EQ(describe(parts),
              "Start Tag:a:\n"
              "Text:a:x y\n"
              "End Tag:a:\n"
              "Empty Tag:b:\n"
              "Text:b:tail\n"
              "Start Tag:c:\n"
              "End Tag:c:\n");
}

TEST(XmlScan, WhitespaceOnlyTextDependsOnCollapseWhitespace) {
    TXMLParser p;
    EXPECT_EQ(describe(scanText(p, "<a> \n\t </a>")), "Start Tag:a:\nEnd Tag:a:\n");

    p.LoadFromBuffer("<a> \n\t </a>");
    p.CollapseWhitespace = false;
    auto parts = scanAll(p);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[1].kind, ptContent);
    EXPECT_EQ(parts[1].content, " \n\t ");
    // Loading again restores the default.
    p.LoadFromBuffer("<a/>");
    EXPECT_TRUE(p.CollapseWhitespace);
}

TEST(XmlScan, TagsAttributesAndPositions) {
    TXMLParser p;
    const char* doc = "<root b='2' a=\"1\"\tc = \"x\ny\"><e k='v'/></root>";
    p.SetBuffer(doc);
    EXPECT_EQ(p.SourceName, "<REFERENCE>");
    EXPECT_EQ(p.BufferSize, 0u);
    p.StartScan();
    ASSERT_TRUE(p.Scan());
    EXPECT_EQ(p.PartKind, ptStartTag);
    EXPECT_EQ(p.PartName, "root");
    EXPECT_EQ(p.PartBegin, doc);
    EXPECT_EQ(*p.PartEnd, '>');
    ASSERT_EQ(p.PartAttributes.Count(), 3);
    // Sorted by name; whitespace in values becomes spaces.
    EXPECT_EQ(p.PartAttributes.Name(0), "a");
    EXPECT_EQ(p.PartAttributes.Name(2), "c");
    EXPECT_EQ(p.PartAttributes.Value("b"), "2");
    EXPECT_EQ(p.PartAttributes.Value("c"), "x y");
    EXPECT_EQ(p.PartAttributes.Node("a")->ValueSource, vtNormal);
    EXPECT_EQ(p.PartAttributes.Value("missing"), "");
    ASSERT_TRUE(p.Scan());
    EXPECT_EQ(p.PartKind, ptEmptyTag);
    EXPECT_EQ(p.PartName, "e");
    EXPECT_EQ(p.PartAttributes.Value("k"), "v");
    ASSERT_TRUE(p.Scan());
    EXPECT_EQ(p.PartKind, ptEndTag);
    EXPECT_EQ(p.PartAttributes.Count(), 0);
    EXPECT_FALSE(p.Scan());
    EXPECT_FALSE(p.Scan());
}

TEST(XmlScan, PrologCommentPiAndCData) {
    TXMLParser p;
    auto parts = scanText(p,
                          "<?xml version=\"1.0\" encoding='iso-8859-1' standalone=\"yes\"?>"
                          "<!-- note --><?app mode=\"fast\" level='2'?>"
                          "<r><![CDATA[ &lt; <x> ]]></r>");
    EXPECT_EQ(p.DeclaredVersion, "1.0");
    EXPECT_EQ(p.DeclaredEncoding, "iso-8859-1");
    EXPECT_TRUE(p.DeclaredStandalone);
    EXPECT_EQ(p.TextEncoding, "ISO-8859-1");
    ASSERT_EQ(parts.size(), 6u);
    EXPECT_EQ(parts[0].kind, ptXmlProlog);
    EXPECT_EQ(parts[1].kind, ptComment);
    EXPECT_EQ(parts[2].kind, ptPI);
    EXPECT_EQ(parts[2].name, "app");
    EXPECT_EQ(parts[2].content, " mode=\"fast\" level='2'");
    EXPECT_EQ(parts[4].kind, ptCData);
    EXPECT_EQ(parts[4].content, " &lt; <x> ");

    // The PI's pseudo-attributes.
    p.StartScan();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(p.Scan());
    EXPECT_EQ(p.PartAttributes.Value("mode"), "fast");
    EXPECT_EQ(p.PartAttributes.Value("level"), "2");
}

TEST(XmlScan, ReferencesInTextAndAttributes) {
    TXMLParser p;
    auto parts = scanText(
        p, "<a v=\"&lt;&foo;&#65;&amp;#66;\">&lt;&#65;&#x42;&foo;&amp;&quot;&apos;&gt;</a>");
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[1].content, "<ABfoo&\"'>");
    p.StartScan();
    ASSERT_TRUE(p.Scan());
    // Undeclared references stay as written in attribute values; "&amp;#66;" is the literal
    // text "&#66;", not a second reference.
    EXPECT_EQ(p.PartAttributes.Value("v"), "<&foo;A&#66;");

    // Digits that form no number: a space in text, a space (decimal) or NUL (hex) in attributes.
    parts = scanText(p, "<a v='[&#zz;][&#xzz;]'>[&#zz;][&#x;]</a>");
    EXPECT_EQ(parts[1].content, "[ ][ ]");
    p.StartScan();
    ASSERT_TRUE(p.Scan());
    EXPECT_EQ(p.PartAttributes.Value("v"), std::string("[ ][\0]", 6));
}

TEST(XmlScan, CharacterReferencesBeyondLatin1UseTheCodePage) {
    TXMLParser p;
    // Euro sign and a character the code page lacks, in text and (UTF-8 document) attributes.
    auto parts = scanText(p,
                          "<?xml version=\"1.0\"?><a v='&#233;&#8364;&#x142;'>"
                          "&#233;&#8364;&#x142;&#128;</a>");
    EXPECT_EQ(parts[2].content, "\xE9\x80\xBF\x80");
    p.StartScan();
    p.Scan();
    p.Scan();
    EXPECT_EQ(p.PartAttributes.Value("v"), "\xE9\x80\xBF");
}

TEST(XmlScan, StrayAmpersandsNeverSwallowMarkup) {
    TXMLParser p;
    // No ';' before the next tag: the '&' is dropped and the tags stay intact.
    auto parts = scanText(p, "<a>AT&T</a><b>x;</b>&");
    EXPECT_EQ(describe(parts),
              "Start Tag:a:\nText:a:ATT\nEnd Tag:a:\nStart Tag:b:\nText:b:x;\nEnd Tag:b:\n");
    // A run of ampersands without terminator is handled in one pass (would be quadratic).
    std::string many = "<a>" + std::string(200000, '&') + "x</a>";
    parts = scanText(p, many.c_str());
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[1].content, "x");
}

TEST(XmlScan, EncodingFollowsTheProlog) {
    TXMLParser p;
    // No encoding pseudo-attribute: UTF-8, decoded to Windows-1252.
    auto parts = scanText(p, "<?xml version=\"1.0\"?><a>caf\xC3\xA9</a>");
    EXPECT_EQ(p.TextEncoding, "UTF-8");
    EXPECT_EQ(parts[2].content, "caf\xE9");
    // Another encoding: byte for byte.
    TXMLParser q;
    parts = scanText(q, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xC3\xA9</a>");
    EXPECT_EQ(parts[2].content, "caf\xC3\xA9");
    // No prolog at all: unchanged.
    TXMLParser r;
    parts = scanText(r, "<a>caf\xC3\xA9</a>");
    EXPECT_EQ(parts[1].content, "caf\xC3\xA9");
    // Characters outside the code page and four-byte sequences become 191; the rest follows.
    parts = scanText(p, "<?xml version=\"1.0\"?><a>\xE4\xB8\x80x\xF0\x9F\x98\x80y\xE2\x82\xAC</a>");
    EXPECT_EQ(parts[2].content, "\xBFx\xBFy\x80");
}

TEST(XmlScan, ByteOrderMarkIsSkipped) {
    TXMLParser p;
    auto parts = scanText(p, "\xEF\xBB\xBF<?xml version=\"1.0\"?><a>\xC3\xA9</a>");
    EXPECT_EQ(describe(parts), "XML Prolog::\nStart Tag:a:\nText:a:\xE9\nEnd Tag:a:\n");
}

TEST(XmlScan, UnterminatedConstructsEndTheScan) {
    const char* docs[] = {"<a>x<!-- never closed",
                          "<a><![CDATA[ open",
                          "<a>x<?pi never",
                          "<a b='open",
                          "<!",
                          "<",
                          "</",
                          "<?",
                          "x&",
                          "&#",
                          "<![CDATA[",
                          "<!--",
                          "<a"};
    for (const char* doc : docs) {
        TXMLParser p;
        auto parts = scanText(p, doc);
        ASSERT_FALSE(parts.empty()) << doc;
        EXPECT_FALSE(p.Scan()) << doc;
        EXPECT_FALSE(p.Scan()) << doc;
        // The last part ends on the document's last character.
        p.StartScan();
        const char* end = nullptr;
        while (p.Scan()) end = p.PartEnd;
        if (end) {
            EXPECT_EQ(end, p.GetDocBuffer() + std::strlen(p.GetDocBuffer()) - 1) << doc;
        }
    }
    TXMLParser p;
    auto parts = scanText(p, "<a>x<!-- never closed");
    EXPECT_EQ(parts.back().kind, ptComment);
    parts = scanText(p, "<a><![CDATA[ open");
    EXPECT_EQ(parts.back().kind, ptCData);
    EXPECT_EQ(parts.back().content, " open");
}

TEST(XmlScan, SecondScanRepeatsTheParts) {
    TXMLParser p;
    auto first = scanText(p, "<?xml version=\"1.0\"?><a x='1'>t<b/></a>");
    auto second = scanAll(p);
    EXPECT_EQ(describe(first), describe(second));
    EXPECT_EQ(first.size(), 5u);
}

TEST(XmlScan, LoadFromFileReadsToTheFirstNul) {
    char path[] = "/tmp/xmlscanXXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const char data[] = "<a>x</a>\0<b>hidden</b>";
    ASSERT_EQ(write(fd, data, sizeof data - 1), static_cast<ssize_t>(sizeof data - 1));
    close(fd);

    TXMLParser p;
    ASSERT_TRUE(p.LoadFromFile(path, 64));
    EXPECT_EQ(p.SourceName, path);
    EXPECT_EQ(p.BufferSize, sizeof data);
    EXPECT_EQ(describe(scanAll(p)), "Start Tag:a:\nText:a:x\nEnd Tag:a:\n");
    std::remove(path);

    EXPECT_FALSE(p.LoadFromFile(path));
    EXPECT_EQ(p.SourceName, "");
    EXPECT_FALSE(p.Scan());
    EXPECT_FALSE(p.LoadFromFile("/tmp"));  // not a regular file
    EXPECT_STREQ(p.GetDocBuffer(), "");
}

TEST(XmlScan, NoDocumentScansNothing) {
    TXMLParser p;
    p.StartScan();
    EXPECT_FALSE(p.Scan());
    p.LoadFromBuffer("");
    EXPECT_EQ(p.SourceName, "<MEM>");
    p.StartScan();
    EXPECT_FALSE(p.Scan());
    p.LoadFromBuffer(nullptr);
    EXPECT_FALSE(p.Scan());
}

}  // namespace
