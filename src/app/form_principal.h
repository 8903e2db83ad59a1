#pragma once
// TformPrincipal: the tuner's main window. A borderless, skinned 802 x 532 window that draws the
// instrument's neck with its strings, shows the current tuning, lets the user pick the string to
// tune (playing its reference note), and shows the needle that the 50 ms display timer moves.
//
// The window owns its controls, the recorder `gravador` and the analyser `fft` (whose source is
// the recorder), the pitch estimator and the display loop; it keeps the reference-tone output
// and the settings object while it lives. The tuning manager and the language manager are the
// process's single instances.
//
// Construction applies the current language, sets up the audio chain, opens the reference-tone
// output, reads the settings, loads the tuning file and shows the saved tuning. When the tuning
// file cannot be read, the user is told and the application is asked to end: construida() is
// then false, and the window must not be shown.

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <optional>

#include "afinacao.h"
#include "estimador_afinacao.h"
#include "laco_exibicao.h"
#include "leitura_fina.h"
#include "seletor_alvo.h"

class MovimentoJanela;
class QDialog;
class ConfiguracoesUsuario;
class GerenciadorAfinacoes;
class QLabel;
class QTimer;
class SaidaMIDI;
class TComponent;
class TFFT;
class TImage;
class TRecorder;
class TRotateImage;

class TformPrincipal : public QWidget {
    Q_OBJECT

public:
    static constexpr int kLargura = 802;
    static constexpr int kAltura = 532;
    static constexpr int kIntervaloTimer = 50;  // ms
    static constexpr int kLarguraRotuloAfinacao = 130;
    static constexpr int kPosicoes = 6;
    static constexpr int kBotoes = 10;

    // Where the parts the window builds on come from; the defaults are the program's own.
    struct Opcoes {
        // The MIDI driver library; empty: the one beside the program.
        std::string bibliotecaMidi;
        // The display loop's millisecond clock; empty: the system's monotonic clock.
        LacoExibicao::Relogio relogio;
        // The reference-tone output, when it was opened ahead (start-up opens it while the
        // splash shows); empty: the window opens its own from bibliotecaMidi. What it throws
        // leaves the construction.
        std::function<std::unique_ptr<SaidaMIDI>()> saidaMidi;
        // The folder the help pages are found in; empty: the program's own.
        std::string pastaPrograma;
    };

    // The reference-tone output over the driver library at `bibliotecaMidi` (empty: the one
    // beside the program).
    static std::unique_ptr<SaidaMIDI> abrirSaidaMidi(const std::string& bibliotecaMidi);

    explicit TformPrincipal(QWidget* parent = nullptr);
    explicit TformPrincipal(Opcoes opcoes, QWidget* parent = nullptr);
    ~TformPrincipal() override;

    // False when construction stopped at the tuning file (the user was told, the application
    // is ending): nothing is shown and nothing is saved.
    bool construida() const { return construida_; }

    // --- Tuning display and string selection -------------------------------------------------
    // Sets the language's texts and pictures, the application title and the window caption.
    void aplicarIdioma();
    // Shows the tuning manager's current tuning: strings, neck, names; selects string 0 without
    // playing it. Called at construction and by the tuning chooser after a change.
    void aplicarAfinacao();
    // Highlights string s (index in the current tuning) and names it below the neck.
    void selecionarCorda(int s);
    // Clears the highlight of the selected string.
    void desmarcarCorda();
    // Image position 0..5 of string s: s + 1 on a four-string instrument, else s.
    int posicaoCorda(int s) const;
    // A click on a string picture or a string end: selects the string named by the control's
    // Tag and plays its reference note.
    void imagemCordaClick(QWidget* sender);
    // Selects and plays the next string, from the last back to the first.
    void btnProximaCordaClick();
    // Shows the message for a wave-in result code: an open that failed (2 and 32, 4, 6, 7 each
    // have their text, any other code a general one) or a device that stopped while capturing
    // (WAVERR_DEVICELOST). 0 shows nothing.
    void mostrarErroAudio(int codigo);

    // --- Estimator and display loop ---------------------------------------------------------
    // Recomputes the offsets of the current tuning's strings from the analyser's bin grid.
    void calcularDesvios();
    // One tick of the display loop (the timer's handler): moves the needle and sets the in-tune
    // marks. Does nothing while the setup assistant is the active window.
    void timerTimer();
    // The needle's reading: classic (whole analyser bins, 10 degrees per Hz; the default) or
    // fine (cents, 1 degree per cent, with the figure shown by lblCents and the dial's scale in
    // cents). Kept in the settings when the window closes. The fine reading captures in its own
    // format (see formatoCapturaFina) and reads the samples as they arrive (LeituraFina); the
    // analyser rests meanwhile. Changing the reading while capturing restarts the capture.
    bool leituraFina() const { return laco_.leitura() == LacoExibicao::Leitura::fina; }
    void setLeituraFina(bool fina);
    // F4: switches between the two readings.
    void alternarLeitura() { setLeituraFina(!leituraFina()); }

    // The capture format of the fine reading: 16-bit mono at the first of 44100, 48000, 22050
    // and 11025 Hz that the device takes, in buffers of 20 ms delivered as they fill; the
    // classic format (8-bit, 11025 Hz) when it takes none of them.
    struct FormatoCaptura {
        int taxa = EstimadorAfinacao::kTaxaAmostragem;
        int bits = 8;
        int quadrosPorBuffer = EstimadorAfinacao::kTamanhoBuffer;
    };
    FormatoCaptura formatoCapturaFina();
    const LeituraFina& leitura() const { return leitura_; }

    // --- Following the player (fprincipal_seguir.cpp) -----------------------------------------
    // The automatic string, in the fine reading: the tuner finds which string of the tuning is
    // sounding at each stroke (SeletorAlvo over the strings' targets) and selects it as a click
    // would, without its reference note; a click or a key still selects and plays a string,
    // and the next stroke is looked at afresh. F5, or a click on its line below the dial.
    bool cordaAutomatica() const { return cordaAutomatica_; }
    void setCordaAutomatica(bool ligada);
    // The chromatic reading, in the fine reading: any note from E1 to C7 is read against its
    // nearest equal-tempered note, named below the neck with its octave. F6, or its line.
    bool leituraCromatica() const { return leituraCromatica_; }
    void setLeituraCromatica(bool ligada);
    // Whether the fine reading finds the note itself (one of the two above is on).
    bool leituraLivre() const { return leituraFina() && (cordaAutomatica_ || leituraCromatica_); }
    // The concert pitch, A4 in tenths of a hertz (4000 to 4800; 4400 by default): every
    // string's target, the chromatic reading and the reference notes follow it, in both
    // readings. Plus and Minus step it by 0.1 Hz, Page Up and Page Down by 1 Hz, Home returns
    // it to 440.0; so do the "+" and "-" beside its line below the dial.
    int diapasao() const { return diapasao_; }
    void setDiapasao(int decimos);
    // The shift of the tunings in semitones (the tuning manager's), shown below the dial.
    void setDeslocamento(int semitons);
    // A string's target at the concert pitch.
    double alvoCorda(int s) const;
    // The key played for a string's reference note: its own, moved by the concert pitch's
    // whole semitones (the channel is tuned by the rest).
    int notaReferencia(int s) const;
    // The note the chromatic reading shows, with its octave ("C4", "F♯4 / G♭4"; natural names
    // from the language's "nomesNotas"); empty while it has none.
    QString notaCromatica() const;

    // --- Capture (start-up, and the setup assistant command) --------------------------------
    // Sets the capture up for the current reading, starts the recorder and then the timer. When
    // the recorder cannot start, the timer stays off, the message of mostrarErroAudio shows, and
    // the answer is false.
    bool iniciarCaptura();
    // Stops the timer, stops the recorder and releases its device.
    void pararCaptura();

    // The setup assistant window, whose being active pauses the display loop, and the tuning
    // chooser: both shown modally by the commands below.
    void setFormAssistente(QDialog* formAssistente) { formAssistente_ = formAssistente; }
    void setFormAfinacoes(QDialog* formAfinacoes) { formAfinacoes_ = formAfinacoes; }
    QDialog* formAssistente() const { return formAssistente_; }
    QDialog* formAfinacoes() const { return formAfinacoes_; }

    // --- Commands ----------------------------------------------------------------------------
    // Space plays the selected string again, Left and Right select and play the previous and
    // the next string (wrapping), F1 help, F2 the setup assistant, F3 the tuning chooser, F4
    // the reading (classic or fine), F5 the automatic string, F6 the chromatic reading, Plus,
    // Minus, Page Up, Page Down and Home the concert pitch. False for any other key.
    bool FormKeyDown(int tecla);
    // Closes the window (the settings are saved on close).
    void btnSairClick();
    // Minimises the application.
    void btnMinimizarClick();
    // Shows the tuning chooser modally; the display keeps running meanwhile.
    void btnAfinacoesClick();
    // Hands the capture device to the setup assistant for as long as it shows (display and
    // capture stopped), then takes it back. When capture cannot start again, the user is told
    // and the display stays still.
    void btnAssistenteClick();
    // Opens the help page of the language, beside the program, in the web browser.
    void btnAjudaClick();
    // Opens the maker's web page in the web browser.
    void imgLinkClick();
    // Gives the path or address (Windows-1252) to the desktop's web browser, unchanged. The
    // launch result is ignored.
    void abrirNoNavegador(const std::string& texto);

    // --- State -------------------------------------------------------------------------------
    int cordaSelecionada() const { return estimador_.cordaSelecionada(); }
    const Afinacao* afinacaoAtual() const { return afinacaoAtual_; }
    int tipoSistema() const { return estimador_.tipoSistema(); }
    double larguraBin() const { return estimador_.larguraBin(); }
    const std::array<double, EstimadorAfinacao::kMaxCordas>& desvios() const {
        return estimador_.desvios();
    }
    // Whether the needle panel is drawn flicker-free (switched off for good by the watchdog).
    bool doubleBuffering() const { return doubleBuffering_; }

    TRecorder& gravador() const { return *gravador_; }
    TFFT& fft() const { return *fft_; }
    SaidaMIDI& saidaMidi() const { return *saidaMidi_; }
    ConfiguracoesUsuario& configuracoes() const { return *configuracoes_; }
    GerenciadorAfinacoes* gerenciadorAfinacoes() const { return gerenciadorAfinacoes_; }
    const EstimadorAfinacao& estimador() const { return estimador_; }
    const LacoExibicao& laco() const { return laco_; }
    QTimer& timer() const { return *timer_; }

    // --- Controls ----------------------------------------------------------------------------
    QWidget* panelFundo() const { return panelFundo_; }
    TImage* imagemBackground() const { return imagemBackground_; }
    TImage* imgBraco() const { return imgBraco_; }
    TImage* imgTitulo() const { return imgTitulo_; }
    TImage* imgLink() const { return imgLink_; }
    QLabel* lblNomeInstrumento() const { return lblNomeInstrumento_; }
    QLabel* lblTipoAfinacao() const { return lblTipoAfinacao_; }
    QLabel* lblTextoCorda() const { return lblTextoCorda_; }
    QLabel* lblCordaSelecionada() const { return lblCordaSelecionada_; }
    TImage* btnProximaCorda() const { return btnProximaCorda_; }
    QLabel* lblTextoPonteiro() const { return lblTextoPonteiro_; }
    QWidget* panelDoubleBuffering() const { return panelDoubleBuffering_; }
    TImage* imgFundoPonteiro() const { return imgFundoPonteiro_; }
    QLabel* lblOk() const { return lblOk_; }
    QLabel* lblCents() const { return lblCents_; }
    TRotateImage* imgPonteiro() const { return imgPonteiro_; }
    QLabel* lblCordaAfinada() const { return lblCordaAfinada_; }
    QLabel* lblCordaAutomatica() const { return lblCordaAutomatica_; }
    QLabel* lblLeituraCromatica() const { return lblLeituraCromatica_; }
    QLabel* lblDiapasao() const { return lblDiapasao_; }
    TImage* btnCordaAutomatica() const { return btnCordaAutomatica_; }
    TImage* btnLeituraCromatica() const { return btnLeituraCromatica_; }
    TImage* btnDiapasaoMenos() const { return btnDiapasaoMenos_; }
    TImage* btnDiapasaoMais() const { return btnDiapasaoMais_; }
    QLabel* lblDeslocamento() const { return lblDeslocamento_; }
    TImage* btnDeslocamentoMenos() const { return btnDeslocamentoMenos_; }
    TImage* btnDeslocamentoMais() const { return btnDeslocamentoMais_; }
    TImage* btnAssistente() const { return btnAssistente_; }
    TImage* btnAfinacoes() const { return btnAfinacoes_; }
    TImage* btnAjuda() const { return btnAjuda_; }
    TImage* btnMinimizar() const { return btnMinimizar_; }
    TImage* btnSair() const { return btnSair_; }

    // Picture holders (outside the client area, never seen).
    TImage* imagemCordaSelecionada() const { return imagemCordaSelecionada_; }
    TImage* imagemNula() const { return imagemNula_; }
    TImage* imgBraco6Cordas() const { return imgBraco6Cordas_; }
    TImage* imgBraco4Cordas() const { return imgBraco4Cordas_; }
    // The dial of each reading (from the language), shown by imgFundoPonteiro.
    TImage* imgFundoPonteiroClassico() const { return imgFundoPonteiroClassico_; }
    TImage* imgFundoPonteiroFino() const { return imgFundoPonteiroFino_; }

    // The control tables, by image position 0..5.
    const std::array<TImage*, kPosicoes>& imagensCorda() const { return imagensCorda_; }
    const std::array<TRotateImage*, kPosicoes>& imagensFimCorda() const { return imagensFimCorda_; }
    const std::array<TImage*, kPosicoes>& imagensFimCordaSelecionada() const {
        return imagensFimCordaSelecionada_;
    }
    const std::array<TRotateImage*, kPosicoes>& imagensMoverTarracha() const {
        return imagensMoverTarracha_;
    }
    // Button pictures by Tag (normal) and Tag + 1 (pressed): 0 close, 2 help, 4 minimise,
    // 6 assistant, 8 tunings.
    const std::array<TImage*, kBotoes>& imagensBotao() const { return imagensBotao_; }

    // The Tag of a string picture or string end: the string index it stands for.
    static int tagDe(const QWidget* controle);

signals:
    // The window was closed (after the settings were saved): the application ends.
    void fechada();

protected:
    void showEvent(QShowEvent* event) override;    // FormShow
    void closeEvent(QCloseEvent* event) override;  // FormClose
    void keyPressEvent(QKeyEvent* event) override;

private:
    void criarControles();
    // The lines of the three modes below the dial, and their click areas.
    void criarControlesSeguir();
    // Their texts, in the current language and state.
    void mostrarModos();
    // Sets the fine reading up for the modes: the selected string's target, or the free
    // reading with the chooser of the mode.
    void aplicarModos();
    // One tick of the free reading: the string it found selected, or the note it reads named.
    void seguirNota();
    // The current tuning at the concert pitch, for the classic estimator.
    void atualizarAfinacaoDiapasao();
    void ligarComandos();
    void criarAudio();
    // Sets the recorder (and the analyser) up for the current reading; for the fine reading it
    // asks the device which format it takes.
    void configurarCaptura();
    // Hands the recorder's latest buffer to the fine reading.
    void alimentarLeituraFina();
    void preencherTabelas();
    bool carregarAfinacoes();
    bool afinacaoExibivel(int indice) const;
    void definirDoubleBuffering(bool ligado);
    void definirCorOk(std::uint32_t rgb);
    // Shows the dial of the current reading.
    void mostrarMostrador();
    // Shows the fine reading's figure (none for NaN).
    void mostrarCents(double cents);
    static constexpr long kSemCents = -(1L << 40);
    static void definirTag(QWidget* controle, int tag);

    Opcoes opcoes_;
    bool construida_ = false;
    // Whether the user has been told that reference notes cannot sound.
    bool avisouSemSom_ = false;

    // Owner of the window's components (recorder and analyser), destroyed with the window.
    std::unique_ptr<TComponent> componentes_;
    TRecorder* gravador_ = nullptr;
    TFFT* fft_ = nullptr;
    EstimadorAfinacao estimador_;
    LeituraFina leitura_;
    std::vector<float> amostrasFinas_;  // one buffer's samples, for the fine reading
    LacoExibicao laco_;
    std::unique_ptr<SaidaMIDI> saidaMidi_;
    std::unique_ptr<ConfiguracoesUsuario> configuracoes_;
    // Whether the user was told that the settings could not be saved.
    bool avisoConfiguracoesMostrado_ = false;
    GerenciadorAfinacoes* gerenciadorAfinacoes_ = nullptr;
    const Afinacao* afinacaoAtual_ = nullptr;  // the shown tuning, afinacaoMostrada_'s
    std::optional<Afinacao> afinacaoMostrada_;
    QDialog* formAssistente_ = nullptr;
    QDialog* formAfinacoes_ = nullptr;
    MovimentoJanela* movimento_ = nullptr;
    bool doubleBuffering_ = false;
    bool cordaAutomatica_ = false;
    bool leituraCromatica_ = false;
    int diapasao_ = 4400;
    int diapasaoCanal_ = 4400;  // the concert pitch the reference notes' channel is tuned to
    int semitonsDiapasao_ = 0;  // and the whole semitones its keys are moved by
    SeletorAlvo seletor_;
    std::optional<Afinacao> afinacaoDiapasao_;
    int notaMostrada_ = -1;  // the chromatic note named below the neck
    std::uint32_t corOk_ = 0;
    long centsMostrados_ = kSemCents;  // the figure shown, in tenths of a cent

    QWidget* panelFundo_ = nullptr;
    TImage* imagemBackground_ = nullptr;
    TImage* imgBraco_ = nullptr;
    TImage* imgTitulo_ = nullptr;
    TImage* imgLink_ = nullptr;
    std::array<TImage*, kPosicoes> imgCorda_{};
    std::array<TRotateImage*, kPosicoes> imgFimCorda_{};
    std::array<TRotateImage*, kPosicoes> imgMoverTarracha_{};
    QLabel* lblNomeInstrumento_ = nullptr;
    QLabel* lblTipoAfinacao_ = nullptr;
    QLabel* lblTextoCorda_ = nullptr;
    QLabel* lblCordaSelecionada_ = nullptr;
    TImage* btnProximaCorda_ = nullptr;
    QLabel* lblTextoPonteiro_ = nullptr;
    QWidget* panelDoubleBuffering_ = nullptr;
    TImage* imgFundoPonteiro_ = nullptr;
    QLabel* lblOk_ = nullptr;
    QLabel* lblCents_ = nullptr;
    TRotateImage* imgPonteiro_ = nullptr;
    QLabel* lblCordaAfinada_ = nullptr;
    QLabel* lblCordaAutomatica_ = nullptr;
    QLabel* lblLeituraCromatica_ = nullptr;
    QLabel* lblDiapasao_ = nullptr;
    QLabel* lblDiapasaoMenos_ = nullptr;
    QLabel* lblDiapasaoMais_ = nullptr;
    TImage* btnCordaAutomatica_ = nullptr;
    TImage* btnLeituraCromatica_ = nullptr;
    TImage* btnDiapasaoMenos_ = nullptr;
    TImage* btnDiapasaoMais_ = nullptr;
    QLabel* lblDeslocamento_ = nullptr;
    QLabel* lblDeslocamentoMenos_ = nullptr;
    QLabel* lblDeslocamentoMais_ = nullptr;
    TImage* btnDeslocamentoMenos_ = nullptr;
    TImage* btnDeslocamentoMais_ = nullptr;
    TImage* btnAssistente_ = nullptr;
    TImage* btnAfinacoes_ = nullptr;
    TImage* btnAjuda_ = nullptr;
    TImage* btnMinimizar_ = nullptr;
    TImage* btnSair_ = nullptr;
    QTimer* timer_ = nullptr;

    TImage* imagemCordaSelecionada_ = nullptr;
    TImage* imagemNula_ = nullptr;
    std::array<TImage*, kPosicoes> imgFimCordaSelecionada_{};
    TImage* imgBraco6Cordas_ = nullptr;
    TImage* imgBraco4Cordas_ = nullptr;
    TImage* imgFundoPonteiroClassico_ = nullptr;
    TImage* imgFundoPonteiroFino_ = nullptr;
    TImage* imgBtnFechar_ = nullptr;
    TImage* imgBtnFecharI_ = nullptr;
    TImage* imgBtnHelp_ = nullptr;
    TImage* imgBtnHelpI_ = nullptr;
    TImage* imgBtnMinimizar_ = nullptr;
    TImage* imgBtnMinimizarI_ = nullptr;
    TImage* imgBtnAssistente_ = nullptr;
    TImage* imgBtnAssistenteI_ = nullptr;
    TImage* imgBtnAfinacoes_ = nullptr;
    TImage* imgBtnAfinacoesI_ = nullptr;

    std::array<TImage*, kPosicoes> imagensCorda_{};
    std::array<TRotateImage*, kPosicoes> imagensFimCorda_{};
    std::array<TImage*, kPosicoes> imagensFimCordaSelecionada_{};
    std::array<TRotateImage*, kPosicoes> imagensMoverTarracha_{};
    std::array<TImage*, kBotoes> imagensBotao_{};
};
