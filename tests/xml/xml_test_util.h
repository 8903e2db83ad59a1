#pragma once
// Scans a document to its end and records each part as "Kind name|content".
#include <string>
#include <vector>

#include "libxmlparser.h"

struct ScannedPart {
    TPartType kind;
    std::string name;
    std::string content;
};

inline std::vector<ScannedPart> scanAll(TXMLParser& p) {
    std::vector<ScannedPart> parts;
    p.StartScan();
    while (p.Scan()) {
        parts.push_back({p.PartKind, p.PartName, p.PartContent});
        if (parts.size() > 100000) break;  // a scan that never ends is a failure, not a hang
    }
    return parts;
}

inline std::vector<ScannedPart> scanText(TXMLParser& p, const char* doc) {
    p.LoadFromBuffer(doc);
    return scanAll(p);
}

// Parts as "Kind:name:content" lines, for compact expectations.
inline std::string describe(const std::vector<ScannedPart>& parts) {
    std::string s;
    for (const auto& pt : parts) {
        s += CPartType_Name[pt.kind];
        s += ':' + pt.name + ':' + pt.content + '\n';
    }
    return s;
}
