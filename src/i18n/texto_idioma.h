#pragma once
// The text part of a language file (".idm") flattened into named entries, and the lookups in it.
// Qt-free, so the parser can be tested and fuzzed on its own.
//
// Flattening: the n-th section header of the file (n counted from 1 over every header line, in
// file order, repeated names included) adds the entry "<section>=CS<n>"; each key line adds
// "CS<n><key>=<value>", n being the number of the last header above it (0 before the first).
// So "[geral]" as the first header and its line "nomeAplicacao=X" give "geral=CS1" and
// "CS1nomeAplicacao=X". Every '#' in a value becomes CR LF.
//
// Lines end in CR LF, LF or CR and are trimmed of blanks and control characters at both ends;
// empty lines are skipped. A trimmed line starting with '[' is a header whose name is the line
// without its first and last character. Any other line is a key line: the key is its text before
// the first '=' (empty when there is none) and the value the text after it.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TextoIdioma {
public:
    TextoIdioma() = default;
    // Flattens the bytes of a language text file (Windows-1252, taken as they are).
    explicit TextoIdioma(std::string_view conteudo);

    // The text of `chave` in the first section named `secao` (both compared with case), or the
    // empty string (also when the section is missing). A key repeated in a section yields its first
    // value; keys that only a later section of the same name holds, or that stand above the first
    // header, are never found.
    std::string getTexto(std::string_view secao, std::string_view chave) const;

    // Value of the first entry called `nome`, or the empty string.
    std::string valorEntrada(std::string_view nome) const;

    // The entries "name=value" in file order.
    const std::vector<std::string>& entradas() const { return entradas_; }

private:
    void adicionar(std::string nome, std::string valor);

    std::vector<std::string> entradas_;
    // First value of each entry name, for the lookups.
    std::unordered_map<std::string, std::string> primeiros_;
};
