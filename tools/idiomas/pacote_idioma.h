#pragma once
// Building a language's files from its readable source.
//
// Source (UTF-8, one file per language; see data/languages/README.md):
//   ; a comment line
//   [Section]
//   key = text, with # for each line break
//   pictureKey = @path/to/picture.jpg
// Output: "<Name>.idm" (Windows-1252, CR LF) with every text as written and every picture as
// "offset,length" of "<Name>.dat", which holds the pictures' JPEG files back to back (a file used
// by several keys is stored once). Sections whose name starts with '_' hold texts that only the
// build reads (captions drawn into the pictures); they are checked but not written.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A mistake in a source or key list, with the file and line it was found at.
class ErroFonte : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct EntradaFonte {
    std::string chave;
    std::string valor;  // Windows-1252 text, or the picture's path as written (after the '@')
    bool figura = false;
    int linha = 0;
};

struct SecaoFonte {
    std::string nome;
    std::vector<EntradaFonte> entradas;
};

struct FonteIdioma {
    std::vector<SecaoFonte> secoes;
    // The entry (section, key), or null.
    const EntradaFonte* procurar(const std::string& secao, const std::string& chave) const;
};

// Reads a source; `nomeArquivo` only names it in error messages. Throws ErroFonte.
FonteIdioma lerFonteIdioma(const std::string& conteudoUtf8, const std::string& nomeArquivo);

// One line of the key list: every language must carry the text keys; picture keys are optional
// unless required.
struct ChaveConhecida {
    bool figura = false;
    std::string secao;
    std::string chave;
};

// Reads the key list: lines "T section key" or "I section key"; ';' starts a comment line.
std::vector<ChaveConhecida> lerListaChaves(const std::string& conteudo,
                                           const std::string& nomeArquivo);

// Checks the source against the key list: the application code and display name, every text
// key present as a text, pictures as pictures, and no key the list does not know (a misspelt key
// would never be found). Throws ErroFonte naming every problem.
void verificarFonte(const FonteIdioma& fonte, const std::vector<ChaveConhecida>& chaves,
                    bool exigirFiguras, const std::string& nomeArquivo);

struct PacoteIdioma {
    std::string idm;                   // the text file's bytes
    std::vector<std::uint8_t> dat;     // the data file's bytes
    std::vector<std::string> figuras;  // the picture files read, for the build's dependencies
};

// Reads a picture file's bytes; null when it cannot be found.
using LeitorFigura = std::function<std::optional<std::vector<std::uint8_t>>(
    const std::string& caminho, std::string& caminhoResolvido)>;

// Makes the two files. Every picture must be a JPEG our decoder reads. Throws ErroFonte.
PacoteIdioma montarPacote(const FonteIdioma& fonte, const LeitorFigura& lerFigura,
                          const std::string& nomeArquivo);
