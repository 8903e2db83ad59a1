#pragma once
// GerenciadorAfinacoes: every tuning of the tuning file, in file order, then the user's own
// tunings, and which one is current, shifted by how many semitones. One instance per process,
// reached through getInstancia(); the main window loads the files once with carregar() and
// carregarUsuario() before anything else asks for a tuning.
//
// The user's own tunings live in $XDG_DATA_HOME/tessarin/Afinacoes.xml (by default
// ~/.local/share/tessarin/), written again after each change. Listed after the shipped ones,
// they leave the index of a shipped tuning as it was.

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

    enum class ArquivoUsuario {
        ausente,     // no file of the user's tunings yet
        lido,        // every tuning in it was read
        danificado,  // unreadable, not a whole tuning file, or holding a tuning that cannot be used
    };
    // Reads the user's tunings after the shipped ones (dropping those read before). A damaged
    // file gives what could be read of it and stays as it is; the next save keeps it beside
    // the new file (renamed "Afinacoes-damaged-<date>.xml") instead of writing over it.
    ArquivoUsuario carregarUsuario();
    ArquivoUsuario carregarUsuario(const std::string& nomeArquivo);
    // Full path of the user's tuning file; empty when no home folder is known. Tests point it
    // elsewhere; empty restores the default.
    static std::string caminhoArquivoUsuario();
    static void setArquivoUsuarioPadrao(const std::string& arquivo);
    const std::string& getArquivoUsuario() const { return arquivoUsuario_; }

    int getNumeroFabrica() const { return fabrica_; }
    // Whether the tuning at `indice` is one of the user's (which can be changed or removed).
    bool doUsuario(int indice) const { return indiceValido(indice) && indice >= fabrica_; }
    // Adds a tuning of the user's at the end and returns its index; changes or removes one of
    // them. Each writes the user's file at once and raises EFCreateError, the tunings and the
    // file as they were, when it cannot; changing or removing a shipped tuning raises
    // EInvalidOperation. Removing keeps the same tuning current when another one was (the
    // first when the current one goes).
    int adicionar(const Afinacao& afinacao);
    void substituir(int indice, const Afinacao& afinacao);
    void remover(int indice);

    // The tuning at `indice`; an index outside the list means the first tuning. Raises Exception
    // while nothing is loaded.
    const Afinacao& getAfinacao(int indice) const;
    // The current tuning, shifted by getDeslocamento() semitones.
    const Afinacao& getAfinacaoAtual() const;
    // Makes the tuning at `indice` current; an index outside the list selects the first one.
    void setIndiceAtual(int indice);
    int getIndiceAtual() const { return indiceAtual_; }
    int getNumeroAfinacoes() const { return static_cast<int>(afinacoes_.size()); }

    // The shift of every tuning, in semitones: kDeslocamentoMenor to kDeslocamentoMaior
    // (outside: the nearest end).
    static constexpr int kDeslocamentoMenor = -5;
    static constexpr int kDeslocamentoMaior = 7;
    void setDeslocamento(int semitons);
    int getDeslocamento() const { return deslocamento_; }

private:
    bool indiceValido(int indice) const { return indice >= 0 && indice < getNumeroAfinacoes(); }
    void exigirDoUsuario(int indice) const;
    // Writes the user's tunings as `afinacoes` would hold them; raises EFCreateError.
    void gravarUsuario(const std::vector<Afinacao>& afinacoes);
    void atualizarAtual();

    const XMLAfinacaoParser& leitor_;
    std::vector<Afinacao> afinacoes_;  // the shipped ones, then the user's
    int fabrica_ = 0;
    int indiceAtual_ = 0;
    int deslocamento_ = 0;
    std::vector<Afinacao> atual_;  // the current tuning shifted (one element once loaded)
    std::string arquivoUsuario_;
    bool usuarioDanificado_ = false;
};
