#pragma once
// XMLAfinacaoParser: reads the tuning file ("Afinacoes.xml") with the XML pull scanner and builds
// one Afinacao per <Afinacao> element, deriving each string's note name and reference frequency
// from its MIDI note. Short codes in instrument and type texts ("#" and three characters) are
// replaced by texts of the current language (section "xmlAfinacao"), so the file stays
// language-neutral.
//
// Inside <Afinacao> (at any depth; element names compared with case) the reader takes the texts
// of <instrumento>, <tipoAfinacao>, <numeroCordas> (a decimal integer) and, within
// <frequenciasMIDI>, one MIDI note per text node in string order. A tuning is kept only when the
// number of notes equals numeroCordas and is not 0; otherwise it is skipped without a message.
// A tuning with a note outside 0..126 is skipped too, and a count of 0 or less never yields a
// tuning. Notes met before numeroCordas, or outside any tuning, are dropped.
//
// The reader is Qt-free: it takes the language texts from a text source that the program sets
// once (see afinacoes_idioma.h, which hands it the language manager's lookups).

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "afinacao.h"

class TXMLParser;

class XMLAfinacaoParser {
public:
    // Looks up the text of (section, key) in the current language; empty when missing.
    using FonteTextos =
        std::function<std::string(const std::string& secao, const std::string& chave)>;

    // The process's reader, created on the first call and kept until the process ends.
    static XMLAfinacaoParser* getInstancia();

    // Fills the note-name and frequency tables. Without a text source every code expands to
    // nothing.
    XMLAfinacaoParser();

    // The tunings of the file, in file order. Raises EFOpenError with an empty message when no
    // file of that name exists, and EConvertError when numeroCordas or a stored note is not a
    // decimal integer. A file that exists but cannot be read yields no tunings.
    std::vector<Afinacao> lerAfinacoes(const std::string& nomeArquivo) const;
    // The same for a document in memory (up to its first NUL byte).
    std::vector<Afinacao> lerAfinacoesDoTexto(const std::string& documento) const;

    // How a file of the user's own tunings is read: the same way, except that its texts are
    // taken literally (a "#" in a name the user gave is no language code), and it tells how
    // many <Afinacao> elements held no usable tuning, and whether the document is a whole
    // tuning file (its first element <Afinacoes>, closed), as every file this program writes.
    struct LeituraUsuario {
        std::vector<Afinacao> afinacoes;
        int descartadas = 0;
        bool inteiro = false;
    };
    LeituraUsuario lerAfinacoesUsuario(const std::string& nomeArquivo) const;

    // The text with every "#" and the (at most) three characters after it replaced by the
    // language text of that code in section "xmlAfinacao"; a missing text leaves nothing.
    std::string traduzir(const std::string& texto) const;

    void setFonteTextos(FonteTextos fonte) { fonteTextos_ = std::move(fonte); }

    const std::array<std::string, 12>& getTabelaNomesNotas() const { return tabelaNomesNotas_; }
    const std::array<double, kNotasMIDI>& getTabelaFrequencias() const {
        return tabelaFrequencias_;
    }

private:
    std::vector<Afinacao> ler(TXMLParser& xml, bool traduzirCodigos = true,
                              LeituraUsuario* leitura = nullptr) const;

    std::array<std::string, 12> tabelaNomesNotas_;
    std::array<double, kNotasMIDI> tabelaFrequencias_;
    FonteTextos fonteTextos_;
};
