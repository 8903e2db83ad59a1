#include "fafinacoes.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPalette>
#include <QScreen>

#include "codepage.h"
#include "controle_imagem.h"
#include "gerenciador_afinacoes.h"
#include "gerenciador_idiomas.h"
#include "movimento_janela.h"

namespace {

constexpr int kLargura = 381;
constexpr int kAltura = 317;
constexpr int kAlturaLinha = 13;

QString qtexto(const std::string& ansi) {
    return QString::fromStdString(cp1252::toUtf8(ansi));
}

QPixmap imagemIdioma(const char* secao, const char* chave) {
    const auto imagem = GerenciadorIdiomas::getInstancia()->getImagem(secao, chave);
    return imagem ? QPixmap::fromImage(*imagem) : QPixmap();
}

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
    listaAfinacoes_->setGeometry(136, 112, 222, 139);
    listaAfinacoes_->setSelectionMode(QAbstractItemView::SingleSelection);
    listaAfinacoes_->setSortingEnabled(false);
    listaAfinacoes_->setUniformItemSizes(true);
    listaAfinacoes_->installEventFilter(this);
    listaAfinacoes_->viewport()->installEventFilter(this);

    btnOk_ = new TImage(painelFundo_);
    btnOk_->setObjectName("btnOk");
    btnOk_->setGeometry(190, 289, 88, 20);
    btnOk_->setCursor(Qt::PointingHandCursor);
    btnCancelar_ = new TImage(painelFundo_);
    btnCancelar_->setObjectName("btnCancelar");
    btnCancelar_->setGeometry(284, 289, 88, 20);
    btnCancelar_->setCursor(Qt::PointingHandCursor);

    // 1. The label text and the five pictures of the current language.
    const GerenciadorIdiomas* idiomas = GerenciadorIdiomas::getInstancia();
    lblSelecione_->setText(qtexto(idiomas->getTexto("fmAfinacoes", "lblSelecione")));
    imgFundo_->setPicture(imagemIdioma("fmAssistente", "imgFundo"));
    imgBtnOk_ = imagemIdioma("fmAfinacoes", "imgBtnOk");
    imgBtnOkI_ = imagemIdioma("fmAfinacoes", "imgBtnOkI");
    imgBtnCancelar_ = imagemIdioma("fmAfinacoes", "imgBtnCancelar");
    imgBtnCancelarI_ = imagemIdioma("fmAfinacoes", "imgBtnCancelarI");

    // 2. The buttons show their normal pictures; any mouse button shows the pressed one.
    btnOk_->setPicture(imgBtnOk_);
    btnCancelar_->setPicture(imgBtnCancelar_);
    btnOk_->OnMouseDown = [this](TImage*, Qt::MouseButton, QPoint) {
        btnOk_->setPicture(imgBtnOkI_);
    };
    btnOk_->OnMouseUp = [this](TImage*, Qt::MouseButton) { btnOk_->setPicture(imgBtnOk_); };
    btnCancelar_->OnMouseDown = [this](TImage*, Qt::MouseButton, QPoint) {
        btnCancelar_->setPicture(imgBtnCancelarI_);
    };
    btnCancelar_->OnMouseUp = [this](TImage*, Qt::MouseButton) {
        btnCancelar_->setPicture(imgBtnCancelar_);
    };
    btnOk_->OnClick = [this](TImage*) { btnOkClick(); };
    btnCancelar_->OnClick = [this](TImage*) { btnCancelarClick(); };

    // 3. The list, filled once: the tunings never change while the program runs.
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
        indicesLinhas_.push_back(i);
    }
}

void TformAfinacoes::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TformAfinacoes::FormShow() {
    if (const QScreen* tela = screen() ? screen() : QGuiApplication::primaryScreen())
        move(tela->availableGeometry().center() - rect().center());
    // The selection left by an earlier showing never survives: the current tuning's row, or
    // none when the list does not show the current tuning.
    int linha = -1;
    const int atual = gerenciadorAfinacoes_->getIndiceAtual();
    for (std::size_t r = 0; r < indicesLinhas_.size(); ++r) {
        if (indicesLinhas_[r] == atual) linha = static_cast<int>(r);
    }
    listaAfinacoes_->clearSelection();
    listaAfinacoes_->setCurrentRow(linha);
    if (linha >= 0) listaAfinacoes_->scrollToItem(listaAfinacoes_->item(linha));
    listaAfinacoes_->setFocus(Qt::OtherFocusReason);
}

void TformAfinacoes::btnOkClick() {
    // With no row selected (the current tuning is not one the list shows) the current tuning
    // stays as it is.
    const QList<QListWidgetItem*> selecionadas = listaAfinacoes_->selectedItems();
    if (!selecionadas.isEmpty()) {
        const int linha = listaAfinacoes_->row(selecionadas.first());
        const int indice = indicesLinhas_[static_cast<std::size_t>(linha)];
        if (indice != gerenciadorAfinacoes_->getIndiceAtual()) {
            gerenciadorAfinacoes_->setIndiceAtual(indice);
            if (aplicarAfinacao_) aplicarAfinacao_();
        }
    }
    done(QDialog::Accepted);
}

void TformAfinacoes::btnCancelarClick() {
    done(QDialog::Rejected);
}

void TformAfinacoes::listaAfinacoesDblClick() {
    btnOkClick();
}

bool TformAfinacoes::FormKeyDown(int tecla) {
    switch (tecla) {
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
    if (!FormKeyDown(event->key())) QDialog::keyPressEvent(event);
}

bool TformAfinacoes::eventFilter(QObject* objeto, QEvent* evento) {
    // The window sees the keys before the list does; the arrow keys go on to the list.
    if (objeto == listaAfinacoes_ && evento->type() == QEvent::KeyPress)
        return FormKeyDown(static_cast<QKeyEvent*>(evento)->key());
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
