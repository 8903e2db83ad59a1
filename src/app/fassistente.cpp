#include "fassistente.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QScreen>
#include <QStackedWidget>
#include <cstdlib>
#include <exception>

#include "controle_imagem.h"
#include "errors.h"
#include "gerenciador_idiomas.h"
#include "imagem_janela.h"
#include "movimento_janela.h"
#include "recorder.h"
#include "texto_qt.h"
#include "utilgui.h"

namespace {

constexpr int kLargura = 393;
constexpr int kAltura = 331;
constexpr int kBufferMedidor = 256;
constexpr int kFrequencia = 11025;

// Buttons of the bar by Tag.
constexpr int kTagFechar = 0;
constexpr int kTagAnterior = 2;
constexpr int kTagProximo = 4;
constexpr int kTagConfiguracoes = 6;

// Which of the bar's buttons each page shows: previous, next, mixer (close always shows).
struct BotoesPagina {
    bool anterior, proximo, configuracoes;
};
constexpr std::array<BotoesPagina, TformAssistente::kNumeroPaginas> kBotoesPagina = {{
    {false, true, false},
    {true, true, true},
    {true, true, false},
    {true, true, false},
    {true, false, false},
}};

QFont fonteArial(int pixels, bool negrito) {
    QFont fonte("Liberation Sans");
    fonte.setPixelSize(pixels);
    fonte.setBold(negrito);
    return fonte;
}

}  // namespace

TformAssistente::TformAssistente(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      gravador_(std::make_unique<TRecorder>()),
      movimento_(new MovimentoJanela(this)) {
    setObjectName("formAssistente");
    setWindowTitle(QStringLiteral("Velmora Tessarin - Assistente"));
    setFixedSize(kLargura, kAltura);
    // The skin's face colour, which continues the background picture where it stops.
    QPalette paleta = palette();
    paleta.setColor(QPalette::Window, QColor(0x14, 0x0e, 0x0b));
    setPalette(paleta);
    setAutoFillBackground(true);

    auto arrastar = [this](TImage* origem, Qt::MouseButton botao, QPoint pos) {
        if (botao == Qt::LeftButton) movimento_->iniciar(origem, pos);
    };

    paginas_ = new QStackedWidget(this);
    paginas_->setObjectName("paginas");
    paginas_->setGeometry(0, 0, kLargura, 287);
    for (int p = 0; p < kNumeroPaginas; ++p) {
        auto* pagina = new QWidget(paginas_);
        pagina->setObjectName(QStringLiteral("tab%1").arg(p));
        paginas_->addWidget(pagina);
        TImage* fundo = new TImage(pagina);
        fundo->setObjectName(QStringLiteral("imagemBackGround%1").arg(p));
        fundo->setGeometry(2, 0, 379, p == 0 ? 273 : 272);
        fundo->OnMouseDown = arrastar;
        imagensFundo_[p] = fundo;
    }

    // The advice texts: white bold 13-pixel Arial on the page's picture, sized to their text.
    auto criarRotulo = [this](int pagina, const char* nome, QRect lugar, int pixels, bool negrito,
                              const char* cor) {
        auto* rotulo = new QLabel(paginas_->widget(pagina));
        rotulo->setObjectName(QString::fromLatin1(nome));
        rotulo->setGeometry(lugar);
        rotulo->setFont(fonteArial(pixels, negrito));
        rotulo->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(cor));
        return rotulo;
    };
    criarRotulo(0, "lblTextoTab0", QRect(138, 81, 0, 0), 13, true, "white");
    criarRotulo(1, "lblTextoTab1", QRect(138, 81, 0, 0), 13, true, "white");
    criarRotulo(3, "lblTextoTab3", QRect(165, 81, 0, 0), 13, true, "white");
    criarRotulo(4, "lblTextoTab4", QRect(138, 81, 0, 0), 13, true, "white");
    QLabel* texto1Tab2 =
        criarRotulo(2, "lblTexto1Tab2", QRect(132, 190, 241, 48), 13, true, "white");
    texto1Tab2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    texto1Tab2->setWordWrap(true);
    QLabel* texto2Tab2 =
        criarRotulo(2, "lblTexto2Tab2", QRect(121, 246, 243, 14), 11, false, "yellow");
    texto2Tab2->setAlignment(Qt::AlignRight | Qt::AlignTop);

    imgMicrofone_ = new TImage(paginas_->widget(2));
    imgMicrofone_->setObjectName("imgMicrofone");
    imgMicrofone_->setGeometry(164, 84, 176, 102);

    medidorVolume_ = new QProgressBar(paginas_->widget(3));
    medidorVolume_->setObjectName("medidorVolume");
    medidorVolume_->setGeometry(139, 87, 17, 165);
    medidorVolume_->setOrientation(Qt::Vertical);
    medidorVolume_->setRange(0, kEscalaMedidor);
    medidorVolume_->setValue(0);
    medidorVolume_->setTextVisible(false);

    // The bottom bar: a lowered panel filled by the footer picture, with the four buttons.
    panel2_ = new QFrame(this);
    panel2_->setObjectName("Panel2");
    panel2_->setGeometry(0, 285, kLargura, 46);
    panel2_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    imagemRodape_ = new TImage(panel2_);
    imagemRodape_->setObjectName("imagemRodape");
    imagemRodape_->setGeometry(0, 0, kLargura, 46);
    imagemRodape_->setStretch(true);
    btnFechar_ = criarBotao(panel2_, "btnFechar", kTagFechar, QRect(5, 15, 25, 25));
    btnConfiguracoes_ =
        criarBotao(panel2_, "btnConfiguracoes", kTagConfiguracoes, QRect(57, 17, 130, 25));
    btnAnterior_ = criarBotao(panel2_, "btnAnterior", kTagAnterior, QRect(199, 17, 91, 25));
    btnProximo_ = criarBotao(panel2_, "btnProximo", kTagProximo, QRect(296, 17, 89, 25));
    btnFechar_->OnClick = [this](TImage*) { btnFecharClick(); };
    btnConfiguracoes_->OnClick = [this](TImage*) { btnConfiguracoesClick(); };
    // The click and the double click each step one page.
    btnAnterior_->OnClick = btnAnterior_->OnDblClick = [this](TImage*) { btnAnteriorClick(); };
    btnProximo_->OnClick = btnProximo_->OnDblClick = [this](TImage*) { btnProximoClick(); };

    // 1. The label texts of the current language.
    const GerenciadorIdiomas* idiomas = GerenciadorIdiomas::getInstancia();
    for (const char* chave : {"lblTextoTab0", "lblTextoTab1", "lblTexto1Tab2", "lblTexto2Tab2",
                              "lblTextoTab3", "lblTextoTab4"}) {
        QLabel* rotulo = this->rotulo(chave);
        rotulo->setText(textoQt(idiomas->getTexto("fmAssistente", chave)));
    }
    for (const char* chave : {"lblTextoTab0", "lblTextoTab1", "lblTextoTab3", "lblTextoTab4"})
        rotulo(chave)->adjustSize();
    // 2. The pictures are decoded while the window shows (carregarFiguras).
    // 4. The meter's own recorder: 256 frames of 8-bit mono at 11025 Hz, started by FormShow.
    gravador_->setAutoStart(false);
    gravador_->OnSample = [this](TComponent* sender) { gravadorSample(sender); };
    // A device that stops under the meter is reported like one that does not start; the main
    // window opens it again when the assistant closes.
    gravador_->OnError = [this](TComponent*, int codigo) {
        if (mostrarErroAudio_) mostrarErroAudio_(codigo);
    };
    gravador_->setBufSize(kBufferMedidor);
    gravador_->Quality().setBitsPerSample(8);
    gravador_->Quality().setChannels(1);
    gravador_->Quality().setFrequency(kFrequencia);

    mostrarPagina(0);
}

TformAssistente::~TformAssistente() = default;

TImage* TformAssistente::criarBotao(QWidget* pai, const char* nome, int tag, QRect lugar) {
    auto* botao = new TImage(pai);
    botao->setObjectName(QString::fromLatin1(nome));
    botao->setGeometry(lugar);
    botao->setTag(tag);
    botao->setCursor(Qt::PointingHandCursor);
    // Any mouse button shows the pressed picture until it is released.
    botao->OnMouseDown = [this](TImage* b, Qt::MouseButton, QPoint) {
        b->setPicture(imagensBotao_[b->Tag() + 1]);
    };
    botao->OnMouseUp = [this](TImage* b, Qt::MouseButton) {
        b->setPicture(imagensBotao_[b->Tag()]);
    };
    return botao;
}

QLabel* TformAssistente::rotulo(const char* nome) const {
    return findChild<QLabel*>(QString::fromLatin1(nome));
}

int TformAssistente::paginaAtual() const {
    return paginas_->currentIndex();
}

void TformAssistente::mostrarPagina(int indice) {
    if (indice < 0 || indice >= kNumeroPaginas) return;
    paginas_->setCurrentIndex(indice);
    tabShow(indice);
}

void TformAssistente::tabShow(int pagina) {
    const BotoesPagina& botoes = kBotoesPagina[static_cast<std::size_t>(pagina)];
    btnFechar_->setVisible(true);
    btnAnterior_->setVisible(botoes.anterior);
    btnProximo_->setVisible(botoes.proximo);
    // Without a mixer on this desktop the button would start nothing: it is not offered.
    btnConfiguracoes_->setVisible(botoes.configuracoes && !mixer_.programa.empty());
}

void TformAssistente::carregarFiguras() {
    if (figurasCarregadas_) return;
    const GerenciadorIdiomas* idiomas = GerenciadorIdiomas::getInstancia();
    imgMicrofone_->setPicture(imagemJanela("fmAssistente", "imgMicrofone"));
    imagemRodape_->setPicture(imagemJanela("fmAssistente", "imagemRodape"));
    // The background and the language's button pictures.
    const auto fundo = idiomas->getImagem("fmAssistente", "imgFundo");
    imagensFundo_[0]->setPicture(fundo);
    imagensBotao_[kTagFechar] = imagemJanela("fmAssistente", "imgBtnFechar");
    imagensBotao_[kTagFechar + 1] = imagemJanela("fmAssistente", "imgBtnFecharI");
    auto imagemIdioma = [idiomas](const char* chave) {
        const auto imagem = idiomas->getImagem("fmAssistente", chave);
        return imagem ? QPixmap::fromImage(*imagem) : QPixmap();
    };
    imagensBotao_[kTagAnterior] = imagemIdioma("imgBtnAnterior");
    imagensBotao_[kTagAnterior + 1] = imagemIdioma("imgBtnAnteriorI");
    imagensBotao_[kTagProximo] = imagemIdioma("imgBtnProximo");
    imagensBotao_[kTagProximo + 1] = imagemIdioma("imgBtnProximoI");
    imagensBotao_[kTagConfiguracoes] = imagemIdioma("imgBtnConfiguracoes");
    imagensBotao_[kTagConfiguracoes + 1] = imagemIdioma("imgBtnConfiguracoesI");
    // Every page shows the same background; the buttons their normal pictures.
    for (int p = 1; p < kNumeroPaginas; ++p)
        imagensFundo_[p]->setPicture(imagensFundo_[0]->Picture());
    for (TImage* botao : {btnFechar_, btnProximo_, btnAnterior_, btnConfiguracoes_})
        botao->setPicture(imagensBotao_[botao->Tag()]);
    figurasCarregadas_ = true;
}

void TformAssistente::liberarFiguras() {
    for (TImage* figura : {imgMicrofone_, imagemRodape_, btnFechar_, btnProximo_, btnAnterior_,
                           btnConfiguracoes_})
        figura->setPicture(QPixmap());
    for (TImage* fundo : imagensFundo_) fundo->setPicture(QPixmap());
    for (QPixmap& imagem : imagensBotao_) imagem = QPixmap();
    figurasCarregadas_ = false;
}

void TformAssistente::showEvent(QShowEvent* event) {
    // Before the first paint: the pictures are there when the window appears.
    if (!event->spontaneous()) carregarFiguras();
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TformAssistente::FormShow() {
    if (const QScreen* tela = screen() ? screen() : QGuiApplication::primaryScreen())
        move(tela->availableGeometry().center() - rect().center());
    aberta_ = true;
    mixer_ = localizarMixer();
    mostrarPagina(0);
    try {
        gravador_->Start();
    } catch (const EInOutError& erro) {
        // The assistant stays open; the meter stays where it was.
        if (mostrarErroAudio_) mostrarErroAudio_(erro.ErrorCode());
    }
}

void TformAssistente::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) {
        FormClose();
        liberarFiguras();
    }
}

void TformAssistente::FormClose() {
    if (!aberta_) return;
    aberta_ = false;
    // The capture device goes back to the main window.
    gravador_->Stop();
    gravador_->Release();
}

void TformAssistente::btnFecharClick() {
    mostrarPagina(0);
    done(QDialog::Accepted);
}

void TformAssistente::btnAnteriorClick() {
    const int i = paginaAtual() - 1;
    if (i >= 0) mostrarPagina(i);
}

void TformAssistente::btnProximoClick() {
    const int i = paginaAtual() + 1;
    if (i < kNumeroPaginas) mostrarPagina(i);
}

void TformAssistente::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            reject();
            break;
        case Qt::Key_Left:
            if (btnAnterior_->isVisibleTo(this)) btnAnteriorClick();
            break;
        case Qt::Key_Right:
            if (btnProximo_->isVisibleTo(this)) btnProximoClick();
            break;
        default:
            break;  // other keys do nothing
    }
}

void TformAssistente::btnConfiguracoesClick() {
    try {
        abrirPrograma(mixer_);
    } catch (const std::exception&) {
        const GerenciadorIdiomas* idiomas = GerenciadorIdiomas::getInstancia();
        mostrarMensagem(idiomas->getTexto("fmAssistente", "erroAbrirConfiguracoes"),
                        idiomas->getTexto("geral", "nomeAplicacao"));
    }
}

void TformAssistente::abrirPrograma(const ProgramaMixer& programa) {
    // The launch result is ignored: a mixer that does not start shows nothing.
    if (!programa.programa.empty()) lancador().executar(programa.programa, programa.argumentos);
}

void TformAssistente::gravadorSample(TComponent*) {
    // The level shows only while the user looks at the assistant.
    if (!isActiveWindow()) return;
    int pico = 0;
    const int quadros = gravador_->BufSize();
    for (int i = 0; i < quadros; ++i) pico = std::max(pico, std::abs(gravador_->Sample(i)));
    medidorVolume_->setValue(pico);
}
