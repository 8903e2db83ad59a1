#pragma once
// TformAssistente: the setup assistant. Five pages of advice on preparing the microphone, a
// button that opens the desktop's volume mixer, and a level meter fed by a recorder of its own
// (256 frames per buffer, 11025 Hz, mono, 8 bits). Created hidden once at start-up and shown
// modally by the main window, which hands it the capture device for the time it is open.

#include <QDialog>
#include <QPixmap>
#include <array>
#include <functional>
#include <memory>

#include "lancador.h"

class MovimentoJanela;
class QFrame;
class QLabel;
class QProgressBar;
class QStackedWidget;
class TComponent;
class TImage;
class TRecorder;

class TformAssistente : public QDialog {
public:
    static constexpr int kNumeroPaginas = 5;
    // The meter's full scale: the largest 8-bit sample value, (0 - 128) x 64 in magnitude.
    static constexpr int kEscalaMedidor = 8192;

    explicit TformAssistente(QWidget* parent = nullptr);
    ~TformAssistente() override;

    // How a recorder that fails to start, or stops while capturing, is reported: the main
    // window's mostrarErroAudio with the wave-in result code.
    void setMostrarErroAudio(std::function<void(int codigo)> mostrar) {
        mostrarErroAudio_ = std::move(mostrar);
    }

    // The window's handlers, public so that tests can act as the user does.
    void btnFecharClick();
    void btnAnteriorClick();
    void btnProximoClick();
    void btnConfiguracoesClick();
    // Shows page `indice` and sets the bar's buttons for it (tab0Show .. tab4Show).
    void mostrarPagina(int indice);
    int paginaAtual() const;

    TRecorder& gravador() const { return *gravador_; }
    QStackedWidget* paginas() const { return paginas_; }
    QProgressBar* medidorVolume() const { return medidorVolume_; }
    TImage* btnFechar() const { return btnFechar_; }
    TImage* btnAnterior() const { return btnAnterior_; }
    TImage* btnProximo() const { return btnProximo_; }
    TImage* btnConfiguracoes() const { return btnConfiguracoes_; }
    TImage* imagemBackGround(int pagina) const { return imagensFundo_[pagina]; }
    QLabel* rotulo(const char* nome) const;
    // The picture holders by Tag: normal at Tag, pressed at Tag + 1.
    const QPixmap& imagemBotao(int indice) const { return imagensBotao_[indice]; }

protected:
    void showEvent(QShowEvent* event) override;  // FormShow
    void hideEvent(QHideEvent* event) override;  // FormClose
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormShow();
    void FormClose();
    void tabShow(int pagina);
    void gravadorSample(TComponent* sender);
    void abrirPrograma(const ProgramaMixer& programa);
    TImage* criarBotao(QWidget* pai, const char* nome, int tag, QRect lugar);

    std::function<void(int)> mostrarErroAudio_;
    std::unique_ptr<TRecorder> gravador_;
    ProgramaMixer mixer_;
    bool aberta_ = false;  // between FormShow and FormClose
    // The pictures, decoded when the window shows and let go when it closes (it is open for a
    // minute at most, now and then; decoded, they hold some 700 kB).
    void carregarFiguras();
    void liberarFiguras();
    bool figurasCarregadas_ = false;

    QStackedWidget* paginas_;
    std::array<TImage*, kNumeroPaginas> imagensFundo_{};
    TImage* imgMicrofone_;
    QProgressBar* medidorVolume_;
    QFrame* panel2_;
    TImage* imagemRodape_;
    TImage* btnFechar_;
    TImage* btnConfiguracoes_;
    TImage* btnAnterior_;
    TImage* btnProximo_;
    // 0 imgBtnFechar, 1 imgBtnFecharI, 2 imgBtnAnterior, 3 imgBtnAnteriorI, 4 imgBtnProximo,
    // 5 imgBtnProximoI, 6 imgBtnConfiguracoes, 7 imgBtnConfiguracoesI.
    std::array<QPixmap, 8> imagensBotao_;
    MovimentoJanela* movimento_;
};
