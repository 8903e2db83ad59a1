#pragma once
// The texts that language pictures carry, read from a language source: UTF-8 lines of
// "[section]" headers and "key=value" entries. Blank lines and lines starting with ';' are skipped;
// keys and values are trimmed. The first occurrence of a section/key pair wins.

#include <map>
#include <optional>
#include <string>
#include <utility>

class SkinTexts {
public:
    // Reads the file; throws std::runtime_error when it cannot be read.
    static SkinTexts load(const std::string& path);
    // Parses text already in memory.
    static SkinTexts parse(const std::string& text);

    std::optional<std::string> get(const std::string& section, const std::string& key) const;

private:
    std::map<std::pair<std::string, std::string>, std::string> entries_;
};
