// TXMLParser: document loading, the scan loop and the markup parts (prolog, comment, processing
// instruction, tag, CDATA). Text parts and references: xml_references.cpp; DOCTYPE: xml_dtd.cpp.
#include <string.h>  // memmem

#include <cstdint>
#include <cstring>

#include "libxmlparser.h"

namespace {
const char kEmptyText[] = "";

std::string upperAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}
}  // namespace

TXMLParser::TXMLParser() : ResumeStack(TextEncoding) {
    Clear();
}

TXMLParser::~TXMLParser() = default;

void TXMLParser::resetScanState() {
    PartKind = ptNone;
    PartName.clear();
    PartContent.clear();
    PartBegin = PartEnd = nullptr;
    PartAttributes.Clear();
    next_ = nullptr;
    ResumeStack.Clear();
    ResumeStack.ReleaseRetired();
    ended_ = false;
    expansionUsed_ = 0;
    semiCache_ = semiLtCache_ = DelimCache{};
    // Nothing is being read from these any more.
    replacedEntities_.clear();
    externals_.clear();
    docEndOf_ = docEnd_ = nullptr;
    subsetText_ = {};
}

void TXMLParser::Clear() {
    owned_.reset();
    Buffer = nullptr;
    BufferSize = 0;
    SourceName.clear();
    DeclaredVersion.clear();
    DeclaredEncoding.clear();
    DoctypeRootName.clear();
    DeclaredStandalone = false;
    DoctypeEnd = nullptr;
    doctypeBegin_ = nullptr;
    CollapseWhitespace = true;
    // A new document starts at its beginning even when the caller skips StartScan.
    resetScanState();
}

bool TXMLParser::LoadFromBuffer(const char* text) {
    Clear();
    if (!text) text = kEmptyText;
    const std::size_t n = std::strlen(text);
    char* buf = new (std::nothrow) char[n + 1];
    if (!buf) return false;
    std::memcpy(buf, text, n + 1);
    owned_.reset(buf);
    Buffer = buf;
    BufferSize = n + 1;
    SourceName = "<MEM>";
    return true;
}

void TXMLParser::SetBuffer(const char* text) {
    Clear();
    Buffer = text ? text : kEmptyText;
    SourceName = "<REFERENCE>";
}

void TXMLParser::StartScan() {
    resetScanState();
}

const char* TXMLParser::textEnd(const char* p) {
    const auto u = [](const char* q) { return reinterpret_cast<std::uintptr_t>(q); };
    if (ResumeStack.Count() > 0) {
        const TEntityStackNode& top = ResumeStack.Node(ResumeStack.Count() - 1);
        if (top.TextBegin && u(p) >= u(top.TextBegin) && u(p) <= u(top.TextEnd))
            return top.TextEnd;
    }
    const char* doc = GetDocBuffer();
    if (docEndOf_ != doc) {
        docEndOf_ = doc;
        docEnd_ = doc + std::strlen(doc);
    }
    if (u(p) >= u(doc) && u(p) <= u(docEnd_)) return docEnd_;
    const char* subset = subsetText_.data();
    if (subset && u(p) >= u(subset) && u(p) <= u(subset + subsetText_.size()))
        return subset + subsetText_.size();
    return p + std::strlen(p);
}

const char* TXMLParser::findInText(const char* from, std::string_view what) {
    const char* end = textEnd(from);
    return static_cast<const char*>(::memmem(from, static_cast<std::size_t>(end - from),
                                             what.data(), what.size()));
}

bool TXMLParser::Scan() {
    if (ended_ || !Buffer) {
        ended_ = true;
        return false;
    }
    for (;;) {
        const char* p = next_;
        if (!p) {
            // A UTF-8 byte order mark (as editors on Windows write it) is no part of the text.
            p = StartsWith(Buffer, "\xEF\xBB\xBF") ? Buffer + 3 : Buffer;
        }
        // The end of an entity's replacement text: go on where its reference was (several
        // replacement texts may end at the same place).
        while (*p == '\0' && ResumeStack.Count() > 0) p = ResumeStack.Pop();
        if (*p == '\0') {
            ResumeStack.Clear();
            PartBegin = Buffer + std::strlen(Buffer);
            PartEnd = PartBegin > Buffer ? PartBegin - 1 : PartBegin;
            next_ = PartBegin;
            ended_ = true;
            return false;
        }
        PartBegin = PartEnd = p;
        if (*p != '<') {
            if (scanText()) return true;
            continue;  // whitespace only: dropped
        }
        if (StartsWith(p, "<?xml") && IsXmlWs(p[5]))
            scanProlog();
        else if (p[1] == '?')
            scanPI();
        else if (StartsWith(p, "<!--"))
            scanComment();
        else if (StartsWith(p, "<!DOCTYPE"))
            scanDoctype();
        else if (StartsWith(p, "<![CDATA["))
            scanCData();
        else
            scanTag();
        next_ = PartEnd + 1;
        return true;
    }
}

void TXMLParser::scanProlog() {
    PartKind = ptXmlProlog;
    PartName.clear();
    PartContent.clear();
    const char* start = PartBegin + 5;
    const char* stop;
    PartAttributes.Analyze(start, stop);
    if (ResumeStack.Count() == 0) {
        DeclaredVersion = PartAttributes.Value("version");
        DeclaredEncoding = PartAttributes.Value("encoding");
        DeclaredStandalone = PartAttributes.Value("standalone") == "yes";
    }
    const char* e = findInText(start, "?>");
    PartEnd = e ? e + 1 : lastInText(start);
    const std::string& enc = PartAttributes.Value("encoding");
    TextEncoding = enc.empty() ? std::string("UTF-8") : upperAscii(enc);
}

void TXMLParser::scanComment() {
    PartKind = ptComment;
    const char* e = findInText(PartBegin + 4, "-->");
    PartEnd = e ? e + 2 : lastInText(PartBegin + 4);
}

void TXMLParser::scanPI() {
    PartKind = ptPI;
    const char* t = PartBegin + 2;
    const char* q = t;
    if (*q) {
        ++q;  // the target takes at least one character
        while (*q && !IsXmlWs(*q) && *q != '>' && *q != '?') ++q;
    }
    PartName.assign(t, q);
    const char* e = findInText(t, "?>");
    if (e) {
        // e == t only for "<??>", where the target took the '?' of "?>".
        PartContent.assign(q, e > q ? e : q);
        PartEnd = e + 1;
    } else {
        PartContent.assign(q);
        PartEnd = lastInText(q);
    }
    const char* stop;
    PartAttributes.Analyze(PartContent.c_str(), stop);
}

void TXMLParser::scanCData() {
    PartKind = ptCData;
    const char* s = PartBegin + 9;
    const char* e = findInText(s, "]]>");
    const char* contentEnd = e ? e : textEnd(s);
    PartContent = TranslateEncoding(std::string(s, contentEnd));
    PartEnd = e ? e + 2 : lastInText(s);
}

void TXMLParser::scanTag() {
    PartKind = ptStartTag;
    const char* q = PartBegin + 1;
    if (*q == '/') {
        PartKind = ptEndTag;
        ++q;
    }
    const char* n = q;
    if (*q) {
        ++q;  // a name takes at least one character
        while (*q && !IsXmlWs(*q) && *q != '/' && *q != '>') ++q;
    }
    PartName.assign(n, q);
    PartContent.clear();
    const char* stop;
    PartAttributes.Analyze(q, stop);
    if (*stop == '/' && PartKind == ptStartTag) PartKind = ptEmptyTag;
    const char* e = *stop == '>' ? stop : std::strchr(stop, '>');
    PartEnd = e ? e : lastInText(stop);
    if (PartKind != ptEndTag) {
        applyAttrDefaults();
        processAttributes();
    }
}
