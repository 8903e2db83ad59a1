// TXMLParser: document type declarations. The DOCTYPE is read once per document: its internal
// subset and external subset fill ElementDefs, GeneralEntities, ParameterEntities and NotationDefs
// and report every item to DtdElementFound; a later scan passes over it (DoctypeEnd).
//
// Parameter-entity references push their replacement text on the resume stack; every walker
// below goes back to the enclosing text at a NUL while the stack is above the level at which the
// declaration began (`base`), and never pops below it.
#include <cstring>
#include <utility>

#include "libxmlparser.h"

namespace {

// The text of a quoted literal at `p` (a quote character): up to the same quote, or to the end
// of the current text. Returns the position after the closing quote.
const char* readLiteral(const char* p, std::string& out) {
    const char q = *p++;
    const char* e = std::strchr(p, q);
    if (!e) {
        out.assign(p);
        return p + out.size();
    }
    out.assign(p, e);
    return e + 1;
}

// A name at `p`: at least one character, up to whitespace or one of `stops` (or the end).
const char* readName(const char* p, const char* stops, std::string& out) {
    const char* n = p;
    if (*p) ++p;
    while (*p && !IsXmlWs(*p) && !std::strchr(stops, *p)) ++p;
    out.assign(n, p);
    return p;
}

// Up to the next `close` in the current text (included), or to the end of the text.
const char* readUpTo(const char* p, char close, std::string& out) {
    const char* e = std::strchr(p, close);
    if (!e) {
        out.assign(p);
        return p + out.size();
    }
    out.assign(p, e + 1);
    return e + 1;
}

std::string withoutWs(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (!IsXmlWs(c)) out += c;
    return out;
}

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

TAttrType attrTypeOf(std::string_view word) {
    static constexpr std::pair<const char*, TAttrType> kTypes[] = {
        {"CDATA", atCData},     {"ID", atID},
        {"IDREF", atIdRef},     {"IDREFS", atIdRefs},
        {"ENTITY", atEntity},   {"ENTITIES", atEntities},
        {"NMTOKEN", atNmToken}, {"NMTOKENS", atNmTokens}};
    for (const auto& [name, type] : kTypes)
        if (word == name) return type;
    return atUnknown;
}

// The last character of an item that ended at `p` (its '>' or, at the end of a text, the
// character before).
const char* finalOf(const char* p) {
    return *p ? p : p - 1;
}

}  // namespace

void TXMLParser::reportError(const char* at) {
    TDtdElementRec r;
    r.Start = r.Final = at;
    r.ElementType = deError;
    DtdElementFound(r);
}

void TXMLParser::scanDoctype() {
    PartKind = ptDtdc;
    PartName.clear();
    PartContent.clear();
    // A DOCTYPE met inside an entity's replacement text keeps the entries below it: the
    // declaration's own parameter entities are stacked above `base`.
    const int base = ResumeStack.Count();
    const bool inDocument = base == 0;
    if (inDocument && DoctypeEnd && doctypeBegin_ == PartBegin) {
        PartEnd = DoctypeEnd;  // read before: passed over
        return;
    }
    const char* p = PartBegin + 9;
    int phase = 0;  // 0 before the root name, 1 after it, 2 in the subset, 3 after it
    for (;;) {
        p = skipEndedTexts(p, base);
        const char c = *p;
        if (c == '\0' || c == '>') break;
        if (c == '%') {
            p = peReference(p);
        } else if (c == '[') {
            phase = 2;
            p = analyzeSubset(p + 1, base);
        } else if (c == ']') {
            phase = 3;
            ++p;
        } else if (IsXmlWs(c)) {
            ++p;
        } else if (phase == 0 && IsNameStart(c)) {
            p = readName(p, ">[", DoctypeRootName);
            phase = 1;
        } else if (phase == 1 && (StartsWith(p, "SYSTEM") || StartsWith(p, "PUBLIC"))) {
            std::string systemId, publicId;
            p = readExternalId(p, systemId, publicId);
            readExternalSubset(systemId, publicId);
        } else {
            if (phase >= 2) reportError(p);
            ++p;
        }
    }
    if (ResumeStack.Count() > base) {
        // The declaration closed inside a parameter entity's text: the document goes on after
        // the outermost reference still open.
        reportError(p);
        p = ResumeStack.Node(base).ResumePos - 1;
        while (ResumeStack.Count() > base) ResumeStack.Pop();
    }
    PartEnd = finalOf(p);
    if (inDocument) {
        DoctypeEnd = PartEnd;
        doctypeBegin_ = PartBegin;
    }
}

void TXMLParser::readExternalSubset(const std::string& systemId, const std::string& publicId) {
    const int base = ResumeStack.Count();
    if (systemId.empty() || static_cast<std::size_t>(base) >= MaxEntityDepth) return;
    // Read (and counted against the budget) once; kept until the next scan, since positions
    // (the delimiter search's memory) may still point into its text.
    const std::string_view text = externalEntity(systemId, publicId, std::string());
    if (text.data() == nullptr) return;
    const char* p = std::strstr(text.data(), "<!");
    if (!p) return;
    const std::string_view outer = std::exchange(subsetText_, text);
    for (;;) {
        p = analyzeSubset(p, base);
        if (*p == '\0') break;  // analyzeSubset returns at a NUL only at its own level
        reportError(p);         // a stray ']' or '>' does not end an external subset
        ++p;
    }
    subsetText_ = outer;
}

// At the end of a parameter entity's text opened since `base`, reading goes on after the
// reference that opened it (as many levels as have ended there).
const char* TXMLParser::skipEndedTexts(const char* p, int base) {
    while (*p == '\0' && ResumeStack.Count() > base) p = ResumeStack.Pop();
    return p;
}

const char* TXMLParser::analyzeSubset(const char* p, int base) {
    for (;;) {
        p = skipEndedTexts(p, base);
        const char c = *p;
        if (c == '\0' || c == ']' || c == '>') return p;
        if (c == '%') {
            p = peReference(p);
        } else if (c != '<') {
            ++p;
        } else if (StartsWith(p, "<!ELEMENT")) {
            p = readElementDecl(p, base);
        } else if (StartsWith(p, "<!ATTLIST")) {
            p = readAttlistDecl(p, base);
        } else if (StartsWith(p, "<!ENTITY")) {
            p = readEntityDecl(p, base);
        } else if (StartsWith(p, "<!NOTATION")) {
            p = readNotationDecl(p, base);
        } else if (p[1] == '?') {
            p = readSubsetPI(p);
        } else if (StartsWith(p, "<!--")) {
            p = readSubsetComment(p);
        } else {
            // Unknown markup. An unknown "<!" declaration is passed over up to its '>', so that
            // its '>' does not end the whole subset.
            reportError(p);
            const char* e = p[1] == '!' ? std::strchr(p, '>') : nullptr;
            p = e ? e + 1 : p + 1;
        }
    }
}

const char* TXMLParser::peReference(const char* pct) {
    const char* semi = findDelim(pct + 1, false);
    if (*semi != ';') return pct + 1;
    const std::string_view name(pct + 1, static_cast<std::size_t>(semi - pct - 1));
    if (const TEntityDef* def = ParameterEntities.Node(name)) {
        std::string_view text;
        if (entityText(*def, static_cast<std::size_t>(ResumeStack.Count()), text) &&
            !text.empty()) {
            ResumeStack.Push(nullptr, semi + 1, text);
            return text.data();
        }
    }
    return semi + 1;
}

std::string TXMLParser::replacePeRefs(std::string_view in, std::size_t depth) {
    std::string out;
    std::size_t i = 0;
    std::size_t semi = std::string_view::npos;
    while (i < in.size()) {
        const std::size_t pct = in.find('%', i);
        if (pct == std::string_view::npos) break;
        if (semi == std::string_view::npos || semi <= pct) semi = in.find(';', pct + 1);
        if (semi == std::string_view::npos) break;
        out.append(in.substr(i, pct - i));
        i = semi + 1;
        if (semi > pct + 1) {
            if (const TEntityDef* def =
                    ParameterEntities.Node(in.substr(pct + 1, semi - pct - 1))) {
                std::string_view text;
                if (entityText(*def, depth, text)) {
                    out += replacePeRefs(text, depth + 1);
                    continue;
                }
            }
        }
        out.append(in.substr(pct, semi - pct + 1));  // stays as written
    }
    out.append(in.substr(i));
    return out;
}

const char* TXMLParser::readExternalId(const char* p, std::string& systemId,
                                       std::string& publicId) {
    const bool isPublic = StartsWith(p, "PUBLIC");
    p += 6;
    // The search for a literal stops at '>', '[' or the end of the text.
    const auto findQuote = [](const char* q) {
        while (*q && *q != '>' && *q != '[' && !isQuote(*q)) ++q;
        return q;
    };
    const char* q = findQuote(p);
    if (!isQuote(*q)) return q;
    std::string first;
    p = readLiteral(q, first);
    if (!isPublic) {
        systemId = std::move(first);
        return p;
    }
    publicId = std::move(first);
    q = findQuote(p);
    if (isQuote(*q)) p = readLiteral(q, systemId);
    return p;
}

const char* TXMLParser::readElementDecl(const char* p, int /*base*/) {
    const char* start = p;
    p += 9;
    while (*p && *p != '>' && !IsNameStart(*p)) ++p;
    if (!IsNameStart(*p)) {
        reportError(start);
        return *p ? p + 1 : p;
    }
    std::string name, model;
    p = readName(p, ">", name);
    const char* e = std::strchr(p, '>');
    const char* modelEnd = e ? e : p + std::strlen(p);
    model = withoutWs(replacePeRefs(std::string_view(p, static_cast<std::size_t>(modelEnd - p)),
                                    static_cast<std::size_t>(ResumeStack.Count())));
    TElemType type = etAny;
    if (model == "EMPTY")
        type = etEmpty;
    else if (model.rfind("(#PCDATA", 0) == 0)
        type = etMixed;
    else if (!model.empty() && model[0] == '(')
        type = etChildren;
    // An ATTLIST may come before its ELEMENT: an existing declaration keeps its attributes.
    TElemDef* def = ElementDefs.Node(name);
    if (!def) {
        auto d = std::make_unique<TElemDef>();
        d->Name = name;
        def = ElementDefs.Add(std::move(d));
    }
    def->ElemType = type;
    def->Definition = std::move(model);
    TDtdElementRec r;
    r.Start = start;
    r.Final = finalOf(modelEnd);
    r.ElementType = deElement;
    r.ElemDef = def;
    DtdElementFound(r);
    return e ? e + 1 : modelEnd;
}

const char* TXMLParser::readAttlistDecl(const char* p, int base) {
    enum { kElem, kAttrName, kType, kNotationList, kDefault, kFixedValue } state = kElem;
    const char* start = p;
    p += 9;
    TElemDef* elem = nullptr;
    TAttrDef* cur = nullptr;
    static const char kNameStops[] = "\"'#>";
    for (;;) {
        p = skipEndedTexts(p, base);
        const char c = *p;
        if (c == '\0' || c == '>') break;
        if (c == '%') {
            p = peReference(p);
            continue;
        }
        if (IsXmlWs(c)) {
            ++p;
            continue;
        }
        const auto depth = static_cast<std::size_t>(ResumeStack.Count());
        std::string word;
        switch (state) {
            case kElem:
                p = readName(p, kNameStops, word);
                elem = ElementDefs.Node(word);
                if (!elem) {
                    auto d = std::make_unique<TElemDef>();
                    d->Name = word;
                    d->Definition = "ANY";
                    d->ElemType = etAny;
                    elem = ElementDefs.Add(std::move(d));
                }
                state = kAttrName;
                break;
            case kAttrName: {
                p = readName(p, kNameStops, word);
                const int old = elem->IndexOf(word);
                if (old >= 0) elem->Extract(old);
                cur = elem->Add(std::make_unique<TAttrDef>(word, std::string()));
                state = kType;
                break;
            }
            case kType:
                if (c == '(') {
                    p = readUpTo(p, ')', word);
                    cur->TypeDef = withoutWs(replaceCharRefs(replacePeRefs(word, depth)));
                    cur->AttrType = atEnumeration;
                } else {
                    p = readName(p, "\"'#>(", word);
                    if (word == "NOTATION") {
                        cur->AttrType = atNotation;
                        state = kNotationList;
                        break;
                    }
                    cur->AttrType = attrTypeOf(word);
                }
                state = kDefault;
                break;
            case kNotationList:
                if (c == '(') {
                    p = readUpTo(p, ')', word);
                    cur->Notations = withoutWs(replacePeRefs(word, depth));
                }
                state = kDefault;
                break;
            case kDefault:
                if (c == '#') {
                    p = readName(p, "\"'>", word);
                    word = replacePeRefs(word, depth);
                    if (word == "#REQUIRED") {
                        cur->DefaultType = adRequired;
                    } else if (word == "#IMPLIED") {
                        cur->DefaultType = adImplied;
                    } else if (word == "#FIXED") {
                        cur->DefaultType = adFixed;
                        state = kFixedValue;
                        break;
                    }
                    state = kAttrName;
                } else if (isQuote(c)) {
                    p = readLiteral(p, word);
                    cur->Value = replaceCharRefs(replacePeRefs(word, depth));
                    cur->DefaultType = adDefault;
                    state = kAttrName;
                } else {
                    state = kAttrName;  // no default: this is the next attribute's name
                }
                break;
            case kFixedValue:
                if (isQuote(c)) {
                    p = readLiteral(p, word);
                    cur->Value = replaceCharRefs(replacePeRefs(word, depth));
                }
                state = kAttrName;
                break;
        }
    }
    TDtdElementRec r;
    r.Start = start;
    r.Final = finalOf(p);
    r.ElementType = deAttList;
    r.ElemDef = elem;
    DtdElementFound(r);
    return *p ? p + 1 : p;
}

const char* TXMLParser::readEntityDecl(const char* p, int base) {
    const char* start = p;
    p += 8;
    bool parameter = false, named = false, haveValue = false;
    auto def = std::make_unique<TEntityDef>();
    for (;;) {
        p = skipEndedTexts(p, base);
        const char c = *p;
        if (c == '\0' || c == '>') break;
        if (IsXmlWs(c)) {
            ++p;
        } else if (!named) {
            if (c == '%') {
                parameter = true;  // "<!ENTITY % name": a parameter entity
                ++p;
            } else {
                p = readName(p, "\"'>", def->Name);
                named = true;
            }
        } else if (c == '%') {
            p = peReference(p);
        } else if (isQuote(c) && !haveValue) {
            p = readLiteral(p, def->Value);
            haveValue = true;
        } else if (StartsWith(p, "SYSTEM") || StartsWith(p, "PUBLIC")) {
            p = readExternalId(p, def->SystemId, def->PublicId);
        } else if (StartsWith(p, "NDATA")) {
            p += 5;
            while (IsXmlWs(*p)) ++p;
            if (*p && *p != '>') p = readName(p, "\"'>", def->NotationName);
        } else {
            ++p;
        }
    }
    if (named) {
        const auto depth = static_cast<std::size_t>(ResumeStack.Count());
        if (!parameter) def->Value = replacePeRefs(def->Value, depth);
        def->Value = replaceCharRefs(def->Value);
        TEntityList& list = parameter ? ParameterEntities : GeneralEntities;
        // The later declaration counts. The earlier one is kept alive: its text may be the one
        // being read right now.
        const int old = list.IndexOf(def->Name);
        if (old >= 0) replacedEntities_.push_back(list.Extract(old));
        TDtdElementRec r;
        r.Start = start;
        r.Final = finalOf(p);
        r.ElementType = deEntity;
        r.EntityDef = list.Add(std::move(def));
        DtdElementFound(r);
    } else {
        reportError(start);
    }
    return *p ? p + 1 : p;
}

const char* TXMLParser::readNotationDecl(const char* p, int base) {
    const char* start = p;
    p += 10;
    auto def = std::make_unique<TNotationDef>();
    bool named = false;
    for (;;) {
        p = skipEndedTexts(p, base);
        const char c = *p;
        if (c == '\0' || c == '>') break;
        if (IsXmlWs(c)) {
            ++p;
        } else if (!named) {
            p = readName(p, "\"'>", def->Name);
            named = true;
        } else if (StartsWith(p, "SYSTEM") || StartsWith(p, "PUBLIC")) {
            p = readExternalId(p, def->Value, def->PublicId);
        } else {
            ++p;
        }
    }
    if (named) {
        TDtdElementRec r;
        r.Start = start;
        r.Final = finalOf(p);
        r.ElementType = deNotation;
        r.NotationDef = NotationDefs.Add(std::move(def));  // earlier ones stay
        DtdElementFound(r);
    } else {
        reportError(start);
    }
    return *p ? p + 1 : p;
}

const char* TXMLParser::readSubsetPI(const char* p) {
    TDtdElementRec r;
    r.ElementType = dePI;
    r.Start = p;
    const char* t = p + 2;
    const char* q = t;
    if (*q) {
        ++q;
        while (*q && !IsXmlWs(*q) && *q != '>' && *q != '?') ++q;
    }
    r.Target.assign(t, q);
    const char* e = findInText(t, "?>");
    if (e) {
        r.Content.assign(q, e > q ? e : q);
        r.Final = e + 1;
    } else {
        r.Content.assign(q);
        r.Final = q + r.Content.size() - 1;
    }
    TAttrList attrs;
    const char* stop;
    attrs.Analyze(r.Content.c_str(), stop);
    r.AttrList = &attrs;
    DtdElementFound(r);
    return r.Final + 1;
}

const char* TXMLParser::readSubsetComment(const char* p) {
    TDtdElementRec r;
    r.ElementType = deComment;
    r.Start = p;
    const char* e = findInText(p + 4, "-->");
    r.Final = e ? e + 2 : lastInText(p + 4);
    DtdElementFound(r);
    return r.Final + 1;
}

void TXMLParser::applyAttrDefaults() {
    if (ElementDefs.Count() == 0) return;
    const TElemDef* def = ElementDefs.Node(PartName);
    if (!def) return;
    for (int i = 0; i < def->Count(); ++i) {
        const TAttrDef* ad = def->Node(i);
        TAttr* a = PartAttributes.Node(ad->Name);
        if (!a && !ad->Value.empty()) a = PartAttributes.AddAttr(ad->Name, ad->Value, vtDefault);
        if (!a) continue;
        if (ad->DefaultType == adImplied) {
            a->ValueSource = vtImplied;
        } else if (ad->DefaultType == adFixed) {
            a->ValueSource = vtFixed;
            a->Value = ad->Value;
        }
        a->DeclaredType = ad->AttrType;
    }
}
