#include "xml_text.h"

#include "codepage.h"

std::string TrimWs(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && IsXmlWs(text[b])) ++b;
    while (e > b && IsXmlWs(text[e - 1])) --e;
    return std::string(text.substr(b, e - b));
}

void TrimWsInPlace(std::string& text) {
    std::size_t e = text.size();
    while (e > 0 && IsXmlWs(text[e - 1])) --e;
    text.resize(e);
    std::size_t b = 0;
    while (b < e && IsXmlWs(text[b])) ++b;
    if (b > 0) text.erase(0, b);
}

void ConvertWsInPlace(std::string& text, bool collapse) {
    std::size_t out = 0;
    bool prevWs = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsXmlWs(c)) {
            if (!(collapse && prevWs)) text[out++] = ' ';
            prevWs = true;
        } else {
            text[out++] = c;
            prevWs = false;
        }
    }
    text.resize(out);
}

std::string ConvertWs(std::string_view text, bool collapse) {
    std::string s(text);
    ConvertWsInPlace(s, collapse);
    return s;
}

std::string AnsiToUtf8(std::string_view text) {
    return cp1252::toUtf8(std::string(text));
}

namespace {
// Lowest Windows-1252 byte for a code point, or -1.
inline int ansiOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    return cp1252::fromUnicode(cp);
}
}  // namespace

std::string Utf8ToAnsi(std::string_view text, unsigned char substitute) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && static_cast<unsigned char>(text[i]) < 0x80) ++i;
    if (i == n) return std::string(text);

    std::string out(text.substr(0, i));
    out.reserve(n);
    const char sub = static_cast<char>(substitute);
    while (i < n) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const std::size_t left = n - i - 1;  // bytes after the lead byte
        char32_t cp;
        if ((c & 0xE0) == 0xC0 && left >= 1) {
            cp = (char32_t(c & 0x1F) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F);
            i += 2;
        } else if ((c & 0xF0) == 0xE0 && left >= 2) {
            cp = (char32_t(c & 0x0F) << 12) |
                 (char32_t(static_cast<unsigned char>(text[i + 1]) & 0x3F) << 6) |
                 (static_cast<unsigned char>(text[i + 2]) & 0x3F);
            i += 3;
        } else {
            // Undecodable: a lead byte with n leading ones is skipped with n - 1 more bytes;
            // 10xxxxxx and 0xFF alone.
            std::size_t ones = 0;
            while (ones < 8 && (c & (0x80 >> ones))) ++ones;
            std::size_t skip = (ones <= 1 || ones == 8) ? 1 : ones;
            if (skip > n - i) skip = n - i;
            i += skip;
            out += sub;
            continue;
        }
        const int b = ansiOf(cp);
        out += b >= 0 ? static_cast<char>(b) : sub;
    }
    return out;
}

void SetStringSF(std::string& dest, const char* start, const char* end) {
    if (!start || !end || end < start) {
        dest.clear();
        return;
    }
    dest.assign(start, static_cast<std::size_t>(end - start) + 1);
}

std::string StrSFPas(const char* start, const char* end) {
    std::string s;
    SetStringSF(s, start, end);
    return s;
}

unsigned char CharRefToAnsi(unsigned long code) {
    if (code < 256) return static_cast<unsigned char>(code);
    const int b = code <= 0x10FFFF ? cp1252::fromUnicode(static_cast<char32_t>(code)) : -1;
    return b >= 0 ? static_cast<unsigned char>(b) : 191;
}

bool ParseCharRef(std::string_view digits, bool hex, unsigned long& code) {
    if (digits.empty()) return false;
    unsigned long v = 0;
    for (char ch : digits) {
        int d;
        if (ch >= '0' && ch <= '9')
            d = ch - '0';
        else if (hex && ch >= 'a' && ch <= 'f')
            d = ch - 'a' + 10;
        else if (hex && ch >= 'A' && ch <= 'F')
            d = ch - 'A' + 10;
        else
            return false;
        v = v * (hex ? 16 : 10) + static_cast<unsigned long>(d);
        if (v > 0x7FFFFFFFul) return false;  // too large for a number: not a number
    }
    code = v;
    return true;
}
