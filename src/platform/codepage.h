#pragma once
// The Windows-1252 code page: every text of the program is stored as Windows-1252 bytes. This is
// the one table the whole program converts with (XML scanner, language files, widgets).
// The five positions Windows-1252 leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the
// Unicode code points of the same value.

#include <cstdint>
#include <string>

namespace cp1252 {

// Unicode code point of a Windows-1252 byte.
char32_t toUnicode(std::uint8_t byte);
// Windows-1252 byte of a code point, or -1 when the code page has no such character.
int fromUnicode(char32_t codePoint);

// UTF-8 of a Windows-1252 string.
std::string toUtf8(const std::string& ansi);
// Windows-1252 of a UTF-8 string: characters the code page lacks become `unmapped`; bytes that
// are not valid UTF-8 are taken as Windows-1252 bytes as they are.
std::string fromUtf8(const std::string& utf8, char unmapped = '?');

}  // namespace cp1252
