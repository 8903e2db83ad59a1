#pragma once
// The user's settings, kept between runs in "<program name>.ini":
//
//   [geral]
//   idioma=<display name of the language>
//   afinacaoSelecionada=<index of the selected tuning>
//   tipoSistema=<frequency correction: 1 adds one bin, 2 subtracts one, other values none>
//   leituraFina=1   (only while the fine reading is chosen; absent or any other value: classic)
//
// Reading never fails: a missing file, section or key gives the defaults (empty name, 0, 0), and
// a tuning index or system type that is no decimal integer sets both numbers to 0. Writing
// replaces the whole file with those lines (CR LF each; the last only while the fine reading is
// chosen), or says that it could not.
//
// Where the file lives: beside the program when the program's folder takes new files (a
// portable folder, such as the build's or an unpacked copy); otherwise, as for an installed
// program, in the user's configuration folder: $XDG_CONFIG_HOME/tessarin/ (by default
// ~/.config/tessarin/), created when first written.

#include <string>

class ConfiguracoesUsuario {
public:
    // Reads "afinacaoSelecionada" and "tipoSistema".
    ConfiguracoesUsuario();

    // Reads "idioma" (empty when missing or unreadable), keeps it as the class-wide language
    // name and returns it. Needs no instance.
    static std::string lerIdioma();
    // The language name last read or saved; empty at program start.
    static const std::string& getIdioma();

    int getAfinacaoSelecionada() const { return afinacaoSelecionada_; }
    int getTipoSistema() const { return tipoSistema_; }
    // The needle's reading: fine (cents between bins) or classic (whole bins, the default).
    bool getLeituraFina() const { return leituraFina_; }
    void setLeituraFina(bool fina) { leituraFina_ = fina; }
    // The settings file's name without its folder.
    std::string getNomeArquivo() const;

    // Keeps the three values and writes the file, with the reading set by setLeituraFina. False
    // when it could not be written (the values stay in memory for this run).
    bool salvar(int afinacaoSelecionada, int tipoSistema, const std::string& idioma);

    // The program's folder and file name the settings place is chosen from. By default the
    // running program's; tests point it elsewhere. Empty arguments restore the default.
    static void setLocal(const std::string& pasta, const std::string& nomePrograma);
    // Full path of the settings file: "<program folder>/<program name>.ini" when that folder
    // takes new files, else "<user configuration folder>/tessarin/<program name>.ini".
    static std::string caminhoArquivo();

private:
    int afinacaoSelecionada_ = 0;
    int tipoSistema_ = 0;
    bool leituraFina_ = false;
};

// A decimal integer, optionally signed, that fits in 32 bits; false for anything else.
bool converterInteiro(const std::string& texto, int& valor);
