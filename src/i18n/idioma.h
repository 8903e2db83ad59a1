#pragma once
// One loaded language: its text file flattened into entries (see TextoIdioma) and the data file
// whose byte ranges hold its JPEG pictures.

#include <QImage>
#include <memory>
#include <string>

#include "texto_idioma.h"

class Idioma {
public:
    // Loads "<pasta>/<arquivoTexto>"; the pictures come from "<pasta>/<arquivoDados>".
    // `nome` is the display name under which the language was found (empty: read from the text
    // as getNome says). Throws EFOpenError when the text file cannot be read.
    Idioma(const std::string& pasta, const std::string& arquivoTexto,
           const std::string& arquivoDados, std::string nome = {});

    // The text of (secao, chave), compared with case; empty when missing.
    std::string getTexto(const std::string& secao, const std::string& chave) const;

    // The picture of (secao, chave): a new image owned by the caller, or null. A missing entry is
    // null without a message; an entry that names no sound JPEG in the data file (not two
    // numbers, a range outside the file, an unreadable file, a damaged picture) is null and shows
    // the damaged-file message, once for this language.
    std::unique_ptr<QImage> getImagem(const std::string& secao, const std::string& chave);

    // The display name: the one the language was found under, which finds it again whatever
    // the case of its header; without one, the text "EspecificacaoIdioma" / "nomeIdioma".
    std::string getNome() const;

    // Shows the damaged-file message unless it was shown for this language already.
    void reportarArquivoCorrompido();

    const std::string& getCaminhoDados() const { return caminhoDados_; }
    bool getErroReportado() const { return erroReportado_; }
    const TextoIdioma& getTextoIdioma() const { return texto_; }

private:
    TextoIdioma texto_;
    std::string caminhoDados_;
    std::string nome_;
    bool erroReportado_ = false;
};

// The caption and texts of the language manager's messages: fixed English, since they can show
// while no language is loaded.
inline constexpr const char* kTituloInternacionalizacao = "Internationalization";
// The damaged-file message, with the support address.
std::string mensagemArquivoCorrompido();
