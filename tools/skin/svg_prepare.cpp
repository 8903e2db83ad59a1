#include "svg_prepare.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

std::string escapeXml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string unescapeXml(const std::string& text) {
    static const std::pair<const char*, char> named[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == '&') {
            for (const auto& [entity, c] : named) {
                if (text.compare(i, std::char_traits<char>::length(entity), entity) == 0) {
                    out += c;
                    i += std::char_traits<char>::length(entity);
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) out += text[i++];
    }
    return out;
}

std::string base64(const std::string& bytes) {
    static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += table[(v >> 18) & 63];
        out += table[(v >> 12) & 63];
        out += table[(v >> 6) & 63];
        out += table[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += table[(v >> 18) & 63];
        out += table[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? table[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string substituteTexts(const std::string& svg, const SkinTexts* texts) {
    static const std::regex token(R"(\{\{([A-Za-z0-9_]+)\.([A-Za-z0-9_]+)\}\})");
    std::string out;
    auto last = svg.cbegin();
    for (std::sregex_iterator it(svg.begin(), svg.end(), token), end; it != end; ++it) {
        const auto& m = *it;
        const std::string section = m[1], key = m[2];
        const auto value = texts ? texts->get(section, key) : std::nullopt;
        if (!value) throw std::runtime_error("missing text " + section + "." + key);
        out.append(last, m[0].first);
        out += escapeXml(*value);
        last = m[0].second;
    }
    out.append(last, svg.cend());
    return out;
}

std::string substituteVars(const std::string& svg, const std::map<std::string, std::string>& vars) {
    static const std::regex token(R"(\{\{var\.([A-Za-z0-9_]+)\}\})");
    std::string out;
    auto last = svg.cbegin();
    for (std::sregex_iterator it(svg.begin(), svg.end(), token), end; it != end; ++it) {
        const auto& m = *it;
        const auto value = vars.find(m[1]);
        if (value == vars.end()) throw std::runtime_error("missing value var." + m[1].str());
        out.append(last, m[0].first);
        out += value->second;
        last = m[0].second;
    }
    out.append(last, svg.cend());
    return out;
}

std::string inlineImages(const std::string& svg, const std::string& imageDir) {
    static const std::regex ref(R"re(href="png:([A-Za-z0-9_./-]+)")re");
    std::string out;
    auto last = svg.cbegin();
    for (std::sregex_iterator it(svg.begin(), svg.end(), ref), end; it != end; ++it) {
        const auto& m = *it;
        const std::string name = m[1];
        if (name.find("..") != std::string::npos)
            throw std::runtime_error("image reference leaves the image folder: " + name);
        out.append(last, m[0].first);
        out += "href=\"data:image/png;base64," + base64(readFile(imageDir + "/" + name + ".png")) +
               "\"";
        last = m[0].second;
    }
    out.append(last, svg.cend());
    return out;
}

std::optional<std::string> attribute(const std::string& tag, const std::string& name) {
    const std::regex re("\\s" + name + "=\"([^\"]*)\"");
    std::smatch m;
    if (!std::regex_search(tag, m, re)) return std::nullopt;
    return m[1].str();
}

std::string setAttribute(const std::string& tag, const std::string& name,
                         const std::string& value) {
    const std::regex re("\\s" + name + "=\"([^\"]*)\"");
    std::smatch m;
    if (std::regex_search(tag, m, re))
        return tag.substr(0, static_cast<std::size_t>(m.position(1))) + value +
               tag.substr(static_cast<std::size_t>(m.position(1) + m.length(1)));
    // Insert before the closing '>' of the start tag.
    return tag.substr(0, tag.size() - 1) + " " + name + "=\"" + value + "\">";
}

double number(const std::string& text, const std::string& what) {
    try {
        std::size_t used = 0;
        const double v = std::stod(text, &used);
        return v;
    } catch (const std::exception&) {
        throw std::runtime_error("bad number for " + what + ": " + text);
    }
}

FontSpec fontOf(const std::string& startTag) {
    FontSpec font;
    if (auto v = attribute(startTag, "font-family")) {
        std::string f = *v;
        if (auto comma = f.find(','); comma != std::string::npos) f.resize(comma);
        f.erase(std::remove(f.begin(), f.end(), '\''), f.end());
        font.family = f;
    }
    const auto size = attribute(startTag, "font-size");
    if (!size) throw std::runtime_error("data-fit text without font-size: " + startTag);
    font.pixelSize = number(*size, "font-size");
    if (auto v = attribute(startTag, "font-weight"))
        font.bold =
            *v == "bold" || *v == "bolder" ||
            (std::isdigit(static_cast<unsigned char>((*v)[0])) && number(*v, "font-weight") >= 600);
    if (auto v = attribute(startTag, "font-style")) font.italic = *v == "italic" || *v == "oblique";
    if (auto v = attribute(startTag, "letter-spacing"))
        font.letterSpacing = number(*v, "letter-spacing");
    return font;
}

std::string stripTags(const std::string& inner) {
    static const std::regex tags("<[^>]*>");
    return unescapeXml(std::regex_replace(inner, tags, ""));
}

std::string fitTexts(const std::string& svg, const TextMeasurer* measurer) {
    static const std::regex element(R"((<text\b[^>]*>)([\s\S]*?)</text>)");
    std::string out;
    auto last = svg.cbegin();
    for (std::sregex_iterator it(svg.begin(), svg.end(), element), end; it != end; ++it) {
        const auto& m = *it;
        std::string startTag = m[1];
        const auto fit = attribute(startTag, "data-fit");
        out.append(last, m[0].first);
        if (fit) {
            if (!measurer) throw std::runtime_error("data-fit text needs a text measurer");
            const double limit = number(*fit, "data-fit");
            FontSpec font = fontOf(startTag);
            const double w = measurer->width(font, stripTags(m[2]));
            if (w > limit && w > 0) {
                const double size = std::floor(font.pixelSize * limit / w * 10.0) / 10.0;
                char buf[32];
                std::snprintf(buf, sizeof buf, "%.1f", size);
                startTag = setAttribute(startTag, "font-size", buf);
                if (font.letterSpacing != 0) {
                    std::snprintf(buf, sizeof buf, "%.2f",
                                  font.letterSpacing * size / font.pixelSize);
                    startTag = setAttribute(startTag, "letter-spacing", buf);
                }
            }
        }
        out += startTag;
        out += m[2];
        out += "</text>";
        last = m[0].second;
    }
    out.append(last, svg.cend());
    return out;
}

}  // namespace

std::string prepareSvg(const std::string& svg, const PrepareOptions& options) {
    std::string out = substituteTexts(substituteVars(svg, options.vars), options.texts);
    out = fitTexts(out, options.measurer);
    return inlineImages(out, options.imageDir);
}
