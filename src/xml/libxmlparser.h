#pragma once
// TXMLParser: a small non-validating XML pull scanner. It works in place on one NUL-terminated
// 8-bit document buffer and hands the document to its caller one part at a time:
//
//     TXMLParser xml;
//     if (xml.LoadFromFile("Afinacoes.xml")) {
//         xml.StartScan();
//         while (xml.Scan())
//             switch (xml.PartKind) { case ptStartTag: ... xml.PartName ... }
//     }
//
// After each successful Scan the part fields (PartKind, PartName, PartContent, PartAttributes,
// PartBegin, PartEnd) describe the part found; they stay valid until the next Scan. No tree is
// built and the document is not copied; texts are delivered as Windows-1252 bytes.
//
// Document type declarations are read as well: entity, element, attribute-list and notation
// declarations fill the declaration lists, general entities are expanded in text and attribute
// values, and declared attribute defaults complete start and empty tags. Nothing is validated and
// nothing is rejected: malformed markup is read by fixed rules, and references that would expand
// beyond kMaxEntityDepth / kMaxEntityExpansion (xml_types.h) stay in the text as written.
//
// The class is one unit whose members are spread over files by concern: xml_parser.cpp (the scan
// loop and the markup parts), xml_dtd.cpp (the DOCTYPE and attribute defaults), xml_references.cpp
// (text, references, entity expansion, encodings) and xml_file.cpp (reading a file). They share
// the document buffer and the scan state, which is why they are members of one class rather than
// classes of their own passing that state around; the scan loop calls into the DOCTYPE reader,
// never the other way round.

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "dtd_defs.h"
#include "entity_stack.h"
#include "nvp_list.h"
#include "xml_text.h"
#include "xml_types.h"

class TXMLParser {
public:
    TXMLParser();
    virtual ~TXMLParser();
    TXMLParser(const TXMLParser&) = delete;
    TXMLParser& operator=(const TXMLParser&) = delete;

    // Frees an owned document and forgets the document's properties and the scan position.
    // The declaration lists and TextEncoding are kept.
    void Clear();
    // Reads a whole file (read-only; other readers and writers are not locked out, which is the
    // only sharing Linux has, so `fileMode` — the Windows-style open mode, 64 = read access,
    // deny none — changes nothing). Only regular files are read. False, with the scanner
    // cleared, when the file cannot be opened or read or memory runs out.
    bool LoadFromFile(const std::string& fileName, int fileMode = 64);
    // Copies a NUL-terminated text (SourceName "<MEM>"); false when memory runs out.
    bool LoadFromBuffer(const char* text);
    // Uses the caller's NUL-terminated text in place (SourceName "<REFERENCE>"); it must
    // outlive the scan.
    void SetBuffer(const char* text);
    // The document, or an empty text when there is none.
    const char* GetDocBuffer() const { return Buffer ? Buffer : ""; }

    // Rewinds to the start of the document.
    void StartScan();
    // Finds the next part; false at the end of the document (and on every later call).
    bool Scan();

    // Loads an external entity (or external subset): a relative system id is taken relative to
    // the folder of the document's file, an absolute one as it is. Returns a new scanner holding
    // the text; its document is empty when the file cannot be read. A file larger than what is
    // left of the scan's expansion budget is not read at all: the answer is then none. The
    // scanner asks for each entity once per scan and counts the bytes it got against the budget.
    virtual std::unique_ptr<TXMLParser> LoadExternalEntity(const std::string& systemId,
                                                           const std::string& publicId,
                                                           const std::string& notation);
    // Converts a text of the document to Windows-1252: from UTF-8 when TextEncoding is "UTF-8",
    // unchanged otherwise.
    virtual std::string TranslateEncoding(const std::string& text);
    // Told about every item of a document type declaration; does nothing by default.
    virtual void DtdElementFound(const TDtdElementRec& rec);

    // --- The document (read-only for callers) ---
    const char* Buffer = nullptr;  // NUL-terminated document text
    std::size_t BufferSize = 0;    // bytes owned including the NUL; 0 when borrowed
    std::string SourceName;        // file name, "<MEM>" or "<REFERENCE>"
    std::string DeclaredVersion;   // from the prolog
    std::string DeclaredEncoding;  // from the prolog
    bool DeclaredStandalone = false;
    std::string DoctypeRootName;
    const char* DoctypeEnd = nullptr;  // closing '>' of the DOCTYPE once it has been read

    // --- Options ---
    // Trim text parts, collapse inner whitespace runs to one space and drop whitespace-only
    // text; true after Clear.
    bool CollapseWhitespace = true;
    // Upper-case name of the encoding in force ("UTF-8" converts texts); set by a prolog.
    std::string TextEncoding;
    // Entity expansion limits for this scanner (see xml_types.h).
    std::size_t MaxEntityDepth = kMaxEntityDepth;
    std::size_t MaxEntityExpansion = kMaxEntityExpansion;

    // --- Scan state ---
    TEntityStack ResumeStack;
    TElemList ElementDefs;
    TEntityList GeneralEntities;
    TEntityList ParameterEntities;
    TNotationList NotationDefs;

    // --- The current part (read-only for callers) ---
    TPartType PartKind = ptNone;
    std::string PartName;     // tag name or PI target; a text part keeps the last tag's name
    std::string PartContent;  // text of a text, CDATA or PI part
    const char* PartBegin = nullptr;
    const char* PartEnd = nullptr;
    TAttrList PartAttributes;

private:
    // Part readers; each sets PartKind, the part's fields and PartEnd.
    void scanProlog();
    void scanComment();
    void scanPI();
    void scanTag();
    void scanCData();
    bool scanText();  // false when the text is dropped (empty after normalisation)
    void scanDoctype();

    // Reference handling (xml_references.cpp).
    const char* textReference(const char* amp, const char*& last);
    void processAttributes();
    void expandAttrValue(std::string_view in, std::string& out, std::size_t depth);
    void appendTranslated(const char* begin, const char* end);
    void appendCharRefEncoded(std::string& out, unsigned long code, bool valid, char invalid);
    std::string replaceCharRefs(std::string_view in);
    bool reserveExpansion(std::size_t bytes, std::size_t depth);
    std::size_t budgetLeft() const;
    bool entityText(const TEntityDef& def, std::size_t depth, std::string_view& text);
    // An external entity's text as read for this scan, with its length; none (a null text) when
    // it did not fit in the budget.
    std::string_view externalEntity(const std::string& systemId, const std::string& publicId,
                                    const std::string& notation);

    // Declarations (xml_dtd.cpp).
    const char* skipEndedTexts(const char* p, int base);
    const char* analyzeSubset(const char* p, int base);
    const char* peReference(const char* pct);
    const char* readExternalId(const char* p, std::string& systemId, std::string& publicId);
    const char* readElementDecl(const char* p, int base);
    const char* readAttlistDecl(const char* p, int base);
    const char* readEntityDecl(const char* p, int base);
    const char* readNotationDecl(const char* p, int base);
    const char* readSubsetPI(const char* p);
    const char* readSubsetComment(const char* p);
    void readExternalSubset(const std::string& systemId, const std::string& publicId);
    void reportError(const char* at);
    std::string replacePeRefs(std::string_view in, std::size_t depth);
    void applyAttrDefaults();

    // The first ';' (or, with stopAtLt, ';' or '<') at or after `from`, else the text's end;
    // remembered, so that a run of references without a terminator is searched only once.
    const char* findDelim(const char* from, bool stopAtLt);
    // The end (first NUL) of the text that `p` lies in: the replacement text being read, the
    // external subset or the document; known without measuring the rest of the text again at
    // every part.
    const char* textEnd(const char* p);
    // The last character of the text from `from` on (one before `from` when it is empty): where
    // a part that runs to the end of its text ends.
    const char* lastInText(const char* from) { return textEnd(from) - 1; }
    // The first `what` at or after `from` within its text, or none.
    const char* findInText(const char* from, std::string_view what);
    void resetScanState();

    std::unique_ptr<char[]> owned_;
    const char* next_ = nullptr;  // where the next part starts (none before the first Scan)
    bool ended_ = false;
    std::size_t expansionUsed_ = 0;
    const char* doctypeBegin_ = nullptr;
    struct DelimCache {
        const char* from = nullptr;
        const char* to = nullptr;
    } semiCache_, semiLtCache_;
    // Entity declarations that a later declaration replaced: kept until the next scan starts,
    // since a replacement text may be being scanned when it is replaced.
    std::vector<std::unique_ptr<TEntityDef>> replacedEntities_;
    // External entities read during this scan, by system id, public id and notation (none for
    // one that did not fit in the budget), with the length of their text.
    struct ExternalText {
        std::unique_ptr<TXMLParser> entity;
        std::string_view text;
    };
    std::map<std::string, ExternalText> externals_;
    const char* docEndOf_ = nullptr;  // the document whose end docEnd_ is
    const char* docEnd_ = nullptr;
    std::string_view subsetText_;  // the external subset being read, if any
};
