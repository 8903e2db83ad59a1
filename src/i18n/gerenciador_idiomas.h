#pragma once
// The language manager: finds the installed languages beside the program, makes one current at
// start-up (by the saved name, or through the language chooser) and answers every text and
// picture lookup. One instance per process, reached through getInstancia(), never destroyed.
//
// A language is "<Base>.idm" (text) plus "<Base>.dat" (pictures) in the program's folder. A file
// counts as a language of this program when its "EspecificacaoIdioma" section (read with the
// profile reader's rules) has a non-empty "nomeIdioma" and "codAplicacao" exactly "Tessarin 2.0".
// The languages are listed by display name (ASCII case ignored), ties by file name.

#include <QImage>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "idioma.h"

class TformListaIdiomas;

// The application code a language file must carry.
inline constexpr const char* kCodigoAplicacao = "Tessarin 2.0";

class GerenciadorIdiomas {
public:
    // Shows the list of names with the given line selected and returns the chosen index, or -1.
    using Seletor = std::function<int(const std::vector<std::string>& nomes, int indiceAtual)>;

    // The process's manager, created on the first call from the languages in the folder set by
    // setPastaPadrao (by default the running program's folder).
    static GerenciadorIdiomas* getInstancia();
    // The folder the process's manager looks in; only effective before the first getInstancia().
    static void setPastaPadrao(const std::string& pasta);

    // Discovers the languages of `pasta`. When none is found, tells the user and asks the
    // application to terminate; the manager stays usable with empty lists.
    explicit GerenciadorIdiomas(std::string pasta);
    ~GerenciadorIdiomas();
    GerenciadorIdiomas(const GerenciadorIdiomas&) = delete;
    GerenciadorIdiomas& operator=(const GerenciadorIdiomas&) = delete;

    // Makes the language of that display name (ASCII case ignored, first match) current; when
    // there is none, tells the user and lets them choose (an empty name, a first start, goes
    // to the chooser without a message). Returns the current language, or null
    // when none could be made current (the user was told and termination was requested).
    // A language file that cannot be read raises EFOpenError.
    Idioma* selecionarIdioma(const std::string& nome);

    // Shows the chooser; loads the chosen language. False when nothing was chosen.
    bool escolherIdioma();

    // The language at `indice` of the lists, loaded unless it is the current one already; null
    // (nothing changed) for an index outside the lists. Raises EFOpenError when its text file
    // cannot be read; the previous language then stays current.
    Idioma* carregarIdioma(int indice);

    Idioma* getIdiomaAtual() const { return idiomaAtual_.get(); }
    int getIndiceAtual() const { return indiceAtual_; }
    const std::vector<std::string>& getNomesIdiomas() const { return nomesIdiomas_; }
    const std::vector<std::string>& getArquivosIdiomas() const { return arquivosIdiomas_; }
    const std::string& getPasta() const { return pasta_; }

    // Lookups in the current language: empty text and no picture while none is current.
    std::string getTexto(const std::string& secao, const std::string& chave) const;
    // A new picture owned by the caller, or null (see Idioma::getImagem).
    std::unique_ptr<QImage> getImagem(const std::string& secao, const std::string& chave) const;

    // Replaces the chooser window (an empty function restores it).
    void setSeletor(Seletor seletor);

private:
    void descobrir();
    int mostrarSeletor();

    std::string pasta_;
    std::unique_ptr<Idioma> idiomaAtual_;
    std::vector<std::string> nomesIdiomas_;
    std::vector<std::string> arquivosIdiomas_;
    int indiceAtual_ = -1;
    Seletor seletor_;
    // The chooser window, made when first needed (it needs the application object).
    std::unique_ptr<TformListaIdiomas> formListaIdiomas_;
};
