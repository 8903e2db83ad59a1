#include "fafinacoes.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPalette>
#include <QScreen>
#include <algorithm>

#include "botao_skin.h"
#include "codepage.h"
#include "controle_imagem.h"
#include "errors.h"
#include "feditar_afinacao.h"
#include "gerenciador_afinacoes.h"
#include "gerenciador_idiomas.h"
#include "mensagem.h"
#include "movimento_janela.h"

namespace {

constexpr int kLargura = 381;
constexpr int kAltura = 317;
constexpr int kAlturaLinha = 13;

QString qtexto(const std::string& ansi) {
    return QString::fromStdString(cp1252::toUtf8(ansi));
}

constexpr const char* kSecao = "fmAfinacoes";

std::string textoIdioma(const char* chave) {
    return GerenciadorIdiomas::getInstancia()->getTexto(kSecao, chave);
}

// The first tuning a new one starts from: a guitar's standard strings.
const std::vector<int> kNotasNova = {40, 45, 50, 55, 59, 64};

}  // namespace

TformAfinacoes::TformAfinacoes(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      gerenciadorAfinacoes_(GerenciadorAfinacoes::getInstancia()),
      movimento_(new MovimentoJanela(this)) {
    setObjectName("formAfinacoes");
    setFixedSize(kLargura, kAltura);
    // The skin's face colour, which continues the background picture where it stops.
    QPalette paleta = palette();
    paleta.setColor(QPalette::Window, QColor(0x14, 0x0e, 0x0b));
    setPalette(paleta);
    setAutoFillBackground(true);
    setFont(QFont("Liberation Sans", 8));

    painelFundo_ = new QFrame(this);
    painelFundo_->setObjectName("painelFundo");
    painelFundo_->setGeometry(0, 0, kLargura, kAltura);
    painelFundo_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    painelFundo_->setLineWidth(1);

    imgFundo_ = new TImage(painelFundo_);
    imgFundo_->setObjectName("imgFundo");
    imgFundo_->setGeometry(2, 2, 377, 313);
    imgFundo_->setStretch(true);
    imgFundo_->OnMouseDown = [this](TImage* origem, Qt::MouseButton botao, QPoint pos) {
        if (botao == Qt::LeftButton) movimento_->iniciar(origem, pos);
    };

    lblSelecione_ = new QLabel(painelFundo_);
    lblSelecione_->setObjectName("lblSelecione");
    lblSelecione_->setGeometry(136, 90, 201, 16);
    QFont fonteRotulo("Liberation Sans");
    fonteRotulo.setPixelSize(13);
    fonteRotulo.setBold(true);
    lblSelecione_->setFont(fonteRotulo);
    lblSelecione_->setStyleSheet("color: white; background: transparent;");

    listaAfinacoes_ = new QListWidget(painelFundo_);
    listaAfinacoes_->setObjectName("listaAfinacoes");
    listaAfinacoes_->setGeometry(136, 112, 222, 119);
    listaAfinacoes_->setSelectionMode(QAbstractItemView::SingleSelection);
    listaAfinacoes_->setSortingEnabled(false);
    listaAfinacoes_->setUniformItemSizes(true);
    listaAfinacoes_->installEventFilter(this);
    listaAfinacoes_->viewport()->installEventFilter(this);

    // 1. The label text; the pictures are decoded while the window shows (carregarFiguras).
    const GerenciadorIdiomas* idiomas = GerenciadorIdiomas::getInstancia();
    lblSelecione_->setText(qtexto(idiomas->getTexto("fmAfinacoes", "lblSelecione")));

    // 2. OK and Cancel, then the user's own tunings: four buttons under the list. Each shows
    // its normal picture, the pressed one while any mouse button is down on it.
    btnOk_ = criarBotaoSkin(painelFundo_, "btnOk", QRect(190, 289, 88, 20),
                            figuras_[kFiguraOk], [this] { btnOkClick(); });
    btnCancelar_ = criarBotaoSkin(painelFundo_, "btnCancelar", QRect(284, 289, 88, 20),
                                  figuras_[kFiguraCancelar], [this] { btnCancelarClick(); });
    botoes_[kFiguraOk] = btnOk_;
    botoes_[kFiguraCancelar] = btnCancelar_;
    struct Botao {
        const char* nome;
        const char* dica;
        void (TformAfinacoes::*acao)();
    };
    const Botao botoes[] = {
        {"btnNova", "hintBtnNova", &TformAfinacoes::btnNovaClick},
        {"btnEditar", "hintBtnEditar", &TformAfinacoes::btnEditarClick},
        {"btnCopiar", "hintBtnCopiar", &TformAfinacoes::btnCopiarClick},
        {"btnExcluir", "hintBtnExcluir", &TformAfinacoes::btnExcluirClick},
    };
    for (std::size_t i = 0; i < std::size(botoes); ++i) {
        const Botao& b = botoes[i];
        const std::size_t f = kFiguraNova + i;
        botoes_[f] = criarBotaoSkin(painelFundo_, b.nome,
                                    QRect(136 + 57 * static_cast<int>(i), 236, 52, 20), figuras_[f],
                                    [this, acao = b.acao] { (this->*acao)(); });
        botoes_[f]->setToolTip(qtexto(textoIdioma(b.dica)));
    }

    // 4. The shift, with a minus and a plus box to click.
    lblDeslocamento_ = new QLabel(painelFundo_);
    lblDeslocamento_->setObjectName("lblDeslocamento");
    lblDeslocamento_->setGeometry(136, 262, 170, 18);
    lblDeslocamento_->setFont(fonteRotulo);
    lblDeslocamento_->setStyleSheet("color: white; background: transparent;");
    lblDeslocamento_->setToolTip(qtexto(textoIdioma("hintDeslocamento")));
    const std::pair<int, QString> sinais[] = {{310, QStringLiteral("\u2212")},
                                              {336, QStringLiteral("+")}};
    for (const auto& [esquerda, sinal] : sinais) {
        auto* caixa = new QLabel(sinal, painelFundo_);
        caixa->setGeometry(esquerda, 262, 22, 18);
        caixa->setAlignment(Qt::AlignCenter);
        caixa->setFont(fonteRotulo);
        caixa->setStyleSheet("color: #ffd678; background: transparent; border: 1px solid #ffd678;");
        auto* area = new TImage(painelFundo_);
        area->setObjectName(esquerda == 310 ? "btnDeslocamentoMenos" : "btnDeslocamentoMais");
        area->setGeometry(caixa->geometry());
        area->setCursor(Qt::PointingHandCursor);
        area->setToolTip(lblDeslocamento_->toolTip());
        const int passo = esquerda == 310 ? -1 : 1;
        area->OnClick = [this, passo](TImage*) { setDeslocamento(deslocamento_ + passo); };
    }

    preencherLista();
    setTabOrder(listaAfinacoes_, listaAfinacoes_);
}

TformAfinacoes::~TformAfinacoes() = default;

void TformAfinacoes::preencherLista() {
    listaAfinacoes_->clear();
    indicesLinhas_.clear();
    const int total = gerenciadorAfinacoes_->getNumeroAfinacoes();
    for (int i = 0; i < total; ++i) {
        const Afinacao& afinacao = gerenciadorAfinacoes_->getAfinacao(i);
        const int cordas = afinacao.getNumeroCordas();
        if (cordas < 4 || cordas > 6) continue;
        auto* linha = new QListWidgetItem(qtexto(afinacao.getDescricao()), listaAfinacoes_);
        linha->setSizeHint(QSize(0, kAlturaLinha));
        // The user's own tunings, which can be changed, stand out in italics.
        if (gerenciadorAfinacoes_->doUsuario(i)) {
            QFont italico = listaAfinacoes_->font();
            italico.setItalic(true);
            linha->setFont(italico);
        }
        indicesLinhas_.push_back(i);
    }
}

void TformAfinacoes::showEvent(QShowEvent* event) {
    // Before the first paint: the pictures are there when the window appears.
    if (!event->spontaneous()) carregarFiguras();
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TformAfinacoes::carregarFiguras() {
    if (figurasCarregadas_) return;
    static constexpr const char* kChaves[kFiguras] = {"imgBtnOk", "imgBtnCancelar", "imgBtnNova",
                                                      "imgBtnEditar", "imgBtnCopiar",
                                                      "imgBtnExcluir"};
    imgFundo_->setPicture(imagemIdioma("fmAssistente", "imgFundo"));
    for (std::size_t f = 0; f < kFiguras; ++f) {
        figuras_[f] = figurasIdioma(kSecao, kChaves[f]);
        mostrarFiguras(botoes_[f], figuras_[f]);
    }
    figurasCarregadas_ = true;
}

void TformAfinacoes::liberarFiguras() {
    imgFundo_->setPicture(QPixmap());
    for (std::size_t f = 0; f < kFiguras; ++f) {
        figuras_[f] = {};
        mostrarFiguras(botoes_[f], figuras_[f]);
    }
    figurasCarregadas_ = false;
}

void TformAfinacoes::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) liberarFiguras();
}

void TformAfinacoes::FormShow() {
    if (const QScreen* tela = screen() ? screen() : QGuiApplication::primaryScreen())
        move(tela->availableGeometry().center() - rect().center());
    // The selection left by an earlier showing never survives: the current tuning's row, or
    // none when the list does not show the current tuning. The shift shown is the one in use.
    alterada_ = false;
    preencherLista();
    selecionarIndice(gerenciadorAfinacoes_->getIndiceAtual());
    setDeslocamento(gerenciadorAfinacoes_->getDeslocamento());
    listaAfinacoes_->setFocus(Qt::OtherFocusReason);
}

void TformAfinacoes::selecionarIndice(int indice) {
    int linha = -1;
    for (std::size_t r = 0; r < indicesLinhas_.size(); ++r) {
        if (indicesLinhas_[r] == indice) linha = static_cast<int>(r);
    }
    listaAfinacoes_->clearSelection();
    listaAfinacoes_->setCurrentRow(linha);
    if (linha >= 0) listaAfinacoes_->scrollToItem(listaAfinacoes_->item(linha));
}

int TformAfinacoes::indiceSelecionado() const {
    const QList<QListWidgetItem*> selecionadas = listaAfinacoes_->selectedItems();
    if (selecionadas.isEmpty()) return -1;
    return indicesLinhas_[static_cast<std::size_t>(listaAfinacoes_->row(selecionadas.first()))];
}

void TformAfinacoes::setDeslocamento(int semitons) {
    deslocamento_ = std::clamp(semitons, GerenciadorAfinacoes::kDeslocamentoMenor,
                               GerenciadorAfinacoes::kDeslocamentoMaior);
    mostrarDeslocamento();
}

void TformAfinacoes::mostrarDeslocamento() {
    QString valor = QString::number(std::abs(deslocamento_));
    if (deslocamento_ != 0) valor.prepend(deslocamento_ < 0 ? QChar(0x2212) : QChar('+'));
    lblDeslocamento_->setText(qtexto(textoIdioma("lblDeslocamento")) + QLatin1Char(' ') + valor);
}

void TformAfinacoes::avisar(const char* chave, const std::string& detalhe) {
    mostrarMensagem(textoIdioma(chave) + (detalhe.empty() ? std::string() : "\r\n" + detalhe),
                    GerenciadorIdiomas::getInstancia()->getTexto("geral", "nomeAplicacao"));
}

void TformAfinacoes::editarEGuardar(const Afinacao& inicial, int indice) {
    std::optional<Afinacao> nova;
    if (editar_) {
        nova = editar_(inicial);
    } else {
        TformEditarAfinacao editor(this, inicial, fonteDiapasao_ ? fonteDiapasao_() : 440.0);
        if (editor.exec() == QDialog::Accepted) nova = editor.afinacao();
    }
    if (!nova) return;
    const bool guardada = guardar([&] {
        if (indice < 0) {
            indice = gerenciadorAfinacoes_->adicionar(*nova);
        } else {
            gerenciadorAfinacoes_->substituir(indice, *nova);
        }
    });
    if (guardada) selecionarIndice(indice);
}

void TformAfinacoes::btnNovaClick() {
    const int selecionada = indiceSelecionado();
    const std::string instrumento =
        selecionada >= 0 ? gerenciadorAfinacoes_->getAfinacao(selecionada).getInstrumento() : "";
    editarEGuardar(Afinacao::deNotas(instrumento, "", kNotasNova), -1);
}

void TformAfinacoes::btnCopiarClick() {
    const int selecionada = indiceSelecionado();
    if (selecionada < 0) return;
    editarEGuardar(gerenciadorAfinacoes_->getAfinacao(selecionada), -1);
}

int TformAfinacoes::selecionadaDoUsuario() {
    const int selecionada = indiceSelecionado();
    if (selecionada < 0 || gerenciadorAfinacoes_->doUsuario(selecionada)) return selecionada;
    avisar("erroFabrica");
    return -1;
}

bool TformAfinacoes::guardar(const std::function<void()>& mudanca) {
    try {
        mudanca();
    } catch (const Exception& erro) {
        avisar("erroSalvar", cp1252::fromUtf8(erro.message()));
        return false;
    }
    alterada_ = true;
    preencherLista();
    return true;
}

void TformAfinacoes::btnEditarClick() {
    const int selecionada = selecionadaDoUsuario();
    if (selecionada < 0) return;
    editarEGuardar(gerenciadorAfinacoes_->getAfinacao(selecionada), selecionada);
}

void TformAfinacoes::btnExcluirClick() {
    const int selecionada = selecionadaDoUsuario();
    if (selecionada < 0) return;
    const QString pergunta = qtexto(textoIdioma("perguntaExcluir"))
                                 .replace(QStringLiteral("%1"),
                                          qtexto(gerenciadorAfinacoes_->getAfinacao(selecionada)
                                                     .getDescricao()));
    const bool sim = confirmar_ ? confirmar_(pergunta)
                                : QMessageBox::question(this, windowTitle(), pergunta) ==
                                      QMessageBox::Yes;
    if (!sim || !guardar([&] { gerenciadorAfinacoes_->remover(selecionada); })) return;
    // The row that took its place, or the last one.
    selecionarIndice(std::min(selecionada, gerenciadorAfinacoes_->getNumeroAfinacoes() - 1));
}

void TformAfinacoes::fechar(int resultado) {
    const bool aplicar = alterada_;
    alterada_ = false;
    if (aplicar && aplicarAfinacao_) aplicarAfinacao_();
    done(resultado);
}

void TformAfinacoes::btnOkClick() {
    // With no row selected (the current tuning is not one the list shows) the current tuning
    // stays as it is.
    const int indice = indiceSelecionado();
    if (indice >= 0 && indice != gerenciadorAfinacoes_->getIndiceAtual()) {
        gerenciadorAfinacoes_->setIndiceAtual(indice);
        alterada_ = true;
    }
    if (deslocamento_ != gerenciadorAfinacoes_->getDeslocamento()) {
        gerenciadorAfinacoes_->setDeslocamento(deslocamento_);
        alterada_ = true;
    }
    fechar(QDialog::Accepted);
}

void TformAfinacoes::btnCancelarClick() {
    // Tunings made, changed or removed are saved already; the shift waits for OK.
    fechar(QDialog::Rejected);
}

void TformAfinacoes::listaAfinacoesDblClick() {
    btnOkClick();
}

bool TformAfinacoes::FormKeyDown(int tecla, Qt::KeyboardModifiers modificadores) {
    if (modificadores & Qt::ControlModifier) {
        switch (tecla) {
            case Qt::Key_N: btnNovaClick(); return true;
            case Qt::Key_E: btnEditarClick(); return true;
            case Qt::Key_C: btnCopiarClick(); return true;
            default: break;
        }
    }
    switch (tecla) {
        case Qt::Key_Insert:
            btnNovaClick();
            return true;
        case Qt::Key_F2:
            btnEditarClick();
            return true;
        case Qt::Key_Delete:
            btnExcluirClick();
            return true;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            setDeslocamento(deslocamento_ + 1);
            return true;
        case Qt::Key_Minus:
            setDeslocamento(deslocamento_ - 1);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            btnOkClick();
            return true;
        case Qt::Key_Escape:
            btnCancelarClick();
            return true;
        default:
            return false;
    }
}

void TformAfinacoes::keyPressEvent(QKeyEvent* event) {
    if (!FormKeyDown(event->key(), event->modifiers())) QDialog::keyPressEvent(event);
}

bool TformAfinacoes::eventFilter(QObject* objeto, QEvent* evento) {
    // The window sees the keys before the list does; the arrow keys go on to the list.
    if (objeto == listaAfinacoes_ && evento->type() == QEvent::KeyPress)
        return FormKeyDown(static_cast<QKeyEvent*>(evento)->key(),
                           static_cast<QKeyEvent*>(evento)->modifiers());
    if (objeto == listaAfinacoes_->viewport() && (evento->type() == QEvent::MouseButtonDblClick ||
                                                  evento->type() == QEvent::MouseButtonPress)) {
        auto* mouse = static_cast<QMouseEvent*>(evento);
        // A double click anywhere in the list confirms the row selected at that moment (the
        // press before it has already selected the row under the mouse).
        if (evento->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
            listaAfinacoesDblClick();
            return true;
        }
        // A press below the last row leaves the selection as it is, as a list of single
        // selection keeps one row selected once the user has picked one.
        if (listaAfinacoes_->itemAt(mouse->position().toPoint()) == nullptr) return true;
    }
    return QDialog::eventFilter(objeto, evento);
}
