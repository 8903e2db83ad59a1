#include "nvp_list.h"

#include "xml_text.h"

TAttr* TAttrList::AddAttr(std::string_view name, std::string_view value, TValueType source) {
    TAttr* a = appendSpare();
    a->Name.assign(name);
    a->Value.assign(value);
    a->ValueSource = source;
    a->DeclaredType = atUnknown;
    return placeLast();
}

void TAttrList::Analyze(const char* start, const char*& end) {
    Clear();
    const char* p = start;
    const char* nameBegin = nullptr;
    const char* nameEnd = nullptr;
    int state = 0;
    while (*p && *p != '>') {
        const char c = *p;
        if (IsXmlWs(c)) {
            ++p;
            continue;
        }
        if (state == 0) {
            if (!IsNameStart(c)) break;
            nameBegin = p;
            while (*p && !IsXmlWs(*p) && *p != '/' && *p != '=' && *p != '>') ++p;
            nameEnd = p;
            state = 1;
        } else if (state == 1) {
            if (c == '=') state = 2;
            ++p;
        } else {
            if (c == '"' || c == '\'') {
                const char* v = ++p;
                while (*p && *p != c) ++p;
                TAttr* a = appendSpare();
                a->Name.assign(nameBegin, nameEnd);
                a->Value.assign(v, p);
                a->ValueSource = vtNormal;
                a->DeclaredType = atUnknown;
                if (*p) ++p;
                state = 0;
            } else {
                ++p;
            }
        }
    }
    end = p;
    sortAppended();
}
