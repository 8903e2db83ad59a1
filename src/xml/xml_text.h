#pragma once
// Text helpers of the XML scanner: whitespace handling, the scanner's UTF-8 <-> Windows-1252
// conversions (over the program's one code-page table, cp1252) and substring builders.

#include <string>
#include <string_view>

// XML whitespace: tab, LF, CR and space.
inline bool IsXmlWs(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Characters that may start a name: ':', 'A'..'Z', '_', 'a'..'z' and the Latin-1 letters
// 192..214, 216..246, 248..255.
inline bool IsNameStart(char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return c == ':' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           (c >= 192 && c != 215 && c != 247);
}

// True when `p` starts with `lit`; stops at the first difference, so never reads past a NUL.
inline bool StartsWith(const char* p, const char* lit) {
    for (; *lit; ++p, ++lit)
        if (*p != *lit) return false;
    return true;
}

// Removes whitespace from both ends.
std::string TrimWs(std::string_view text);
// Turns every whitespace character into a space; with `collapse`, each run of whitespace
// becomes a single space.
std::string ConvertWs(std::string_view text, bool collapse);
// In-place forms used on the scanner's hot path.
void TrimWsInPlace(std::string& text);
void ConvertWsInPlace(std::string& text, bool collapse);

// Windows-1252 text to UTF-8 (one to three bytes per character).
std::string AnsiToUtf8(std::string_view text);
// UTF-8 text to Windows-1252. Two- and three-byte sequences are decoded (the top two bits of
// continuation bytes are not checked); any other byte at or above 0x80 starts an undecodable
// sequence that yields `substitute` and is skipped with as many continuation bytes as its lead
// byte announces (never past the end of the text). Code points the code page lacks become
// `substitute` as well.
std::string Utf8ToAnsi(std::string_view text, unsigned char substitute);

// The characters from `start` to `end` inclusive (empty when either is null or end < start).
void SetStringSF(std::string& dest, const char* start, const char* end);
std::string StrSFPas(const char* start, const char* end);

// The Windows-1252 byte for a character reference's code point: codes below 256 are taken as
// the byte itself; higher code points go through the code page, or become 191 ('¿') when the
// code page lacks them.
unsigned char CharRefToAnsi(unsigned long code);
// Parses the digits of a character reference ("65" or "x41"); false when they form no number.
bool ParseCharRef(std::string_view digits, bool hex, unsigned long& code);
