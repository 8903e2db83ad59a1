#pragma once
// The user's settings, kept between runs in "<program name>.ini":
//
//   [geral]
//   idioma=<display name of the language>
//   afinacaoSelecionada=<index of the selected tuning>
//   tipoSistema=<frequency correction: 1 adds one bin, 2 subtracts one, other values none>
//   leituraFina=1   (only while the fine reading is chosen; absent or any other value: classic)
//   cordaAutomatica=1   (only while the tuner finds the string played; absent: off)
//   leituraCromatica=1  (only while the fine reading reads any note; absent: off)
//   diapasao=442.0      (A4 in Hz, only when it is not 440.0; absent, unreadable or outside
//                        400.0 to 480.0: 440.0)
//   deslocamento=-1     (the tunings' shift in semitones, -5 to 7, only when not 0; absent,
//                        unreadable or outside the range: 0)
//
// Reading never fails: a missing file, section or key gives the defaults (empty name, 0, 0), and
// a tuning index or system type that is no decimal integer sets both numbers to 0. Writing
// replaces the whole file with those lines (CR LF each; the last only while the fine reading is
// chosen, and the three after it only when they differ from the defaults), or says that it
// could not. A value read as its default is written back as such.
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
    // The tuner finds which string is played.
    bool getCordaAutomatica() const { return cordaAutomatica_; }
    void setCordaAutomatica(bool ligada) { cordaAutomatica_ = ligada; }
    // The fine reading reads any note against its nearest equal-tempered note.
    bool getLeituraCromatica() const { return leituraCromatica_; }
    void setLeituraCromatica(bool ligada) { leituraCromatica_ = ligada; }
    // The concert pitch, A4, in tenths of a hertz: kDiapasaoMenor to kDiapasaoMaior.
    static constexpr int kDiapasaoPadrao = 4400;
    static constexpr int kDiapasaoMenor = 4000;
    static constexpr int kDiapasaoMaior = 4800;
    int getDiapasao() const { return diapasao_; }
    // Outside the range: the nearest end of it.
    void setDiapasao(int decimos);
    // "442.0" for 4420: the settings' and the window's way of writing it.
    static std::string textoDiapasao(int decimos);
    // The concert pitch written as a decimal number of hertz with at most one decimal (a point)
    // within the range; false for anything else.
    static bool lerDiapasao(const std::string& texto, int& decimos);
    // The shift of the tunings in semitones: kDeslocamentoMenor to kDeslocamentoMaior.
    static constexpr int kDeslocamentoMenor = -5;
    static constexpr int kDeslocamentoMaior = 7;
    int getDeslocamento() const { return deslocamento_; }
    // Outside the range: the nearest end of it.
    void setDeslocamento(int semitons);
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
    bool cordaAutomatica_ = false;
    bool leituraCromatica_ = false;
    int diapasao_ = kDiapasaoPadrao;
    int deslocamento_ = 0;
};

// A decimal integer, optionally signed, that fits in 32 bits; false for anything else.
bool converterInteiro(const std::string& texto, int& valor);
