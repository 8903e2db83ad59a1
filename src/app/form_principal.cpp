#include "form_principal.h"

#include <QCloseEvent>
#include <QDialog>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "afinacoes_idioma.h"
#include "aplicacao.h"
#include "codepage.h"
#include "configuracoes_usuario.h"
#include "controle_imagem.h"
#include "errors.h"
#include "fft.h"
#include "gerenciador_afinacoes.h"
#include "gerenciador_idiomas.h"
#include "imagem_janela.h"
#include "recorder.h"
#include "rotimg.h"
#include "rotulo.h"
#include "saida_midi.h"
#include "terminacao.h"
#include "texto_cents.h"
#include "texto_qt.h"
#include "utilgui.h"

namespace {

constexpr const char* kSecao = "fmPrincipal";
constexpr const char* kSecaoGeral = "geral";

// Places of the six string positions (left, top, width, height), from the nut side.
constexpr int kEsquerdaCorda[TformPrincipal::kPosicoes] = {99, 118, 138, 158, 178, 197};
constexpr int kTopoCorda = 226;
constexpr int kLarguraCorda = 17;
constexpr int kAlturaCorda = 306;
constexpr QRect kFimCorda[TformPrincipal::kPosicoes] = {{94, 172, 16, 62},   {101, 116, 30, 118},
                                                        {103, 60, 46, 169},  {165, 61, 46, 174},
                                                        {185, 118, 30, 117}, {204, 173, 18, 65}};
constexpr QRect kMoverTarracha[TformPrincipal::kPosicoes] = {{1, 128, 81, 89},  {8, 76, 81, 89},
                                                             {11, 21, 81, 89},  {239, 17, 89, 104},
                                                             {240, 72, 89, 97}, {250, 127, 89, 97}};
// Left edge of the two tuning labels; each is fitted into 130 pixels from here.
constexpr int kEsquerdaRotulosAfinacao = 267;

// The fine reading's readout in the needle panel, and the colour of the dial's scale.
constexpr QRect kVisorCents(55, 4, 53, 15);
const QColor kCorEscala(242, 226, 192);

// Picture holders sit below the client area, where nothing shows them.
constexpr int kTopoGuardados = TformPrincipal::kAltura + 16;

std::string texto(const char* secao, const char* chave) {
    return GerenciadorIdiomas::getInstancia()->getTexto(secao, chave);
}

QFont arial(int pixels, bool negrito) {
    QFont fonte(QStringLiteral("Arial"));
    fonte.setPixelSize(pixels);
    fonte.setBold(negrito);
    return fonte;
}

void definirCorTexto(QWidget& controle, const QColor& cor) {
    QPalette paleta = controle.palette();
    paleta.setColor(QPalette::WindowText, cor);
    controle.setPalette(paleta);
}

}  // namespace

TformPrincipal::TformPrincipal(QWidget* parent) : TformPrincipal(Opcoes{}, parent) {}

TformPrincipal::TformPrincipal(Opcoes opcoes, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      opcoes_(std::move(opcoes)),
      componentes_(std::make_unique<TComponent>()),
      laco_(opcoes_.relogio) {
    // 1. The controls, with the pictures stored with the window, and their commands.
    criarControles();
    ligarComandos();
    // 2. The language's texts and pictures, the application title and the caption.
    aplicarIdioma();
    // 3. Flicker-free drawing of the needle panel.
    definirDoubleBuffering(true);
    // 4., 5. Recorder and analyser, and the audio numbers.
    criarAudio();
    // 6. `desvios` lives in the estimator, one entry per string position.
    // 7. The control tables and the buttons' normal pictures.
    preencherTabelas();
    // 8. The reference-tone output: bank 0, program 24 on channel 0.
    saidaMidi_ = opcoes_.saidaMidi ? opcoes_.saidaMidi() : abrirSaidaMidi(opcoes_.bibliotecaMidi);
    saidaMidi_->selecionarPrograma(0, 24);
    // 9. The settings.
    configuracoes_ = std::make_unique<ConfiguracoesUsuario>();
    estimador_.setTipoSistema(configuracoes_->getTipoSistema());
    setLeituraFina(configuracoes_->getLeituraFina());
    cordaAutomatica_ = configuracoes_->getCordaAutomatica();
    leituraCromatica_ = configuracoes_->getLeituraCromatica();
    // 10. The tunings, and the one saved last time, at the saved shift.
    if (!carregarAfinacoes()) return;
    gerenciadorAfinacoes_->setDeslocamento(configuracoes_->getDeslocamento());
    // 11. The current tuning on screen, at the saved concert pitch (which also tunes the
    // reference notes and sets the fine reading up for the modes).
    aplicarAfinacao();
    setDiapasao(configuracoes_->getDiapasao());
    construida_ = true;
}

std::unique_ptr<SaidaMIDI> TformPrincipal::abrirSaidaMidi(const std::string& bibliotecaMidi) {
    return bibliotecaMidi.empty() ? std::make_unique<SaidaMIDI>()
                                  : std::make_unique<SaidaMIDI>(bibliotecaMidi);
}

TformPrincipal::~TformPrincipal() {
    // The timer must not tick into a half-destroyed window; the recorder stops and releases
    // its device when its owner destroys it.
    if (timer_ != nullptr) timer_->stop();
}

void TformPrincipal::criarControles() {
    setObjectName(QStringLiteral("formPrincipal"));
    setFixedSize(kLargura, kAltura);
    if (const QScreen* tela = QGuiApplication::primaryScreen())
        move(tela->availableGeometry().center() - rect().center());

    auto* fundo = new QFrame(this);
    fundo->setObjectName(QStringLiteral("panelFundo"));
    fundo->setFrameStyle(QFrame::Panel | QFrame::Raised);
    fundo->setLineWidth(2);
    fundo->setGeometry(0, 0, kLargura, kAltura);
    panelFundo_ = fundo;

    auto imagem = [](QWidget* pai, const char* nome, const QRect& lugar) {
        auto* controle = new TImage(pai);
        controle->setObjectName(QLatin1String(nome));
        controle->setGeometry(lugar);
        return controle;
    };
    auto botao = [&](const char* nome, const QRect& lugar, int tag) {
        TImage* controle = imagem(panelFundo_, nome, lugar);
        controle->setCursor(Qt::PointingHandCursor);
        controle->setTag(tag);
        return controle;
    };
    auto rotulo = [&](QWidget* pai, const char* nome, int pixels, bool negrito) {
        auto* controle = new QLabel(pai);
        controle->setObjectName(QLatin1String(nome));
        controle->setTextFormat(Qt::PlainText);
        controle->setFont(arial(pixels, negrito));
        definirCorTexto(*controle, Qt::white);
        return controle;
    };
    // Holders keep pictures for the handlers to copy; they are never shown.
    int proximoGuardado = 0;
    auto guardado = [&](const char* nome, const QPixmap& figura) {
        TImage* controle = imagem(panelFundo_, nome, QRect(proximoGuardado, kTopoGuardados, 1, 1));
        proximoGuardado += 2;
        controle->setPicture(figura);
        if (!figura.isNull()) controle->resize(figura.size());
        controle->hide();
        return controle;
    };
    auto figura = [](const char* nome) { return imagemJanela("fmPrincipal", nome); };

    imagemBackground_ = imagem(panelFundo_, "imagemBackground", QRect(2, 2, 798, 528));
    imagemBackground_->setPicture(figura("imagemBackground"));
    imgBraco_ = imagem(panelFundo_, "imgBraco", QRect(2, 2, 326, 528));
    imgTitulo_ = imagem(panelFundo_, "imgTitulo", QRect(307, 2, 345, 59));
    imgLink_ = imagem(panelFundo_, "imgLink", QRect(388, 66, 182, 15));
    imgLink_->setCursor(Qt::PointingHandCursor);

    for (int p = 0; p < kPosicoes; ++p) {
        const std::string nome = "imgCorda" + std::to_string(p + 1);
        imgCorda_[p] = imagem(panelFundo_, nome.c_str(),
                              QRect(kEsquerdaCorda[p], kTopoCorda, kLarguraCorda, kAlturaCorda));
        imgCorda_[p]->setCenter(true);
        imgCorda_[p]->setTag(p);
        imgCorda_[p]->OnClick = [this](TImage* sender) { imagemCordaClick(sender); };
    }
    // The string ends, the peg hints and the needle leave out their black pixels.
    for (int p = 0; p < kPosicoes; ++p) {
        auto* fim = new TRotateImage(panelFundo_);
        fim->setObjectName(QStringLiteral("imgFimCorda%1").arg(p + 1));
        fim->setGeometry(kFimCorda[p]);
        fim->setColor(Qt::black);
        fim->setTransparent(true);
        definirTag(fim, p);
        connect(fim, &TRotateImage::Click, this, [this, fim] { imagemCordaClick(fim); });
        imgFimCorda_[p] = fim;
    }
    // The peg hint fills its box. The control's own stretching would stretch the square it
    // renders into (wider than the picture's diagonal, for the colour key), leaving the hint in
    // the top-left two thirds of the box; so the picture is stretched to the box beforehand
    // (nearest pixel, keeping the key colour exact) and centred, which fills the box with it.
    const QImage tarracha = figura("imgMoverTarracha").toImage();
    for (int p = 0; p < kPosicoes; ++p) {
        auto* dica = new TRotateImage(panelFundo_);
        dica->setObjectName(QStringLiteral("imgMoverTarracha%1").arg(p + 1));
        dica->setGeometry(kMoverTarracha[p]);
        dica->setCenter(true);
        dica->setColor(Qt::black);
        dica->setTransparent(true);
        if (!tarracha.isNull())
            dica->Picture().setBitmap(tarracha.scaled(
                kMoverTarracha[p].size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
        dica->hide();
        imgMoverTarracha_[p] = dica;
    }

    lblNomeInstrumento_ = rotulo(panelFundo_, "lblNomeInstrumento", 15, true);
    lblNomeInstrumento_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblNomeInstrumento_->move(kEsquerdaRotulosAfinacao, 217);
    lblTipoAfinacao_ = rotulo(panelFundo_, "lblTipoAfinacao", 15, true);
    lblTipoAfinacao_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblTipoAfinacao_->move(kEsquerdaRotulosAfinacao, 233);
    lblTextoCorda_ = rotulo(panelFundo_, "lblTextoCorda", 12, false);
    lblTextoCorda_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblTextoCorda_->setWordWrap(true);
    lblTextoCorda_->setGeometry(267, 261, 131, 83);
    lblCordaSelecionada_ = rotulo(panelFundo_, "lblCordaSelecionada", 13, true);
    lblCordaSelecionada_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblCordaSelecionada_->setGeometry(267, 347, 130, 16);
    btnProximaCorda_ = botao("btnProximaCorda", QRect(292, 367, 80, 18), 0);
    btnProximaCorda_->OnClick = [this](TImage*) { btnProximaCordaClick(); };
    btnProximaCorda_->OnDblClick = [this](TImage*) { btnProximaCordaClick(); };
    lblTextoPonteiro_ = rotulo(panelFundo_, "lblTextoPonteiro", 13, true);
    lblTextoPonteiro_->move(476, 296);

    panelDoubleBuffering_ = new QWidget(panelFundo_);
    panelDoubleBuffering_->setObjectName(QStringLiteral("panelDoubleBuffering"));
    panelDoubleBuffering_->setGeometry(543, 101, 163, 124);
    imgFundoPonteiro_ = imagem(panelDoubleBuffering_, "imgFundoPonteiro", QRect(0, 0, 163, 124));
    // "OK" sits in the lamp window under the needle's hub.
    lblOk_ = rotulo(panelDoubleBuffering_, "lblOk", 12, true);
    lblOk_->setAlignment(Qt::AlignCenter);
    lblOk_->setGeometry(63, 105, 37, 16);
    lblOk_->setText(QStringLiteral("OK"));
    corOk_ = LacoExibicao::kRgbBranco;
    // The fine reading's figure, in the readout at the top of the dial, above the needle's
    // reach; shown only in the fine reading.
    lblCents_ = rotulo(panelDoubleBuffering_, "lblCents", 11, true);
    lblCents_->setAlignment(Qt::AlignCenter);
    lblCents_->setGeometry(kVisorCents);
    definirCorTexto(*lblCents_, kCorEscala);
    lblCents_->hide();
    // The needle turns about the centre of its 163 x 163 square, at (81, 96) of the panel.
    imgPonteiro_ = new TRotateImage(panelDoubleBuffering_);
    imgPonteiro_->setObjectName(QStringLiteral("imgPonteiro"));
    imgPonteiro_->setGeometry(0, 15, 163, 163);
    imgPonteiro_->setCenter(true);
    imgPonteiro_->setColor(Qt::black);
    imgPonteiro_->setTransparent(true);
    imgPonteiro_->Picture().setBitmap(figura("imgPonteiro").toImage());

    lblCordaAfinada_ = rotulo(panelFundo_, "lblCordaAfinada", 11, true);
    lblCordaAfinada_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblCordaAfinada_->setGeometry(584, 241, 81, 13);
    lblCordaAfinada_->setText(QStringLiteral("Corda afinada!"));
    definirCorTexto(*lblCordaAfinada_, QColor(0, 255, 0));
    lblCordaAfinada_->hide();

    btnAssistente_ = botao("btnAssistente", QRect(488, 452, 121, 25), 6);
    btnAfinacoes_ = botao("btnAfinacoes", QRect(488, 481, 121, 25), 8);
    btnAjuda_ = botao("btnAjuda", QRect(696, 24, 25, 25), 2);
    btnMinimizar_ = botao("btnMinimizar", QRect(728, 24, 25, 25), 4);
    btnSair_ = botao("btnSair", QRect(760, 24, 25, 25), 0);

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("timer"));
    timer_->setInterval(kIntervaloTimer);
    connect(timer_, &QTimer::timeout, this, &TformPrincipal::timerTimer);

    imagemCordaSelecionada_ = guardado("imagemCordaSelecionada", figura("imagemCordaSelecionada"));
    imagemNula_ = guardado("imagemNula", QPixmap());
    for (int p = 0; p < kPosicoes; ++p) {
        const std::string nome = "imgFimCordaSelecionada" + std::to_string(p + 1);
        imgFimCordaSelecionada_[p] = guardado(nome.c_str(), figura(nome.c_str()));
    }
    imgBraco6Cordas_ = guardado("imgBraco6Cordas", figura("imgBraco6Cordas"));
    imgBraco4Cordas_ = guardado("imgBraco4Cordas", figura("imgBraco4Cordas"));
    imgBraco_->setPicture(imgBraco6Cordas_->Picture());
    imgBtnFechar_ = guardado("imgBtnFechar", figura("imgBtnFechar"));
    imgBtnFecharI_ = guardado("imgBtnFecharI", figura("imgBtnFecharI"));
    imgBtnHelp_ = guardado("imgBtnHelp", figura("imgBtnHelp"));
    imgBtnHelpI_ = guardado("imgBtnHelpI", figura("imgBtnHelpI"));
    imgBtnMinimizar_ = guardado("imgBtnMinimizar", figura("imgBtnMinimizar"));
    imgBtnMinimizarI_ = guardado("imgBtnMinimizarI", figura("imgBtnMinimizarI"));
    // Filled from the language by aplicarIdioma.
    imgBtnAssistente_ = guardado("imgBtnAssistente", QPixmap());
    imgBtnAssistenteI_ = guardado("imgBtnAssistenteI", QPixmap());
    imgBtnAfinacoes_ = guardado("imgBtnAfinacoes", QPixmap());
    imgBtnAfinacoesI_ = guardado("imgBtnAfinacoesI", QPixmap());
    imgFundoPonteiroClassico_ = guardado("imgFundoPonteiroClassico", QPixmap());
    imgFundoPonteiroFino_ = guardado("imgFundoPonteiroFino", QPixmap());
    criarControlesSeguir();
}

void TformPrincipal::aplicarIdioma() {
    GerenciadorIdiomas* idiomas = GerenciadorIdiomas::getInstancia();
    auto figura = [&](const char* chave) { return idiomas->getImagem(kSecao, chave); };

    TAplicacao::setTitulo(texto(kSecaoGeral, "tituloAplicacao"));
    setWindowTitle(textoQt(texto(kSecaoGeral, "nomeAplicacao")));
    lblTextoCorda_->setText(textoQt(texto(kSecao, "lblTextoCorda")));
    lblTextoPonteiro_->setText(textoQt(texto(kSecao, "lblTextoPonteiro")));
    autoDimensionar(*lblTextoPonteiro_);
    lblCordaAfinada_->setText(textoQt(texto(kSecao, "lblCordaAfinada")));
    mostrarModos();
    btnMinimizar_->setToolTip(textoQt(texto(kSecao, "hintBtnMinimizar")));
    btnAjuda_->setToolTip(textoQt(texto(kSecao, "hintBtnAjuda")));
    btnSair_->setToolTip(textoQt(texto(kSecao, "hintBtnSair")));
    btnProximaCorda_->setToolTip(textoQt(texto(kSecao, "hintBtnProxima")));
    btnAssistente_->setToolTip(textoQt(texto(kSecao, "hintBtnAssistente")));
    btnAfinacoes_->setToolTip(textoQt(texto(kSecao, "hintBtnAfinacoes")));
    imgLink_->setToolTip(textoQt(texto(kSecao, "hintLinkVelmora")));
    imgCorda_[0]->setToolTip(textoQt(texto(kSecao, "hintImgCorda")));
    for (int p = 1; p < kPosicoes; ++p) imgCorda_[p]->setToolTip(imgCorda_[0]->toolTip());
    imgTitulo_->setPicture(figura("imgTitulo"));
    imgLink_->setPicture(figura("imgLink"));
    // The dial of each reading; a language without the fine dial shows the classic one.
    imgFundoPonteiroClassico_->setPicture(figura("imgFundoPonteiro"));
    imgFundoPonteiroFino_->setPicture(figura("imgFundoPonteiroFino"));
    if (imgFundoPonteiroFino_->Picture().isNull())
        imgFundoPonteiroFino_->setPicture(imgFundoPonteiroClassico_->Picture());
    mostrarMostrador();
    btnProximaCorda_->setPicture(figura("imgBtnProximaCorda"));
    imgBtnAssistente_->setPicture(figura("imgBtnAssistente"));
    imgBtnAssistenteI_->setPicture(figura("imgBtnAssistenteI"));
    imgBtnAfinacoes_->setPicture(figura("imgBtnAfinacoes"));
    imgBtnAfinacoesI_->setPicture(figura("imgBtnAfinacoesI"));
}

void TformPrincipal::criarAudio() {
    gravador_ = new TRecorder(componentes_.get());
    gravador_->setAutoStart(false);
    // A device that stops while the tuner listens: the needle stops, the user is told once, and
    // the next start of capture (the assistant's, for one) opens the device again.
    gravador_->OnError = [this](TComponent*, int codigo) {
        timer_->stop();
        mostrarErroAudio(codigo);
    };
    fft_ = new TFFT(componentes_.get());
    fft_->setSource(gravador_);
    // The order matters: the analyser rounds its length against the source's format.
    gravador_->Quality().setFrequency(EstimadorAfinacao::kTaxaAmostragem);
    fft_->setBufSize(EstimadorAfinacao::kTamanhoFFT);
    gravador_->setBufSize(EstimadorAfinacao::kTamanhoBuffer);
    gravador_->OnSample = [this](TComponent*) { alimentarLeituraFina(); };
}

TformPrincipal::FormatoCaptura TformPrincipal::formatoCapturaFina() {
    FormatoCaptura f;
    for (const int taxa : {44100, 48000, 22050, 11025}) {
        if (gravador_->FormatSupported(taxa, 1, 16)) {
            f.taxa = taxa;
            f.bits = 16;
            f.quadrosPorBuffer = taxa / 50;
            break;
        }
    }
    return f;
}

void TformPrincipal::configurarCaptura() {
    TAudioLineParameters& formato = gravador_->Quality();
    if (leituraFina()) {
        // The analyser rests: nothing reads its spectrum, and a transform of 16384 samples for
        // every 20 ms buffer would cost the most of all.
        fft_->setSource(nullptr);
        const FormatoCaptura f = formatoCapturaFina();
        formato.setFrequency(f.taxa);
        formato.setBitsPerSample(f.bits);
        gravador_->setShortPeriods(f.bits == 16);
        gravador_->setBufSize(f.bits == 16 ? f.quadrosPorBuffer : EstimadorAfinacao::kTamanhoBuffer);
        leitura_.preparar(f.taxa);
        amostrasFinas_.assign(static_cast<std::size_t>(gravador_->BufSize()), 0.0f);
    } else {
        formato.setFrequency(EstimadorAfinacao::kTaxaAmostragem);
        formato.setBitsPerSample(8);
        gravador_->setShortPeriods(false);
        fft_->setSource(gravador_);
        fft_->setBufSize(EstimadorAfinacao::kTamanhoFFT);
        gravador_->setBufSize(EstimadorAfinacao::kTamanhoBuffer);
    }
    if (afinacaoAtual_ != nullptr && !leitura_.livre())
        leitura_.setAlvo(alvoCorda(estimador_.cordaSelecionada()));
}

void TformPrincipal::alimentarLeituraFina() {
    if (!leituraFina()) return;
    const int n = std::min(gravador_->FrameCount(), static_cast<int>(amostrasFinas_.size()));
    // Mixed samples are 16-bit values, or 8-bit ones times 64 (full scale 8192).
    const float escala = gravador_->Quality().BitsPerSample() == 8 ? 1.0f / 8192.0f : 1.0f / 32768.0f;
    for (int i = 0; i < n; ++i)
        amostrasFinas_[static_cast<std::size_t>(i)] = static_cast<float>(gravador_->Sample(i)) * escala;
    leitura_.acrescentar(amostrasFinas_.data(), n);
}

void TformPrincipal::preencherTabelas() {
    for (int p = 0; p < kPosicoes; ++p) {
        imagensCorda_[p] = imgCorda_[p];
        imagensFimCorda_[p] = imgFimCorda_[p];
        imagensFimCordaSelecionada_[p] = imgFimCordaSelecionada_[p];
        imagensMoverTarracha_[p] = imgMoverTarracha_[p];
    }
    imagensBotao_ = {imgBtnFechar_,    imgBtnFecharI_,    imgBtnHelp_,       imgBtnHelpI_,
                     imgBtnMinimizar_, imgBtnMinimizarI_, imgBtnAssistente_, imgBtnAssistenteI_,
                     imgBtnAfinacoes_, imgBtnAfinacoesI_};
    btnMinimizar_->setPicture(imgBtnMinimizar_->Picture());
    btnAjuda_->setPicture(imgBtnHelp_->Picture());
    btnSair_->setPicture(imgBtnFechar_->Picture());
    btnAssistente_->setPicture(imgBtnAssistente_->Picture());
    btnAfinacoes_->setPicture(imgBtnAfinacoes_->Picture());
}

bool TformPrincipal::afinacaoExibivel(int indice) const {
    const int n = gerenciadorAfinacoes_->getAfinacao(indice).getNumeroCordas();
    return n >= 4 && n <= kPosicoes;
}

bool TformPrincipal::carregarAfinacoes() {
    // The tuning file names instruments and tuning types by codes of the language.
    usarIdiomaNasAfinacoes();
    gerenciadorAfinacoes_ = GerenciadorAfinacoes::getInstancia();
    const char* erro = nullptr;
    try {
        gerenciadorAfinacoes_->carregar();
    } catch (const EFOpenError&) {
        erro = "erroAbrirXML";
    } catch (const std::exception&) {
        erro = "erroXML";
    }
    if (erro == nullptr) {
        // The user's own tunings follow; a damaged file of theirs is reported, and the program
        // goes on with what it could read.
        if (gerenciadorAfinacoes_->carregarUsuario() ==
            GerenciadorAfinacoes::ArquivoUsuario::danificado)
            mostrarMensagem(texto(kSecao, "erroXMLUsuario") + "\r\n" +
                                cp1252::fromUtf8(gerenciadorAfinacoes_->getArquivoUsuario()),
                            texto(kSecaoGeral, "nomeAplicacao"));
        gerenciadorAfinacoes_->setIndiceAtual(configuracoes_->getAfinacaoSelecionada());
        // A saved index may name a tuning the neck cannot show (fewer than four or more than
        // six strings): the first tuning that it can show takes its place.
        if (!afinacaoExibivel(gerenciadorAfinacoes_->getIndiceAtual())) {
            erro = "erroXML";
            for (int i = 0; i < gerenciadorAfinacoes_->getNumeroAfinacoes(); ++i) {
                if (afinacaoExibivel(i)) {
                    gerenciadorAfinacoes_->setIndiceAtual(i);
                    erro = nullptr;
                    break;
                }
            }
        }
    }
    if (erro == nullptr) return true;
    mostrarMensagem(texto(kSecao, erro), texto(kSecaoGeral, "nomeAplicacao"));
    solicitarTerminacao();
    return false;
}

void TformPrincipal::aplicarAfinacao() {
    const Afinacao& nova = gerenciadorAfinacoes_->getAfinacaoAtual();
    const int n = nova.getNumeroCordas();
    // The neck has six positions; a tuning it cannot show leaves the display as it is.
    if (n < 4 || n > kPosicoes) return;

    // The window keeps its own copy: the string it marked is unmarked by the tuning it was
    // marked for, whatever the manager holds now.
    if (afinacaoAtual_ != nullptr) desmarcarCorda();
    afinacaoMostrada_ = nova;
    afinacaoAtual_ = &*afinacaoMostrada_;
    atualizarAfinacaoDiapasao();

    const bool seis = n == 6;
    const bool quatro = n == 4;
    for (int p : {0, kPosicoes - 1}) {
        const bool visivel = p == 0 ? !quatro : seis;
        imagensCorda_[p]->setVisible(visivel);
        imagensFimCorda_[p]->setVisible(visivel);
    }
    imgBraco_->setPicture(quatro ? imgBraco4Cordas_->Picture() : imgBraco6Cordas_->Picture());
    for (int s = 0; s < n; ++s) {
        const int p = posicaoCorda(s);
        imagensCorda_[p]->setTag(s);
        definirTag(imagensFimCorda_[p], s);
    }

    selecionarCorda(0);

    // Each fit starts from the label's own place, so repeated fits do not creep sideways.
    lblNomeInstrumento_->setText(textoQt(afinacaoAtual_->getInstrumento()));
    lblNomeInstrumento_->move(kEsquerdaRotulosAfinacao, lblNomeInstrumento_->y());
    ajustarRotulo(*lblNomeInstrumento_, kLarguraRotuloAfinacao);
    lblTipoAfinacao_->setText(textoQt(afinacaoAtual_->getTipoAfinacao()));
    lblTipoAfinacao_->move(kEsquerdaRotulosAfinacao, lblTipoAfinacao_->y());
    ajustarRotulo(*lblTipoAfinacao_, kLarguraRotuloAfinacao);
    // The automatic string chooses among the new strings.
    aplicarModos();
}

int TformPrincipal::posicaoCorda(int s) const {
    const bool quatro = afinacaoAtual_ != nullptr && afinacaoAtual_->getNumeroCordas() == 4;
    return quatro ? s + 1 : s;
}

void TformPrincipal::selecionarCorda(int s) {
    if (afinacaoAtual_ == nullptr || s < 0 || s >= afinacaoAtual_->getNumeroCordas()) return;
    estimador_.setCordaSelecionada(s);
    // The fine reading starts afresh on the string's target (the free reading finds its own).
    if (!leitura_.livre()) leitura_.setAlvo(alvoCorda(s));
    lblCordaSelecionada_->setText(
        textoQt(texto(kSecao, "lblCordaSelecionada") + " " + afinacaoAtual_->getNomeNota(s)));
    const int p = posicaoCorda(s);
    imagensCorda_[p]->setPicture(imagemCordaSelecionada_->Picture());
    imagensFimCorda_[p]->Picture().setBitmap(imagensFimCordaSelecionada_[p]->Picture().toImage());
    imagensMoverTarracha_[p]->setVisible(true);
}

void TformPrincipal::desmarcarCorda() {
    if (afinacaoAtual_ == nullptr) return;
    const int p = posicaoCorda(cordaSelecionada());
    if (p < 0 || p >= kPosicoes) return;
    imagensCorda_[p]->setPicture(imagemNula_->Picture());
    imagensFimCorda_[p]->Picture().setBitmap(imagemNula_->Picture().toImage());
    imagensMoverTarracha_[p]->setVisible(false);
}

void TformPrincipal::imagemCordaClick(QWidget* sender) {
    if (afinacaoAtual_ == nullptr || sender == nullptr) return;
    const int s = tagDe(sender);
    if (s < 0 || s >= afinacaoAtual_->getNumeroCordas()) return;
    desmarcarCorda();
    saidaMidi_->silenciar();
    estimador_.setCordaSelecionada(s);
    // The automatic string takes its choice up again at the next stroke, from this string.
    seletor_.esquecer();
    // Note on, channel 0, full velocity; the next choice of string cuts it (no note off).
    const bool soou = saidaMidi_->enviarMensagem(
        0x90, static_cast<std::uint8_t>(notaReferencia(s)), 127);
    selecionarCorda(s);
    if (!soou && !avisouSemSom_) {
        // Said once: the tuner goes on tuning, without reference notes.
        avisouSemSom_ = true;
        mostrarMensagem(texto(kSecao, "erroSemSom"), texto(kSecaoGeral, "tituloAtencao"));
    }
}

void TformPrincipal::btnProximaCordaClick() {
    if (afinacaoAtual_ == nullptr) return;
    const int s = (cordaSelecionada() + 1) % afinacaoAtual_->getNumeroCordas();
    imagemCordaClick(imagensCorda_[posicaoCorda(s)]);
}

void TformPrincipal::mostrarErroAudio(int codigo) {
    const char* chave = nullptr;
    switch (codigo) {
        case MMSYSERR_NOERROR:
            return;
        case MMSYSERR_BADDEVICEID:
        case WAVERR_BADFORMAT:
            chave = "erroIOSO";
            break;
        case MMSYSERR_ALLOCATED:
            chave = "erroIOOcupado";
            break;
        case MMSYSERR_NODRIVER:
            chave = "erroIODriver";
            break;
        case MMSYSERR_NOMEM:
            chave = "erroIOMemoria";
            break;
        case WAVERR_DEVICELOST:
            chave = "erroIOPerdido";
            break;
        default:
            // Whatever else the sound system reported: a failure all the same, which the user
            // must hear of, or the needle would stay still without a word.
            chave = "erroIOFalha";
            break;
    }
    mostrarMensagem(texto(kSecao, chave), texto(kSecaoGeral, "tituloAtencao"));
}

void TformPrincipal::calcularDesvios() {
    estimador_.calcularDesvios();
}

void TformPrincipal::timerTimer() {
    const bool assistenteAtivo = formAssistente_ != nullptr && formAssistente_->isActiveWindow();
    const bool tick = leituraFina()
                          ? laco_.timerTimer(assistenteAtivo, [this] { return leitura_.ler(); })
                          : laco_.timerTimer(assistenteAtivo, estimador_, *fft_);
    if (!tick) return;
    imgPonteiro_->setAngle(laco_.angulo());
    if (leituraFina()) {
        mostrarCents(laco_.cents());
        seguirNota();
    }
    definirCorOk(LacoExibicao::rgb(laco_.corOk()));
    if (lblCordaAfinada_->isVisibleTo(this) != laco_.mensagemVisivel())
        lblCordaAfinada_->setVisible(laco_.mensagemVisivel());
    if (doubleBuffering_ && !laco_.doubleBuffering()) definirDoubleBuffering(false);
}

void TformPrincipal::setLeituraFina(bool fina) {
    const bool mudou = fina != leituraFina();
    laco_.setLeitura(fina ? LacoExibicao::Leitura::fina : LacoExibicao::Leitura::classica);
    // The two readings capture in formats of their own, set as capture starts.
    if (mudou && gravador_->State() == TRecorderState::Capturing) {
        pararCaptura();
        iniciarCaptura();
    }
    lblCents_->clear();
    centsMostrados_ = kSemCents;
    lblCents_->setVisible(fina);
    mostrarMostrador();
    // A change of reading starts the in-tune state afresh.
    definirCorOk(LacoExibicao::rgb(laco_.corOk()));
    lblCordaAfinada_->setVisible(laco_.mensagemVisivel());
    // The automatic string and the chromatic reading are the fine reading's.
    aplicarModos();
}

void TformPrincipal::mostrarCents(double cents) {
    // The text is made only when the figure shown changes (in tenths of a cent).
    const long decimos = std::isfinite(cents) ? std::lround(cents * 10.0) : kSemCents;
    if (decimos == centsMostrados_) return;
    centsMostrados_ = decimos;
    lblCents_->setText(textoQt(textoCents(cents)));
}

void TformPrincipal::mostrarMostrador() {
    const TImage* mostrador = leituraFina() ? imgFundoPonteiroFino_ : imgFundoPonteiroClassico_;
    imgFundoPonteiro_->setPicture(mostrador->Picture());
}

bool TformPrincipal::iniciarCaptura() {
    configurarCaptura();
    // What the fine reading heard before is gone.
    leitura_.reiniciar();
    try {
        gravador_->Start();
    } catch (const EInOutError& e) {
        timer_->stop();
        mostrarErroAudio(e.ErrorCode());
        return false;
    }
    timer_->start();
    return true;
}

void TformPrincipal::pararCaptura() {
    timer_->stop();
    gravador_->Stop();
    gravador_->Release();
}

void TformPrincipal::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // FormShow: only when the program shows the window, not when the window system maps it
    // again (after a minimise, for instance).
    if (event->spontaneous() || !construida_) return;
    calcularDesvios();
    iniciarCaptura();
}

void TformPrincipal::closeEvent(QCloseEvent* event) {
    // FormClose, whatever closed the window: its close button, the window manager, the session.
    if (construida_) {
        const Idioma* idioma = GerenciadorIdiomas::getInstancia()->getIdiomaAtual();
        configuracoes_->setLeituraFina(leituraFina());
        configuracoes_->setCordaAutomatica(cordaAutomatica_);
        configuracoes_->setLeituraCromatica(leituraCromatica_);
        configuracoes_->setDiapasao(diapasao_);
        configuracoes_->setDeslocamento(gerenciadorAfinacoes_->getDeslocamento());
        const bool salvas = configuracoes_->salvar(
            gerenciadorAfinacoes_->getIndiceAtual(), estimador_.tipoSistema(),
            idioma != nullptr ? idioma->getNome() : ConfiguracoesUsuario::getIdioma());
        // The user is told once that the choices will not survive this run.
        if (!salvas && !avisoConfiguracoesMostrado_) {
            avisoConfiguracoesMostrado_ = true;
            mostrarMensagem(texto(kSecaoGeral, "erroSalvarConfiguracoes") + "\r\n" +
                                cp1252::fromUtf8(ConfiguracoesUsuario::caminhoArquivo()),
                            texto(kSecaoGeral, "nomeAplicacao"));
        }
    }
    event->accept();
    emit fechada();
}

void TformPrincipal::definirDoubleBuffering(bool ligado) {
    // Qt draws every widget through the window's backing store, which is always double
    // buffered, and offers no switch to draw one panel straight onto the screen
    // (Qt::WA_PaintOnScreen only serves widgets that bring their own paint engine, and would
    // leave this panel blank). So the flag is kept on the panel as its "doubleBuffered"
    // property, for the record, and the drawing stays buffered and flicker-free either way.
    doubleBuffering_ = ligado;
    panelDoubleBuffering_->setProperty("doubleBuffered", ligado);
}

void TformPrincipal::definirCorOk(std::uint32_t rgb) {
    if (rgb == corOk_) return;
    corOk_ = rgb;
    definirCorTexto(*lblOk_, QColor::fromRgb(rgb));
}

void TformPrincipal::definirTag(QWidget* controle, int tag) {
    if (auto* imagem = dynamic_cast<TImage*>(controle))
        imagem->setTag(tag);
    else
        controle->setProperty("Tag", tag);
}

int TformPrincipal::tagDe(const QWidget* controle) {
    if (const auto* imagem = dynamic_cast<const TImage*>(controle)) return imagem->Tag();
    const QVariant tag = controle->property("Tag");
    return tag.isValid() ? tag.toInt() : -1;
}
