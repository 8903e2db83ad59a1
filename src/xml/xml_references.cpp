// TXMLParser: text parts, character and entity references in text and attribute values, the
// expansion budget, encoding translation and external entities.
#include <sys/stat.h>

#include <cstdint>
#include <cstring>

#include "codepage.h"
#include "libxmlparser.h"

namespace {
// The character of a predefined entity, or 0.
char predefined(std::string_view name) {
    if (name == "lt") return '<';
    if (name == "gt") return '>';
    if (name == "amp") return '&';
    if (name == "apos") return '\'';
    if (name == "quot") return '"';
    return 0;
}
}  // namespace

const char* TXMLParser::findDelim(const char* from, bool stopAtLt) {
    DelimCache& c = stopAtLt ? semiLtCache_ : semiCache_;
    const auto u = [](const char* p) { return reinterpret_cast<std::uintptr_t>(p); };
    // Within one text, every position between a search's start and its result has that result.
    if (c.from && u(from) >= u(c.from) && u(from) <= u(c.to)) return c.to;
    const char* to = from + std::strcspn(from, stopAtLt ? ";<" : ";");
    c.from = from;
    c.to = to;
    return to;
}

bool TXMLParser::reserveExpansion(std::size_t bytes, std::size_t depth) {
    if (depth >= MaxEntityDepth) return false;
    if (expansionUsed_ > MaxEntityExpansion || bytes > MaxEntityExpansion - expansionUsed_)
        return false;
    expansionUsed_ += bytes;
    return true;
}

std::size_t TXMLParser::budgetLeft() const {
    return expansionUsed_ >= MaxEntityExpansion ? 0 : MaxEntityExpansion - expansionUsed_;
}

// The text of an external entity, read at most once per scan. The bytes read count against the
// expansion budget (as each use of them does, later); a file larger than what is left of the
// budget is not read at all, and is none.
std::string_view TXMLParser::externalEntity(const std::string& systemId,
                                            const std::string& publicId,
                                            const std::string& notation) {
    std::string key = systemId;
    key.append(1, '\0').append(publicId).append(1, '\0').append(notation);
    const auto known = externals_.find(key);
    if (known != externals_.end()) return known->second.text;
    ExternalText read{LoadExternalEntity(systemId, publicId, notation), {}};
    // Measured once here: a reference met later costs nothing more than the budget check.
    if (read.entity) read.text = read.entity->GetDocBuffer();
    if (read.entity && !reserveExpansion(read.text.size(), 0)) read = {};
    return externals_.emplace(std::move(key), std::move(read)).first->second.text;
}

bool TXMLParser::entityText(const TEntityDef& def, std::size_t depth, std::string_view& text) {
    if (!def.Value.empty()) {
        if (!reserveExpansion(def.Value.size(), depth)) return false;
        text = def.Value;
        return true;
    }
    text = {};
    if (def.SystemId.empty()) return true;  // declared empty: expands to nothing
    if (depth >= MaxEntityDepth) return false;
    text = externalEntity(def.SystemId, def.PublicId, def.NotationName);
    if (text.data() == nullptr) return false;     // beyond the budget: stays as written
    return reserveExpansion(text.size(), depth);  // a missing file expands to nothing
}

std::string TXMLParser::TranslateEncoding(const std::string& text) {
    if (TextEncoding == "UTF-8") return Utf8ToAnsi(text, 191);
    return text;
}

void TXMLParser::DtdElementFound(const TDtdElementRec&) {}

void TXMLParser::appendTranslated(const char* begin, const char* end) {
    if (end > begin) PartContent += TranslateEncoding(std::string(begin, end));
}

bool TXMLParser::scanText() {
    PartKind = ptContent;
    PartContent.clear();
    const char* q = PartBegin;
    const char* run = q;
    const char* last = q;  // last character that belongs to this part
    for (;;) {
        const char c = *q;
        if (c == '<') {
            appendTranslated(run, q);
            break;
        }
        if (c == '\0') {
            appendTranslated(run, q);
            if (ResumeStack.Count() == 0) break;
            q = run = ResumeStack.Pop();
            continue;
        }
        if (c == '&') {
            appendTranslated(run, q);
            q = run = textReference(q, last);
            continue;
        }
        last = q++;
    }
    PartEnd = last;
    next_ = q;
    if (CollapseWhitespace) {
        TrimWsInPlace(PartContent);
        ConvertWsInPlace(PartContent, true);
        return !PartContent.empty();
    }
    return true;
}

// A reference in text at `amp`. Its name runs to the next ';' within the current run of text (a
// ';' beyond the next '<' belongs to later markup). Returns where scanning goes on, which is
// inside the replacement text when an entity is expanded; `last` becomes the reference's last
// character.
const char* TXMLParser::textReference(const char* amp, const char*& last) {
    const char* semi = findDelim(amp + 1, true);
    if (*semi != ';') {
        last = amp;  // no terminator: the '&' is dropped
        return amp + 1;
    }
    last = semi;
    const std::string_view name(amp + 1, static_cast<std::size_t>(semi - amp - 1));
    if (!name.empty() && name[0] == '#') {
        const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
        unsigned long code = 0;
        const bool ok = ParseCharRef(name.substr(hex ? 2 : 1), hex, code);
        PartContent += ok ? static_cast<char>(CharRefToAnsi(code)) : ' ';
        return semi + 1;
    }
    if (const char ch = predefined(name)) {
        PartContent += ch;
        return semi + 1;
    }
    if (const TEntityDef* def = GeneralEntities.Node(name)) {
        std::string_view text;
        const auto depth = static_cast<std::size_t>(ResumeStack.Count());
        if (entityText(*def, depth, text)) {
            if (text.empty()) return semi + 1;
            ResumeStack.Push(nullptr, semi + 1, text);
            return text.data();
        }
        appendTranslated(amp, semi + 1);  // too deep or too much: kept as written
        return semi + 1;
    }
    appendTranslated(name.data(), semi);  // undeclared: the name itself
    return semi + 1;
}

// A character reference inside an attribute value or entity value, written in the document's
// encoding so that the later translation of the whole value yields the intended character.
void TXMLParser::appendCharRefEncoded(std::string& out, unsigned long code, bool valid,
                                      char invalid) {
    const unsigned char b = valid ? CharRefToAnsi(code) : static_cast<unsigned char>(invalid);
    if (b >= 0x80 && TextEncoding == "UTF-8")
        out += cp1252::toUtf8(std::string(1, static_cast<char>(b)));
    else
        out += static_cast<char>(b);
}

// One left-to-right pass over an attribute value: predefined entities, character references
// and declared entities (whose replacement text is itself expanded first) are replaced; any
// other reference stays as written. Text produced by a replacement is not scanned again.
void TXMLParser::expandAttrValue(std::string_view in, std::string& out, std::size_t depth) {
    std::size_t i = 0;
    std::size_t semi = std::string_view::npos;
    while (i < in.size()) {
        const std::size_t amp = in.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(in.substr(i));
            return;
        }
        out.append(in.substr(i, amp - i));
        if (semi == std::string_view::npos || semi <= amp) semi = in.find(';', amp + 1);
        if (semi == std::string_view::npos) {
            out.append(in.substr(amp));  // no terminator anywhere further: the rest stays
            return;
        }
        const std::string_view name = in.substr(amp + 1, semi - amp - 1);
        i = semi + 1;
        if (!name.empty() && name[0] == '#') {
            const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
            unsigned long code = 0;
            const bool ok = ParseCharRef(name.substr(hex ? 2 : 1), hex, code);
            appendCharRefEncoded(out, code, ok, hex ? '\0' : ' ');
            continue;
        }
        if (const char ch = predefined(name)) {
            out += ch;
            continue;
        }
        if (const TEntityDef* def = GeneralEntities.Node(name)) {
            std::string_view text;
            if (entityText(*def, depth, text)) {
                expandAttrValue(text, out, depth + 1);
                continue;
            }
        }
        out.append(in.substr(amp, semi - amp + 1));  // stays as written
    }
}

std::string TXMLParser::replaceCharRefs(std::string_view in) {
    std::string out;
    std::size_t i = 0;
    for (;;) {
        const std::size_t amp = in.find("&#", i);
        if (amp == std::string_view::npos) break;
        const std::size_t semi = in.find(';', amp + 2);
        if (semi == std::string_view::npos) break;
        out.append(in.substr(i, amp - i));
        const std::string_view digits = in.substr(amp + 2, semi - amp - 2);
        const bool hex = !digits.empty() && (digits[0] == 'x' || digits[0] == 'X');
        unsigned long code = 0;
        const bool ok = ParseCharRef(digits.substr(hex ? 1 : 0), hex, code);
        appendCharRefEncoded(out, code, ok, hex ? '\0' : ' ');
        i = semi + 1;
    }
    out.append(in.substr(i));
    return out;
}

void TXMLParser::processAttributes() {
    const auto depth = static_cast<std::size_t>(ResumeStack.Count());
    for (int i = 0; i < PartAttributes.Count(); ++i) {
        TAttr* a = PartAttributes.Node(i);
        if (a->Value.find('&') != std::string::npos) {
            std::string out;
            out.reserve(a->Value.size());
            expandAttrValue(a->Value, out, depth);
            a->Value.swap(out);
        }
        if (a->DeclaredType == atUnknown || a->DeclaredType == atCData) {
            ConvertWsInPlace(a->Value, false);
        } else {
            ConvertWsInPlace(a->Value, true);
            TrimWsInPlace(a->Value);
        }
        a->Value = TranslateEncoding(a->Value);
    }
}

std::unique_ptr<TXMLParser> TXMLParser::LoadExternalEntity(const std::string& systemId,
                                                           const std::string& /*publicId*/,
                                                           const std::string& /*notation*/) {
    auto entity = std::make_unique<TXMLParser>();
    std::string path = systemId;
    for (char& c : path)
        if (c == '\\') c = '/';
    if (path.empty()) return entity;
    if (path[0] != '/' && !SourceName.empty() && SourceName[0] != '<') {
        const std::size_t slash = SourceName.rfind('/');
        if (slash != std::string::npos) path.insert(0, SourceName, 0, slash + 1);
    }
    // A file larger than what is left of the expansion budget could not be used: not read.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        if (static_cast<std::uint64_t>(st.st_size) > budgetLeft()) return nullptr;
        entity->LoadFromFile(path, 64);
    }
    return entity;
}
