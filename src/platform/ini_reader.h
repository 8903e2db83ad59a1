#pragma once
// Reading profile (INI) files the way the Windows profile reader does: section and key names are
// matched without regard to ASCII case, the value has blanks and control characters removed at
// both ends, and the default comes back when the file, the section or the key is missing.
//
// A section header is a line whose first non-blank character is '['; its name is the text up to
// the next ']' (or the line's end), trimmed. Other lines holding '=' are key lines: the key is the
// trimmed text before the first '=', the value the trimmed text after it. Lines ending in CR LF,
// LF or CR are all accepted. When a section or a key occurs more than once, the first occurrence
// is the one read.

#include <string>
#include <string_view>

// Value of `chave` in section `secao` of the file at `caminho`, or `padrao`.
std::string lerValorIni(const std::string& caminho, std::string_view secao, std::string_view chave,
                        const std::string& padrao = {});

// The same lookup in a file's content already in memory.
std::string lerValorIniTexto(std::string_view conteudo, std::string_view secao,
                             std::string_view chave, const std::string& padrao = {});

// Blanks and control characters (bytes 0..32) removed at both ends.
std::string_view aparar(std::string_view texto);
