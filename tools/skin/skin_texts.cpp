#include "skin_texts.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

std::string trim(const std::string& s) {
    const char* blanks = " \t\r\n\f\v";
    const auto first = s.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(blanks);
    return s.substr(first, last - first + 1);
}

}  // namespace

SkinTexts SkinTexts::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream all;
    all << in.rdbuf();
    return parse(all.str());
}

SkinTexts SkinTexts::parse(const std::string& text) {
    SkinTexts result;
    std::string section;
    std::istringstream lines(text);
    std::string line;
    bool first = true;
    while (std::getline(lines, line)) {
        if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);  // UTF-8 BOM
        first = false;
        line = trim(line);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const auto close = line.find(']');
            section =
                trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        result.entries_.emplace(std::make_pair(section, trim(line.substr(0, eq))),
                                trim(line.substr(eq + 1)));
    }
    return result;
}

std::optional<std::string> SkinTexts::get(const std::string& section,
                                          const std::string& key) const {
    const auto it = entries_.find({section, key});
    if (it == entries_.end()) return std::nullopt;
    return it->second;
}
