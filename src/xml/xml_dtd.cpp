// TXMLParser: document type declarations.
#include <cstring>

#include "libxmlparser.h"

void TXMLParser::scanDoctype() {
    PartKind = ptDtdc;
    PartName.clear();
    PartContent.clear();
    // Interim: pass over the declaration (its internal subset included).
    const char* p = PartBegin + 9;
    while (*p && *p != '>' && *p != '[') ++p;
    if (*p == '[') {
        while (*p && *p != ']') ++p;
        while (*p && *p != '>') ++p;
    }
    PartEnd = *p ? p : p - 1;
}

void TXMLParser::applyAttrDefaults() {}
