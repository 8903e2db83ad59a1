#pragma once
// GerenciadorAfinacoes: every tuning of the tuning file, in file order, and which one is
// current. One instance per process, reached through getInstancia(); the main window loads the
// file once with carregar() before anything else asks for a tuning.

#include <string>
#include <vector>

#include "afinacao.h"

class XMLAfinacaoParser;

class GerenciadorAfinacoes {
public:
    static constexpr const char* kArquivoAfinacoes = "Afinacoes.xml";

    // The process's manager, created on the first call with the process's reader; nothing is
    // loaded yet.
    static GerenciadorAfinacoes* getInstancia();
    // The folder carregar() reads the tuning file from: by default the running program's folder,
    // whatever the current directory; tests point it elsewhere. Empty restores the default.
    static void setPastaPadrao(const std::string& pasta);
    // Full path of the tuning file carregar() reads.
    static std::string caminhoArquivoPadrao();

    explicit GerenciadorAfinacoes(const XMLAfinacaoParser& leitor);

    // Reads "Afinacoes.xml" from the program's folder and makes the first tuning current.
    // The reader's errors pass through (EFOpenError, EConvertError); a file without any usable
    // tuning raises Exception with an empty message. On any error the tunings loaded before
    // stay as they were.
    void carregar();
    // The same with another file.
    void carregar(const std::string& nomeArquivo);

    // The tuning at `indice`; an index outside the list means the first tuning. Raises Exception
    // while nothing is loaded.
    const Afinacao& getAfinacao(int indice) const;
    const Afinacao& getAfinacaoAtual() const { return getAfinacao(indiceAtual_); }
    // Makes the tuning at `indice` current; an index outside the list selects the first one.
    void setIndiceAtual(int indice);
    int getIndiceAtual() const { return indiceAtual_; }
    int getNumeroAfinacoes() const { return static_cast<int>(afinacoes_.size()); }

private:
    bool indiceValido(int indice) const { return indice >= 0 && indice < getNumeroAfinacoes(); }

    const XMLAfinacaoParser& leitor_;
    std::vector<Afinacao> afinacoes_;
    int indiceAtual_ = 0;
};
