#include "form_lista_idiomas.h"

#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPushButton>
#include <QScreen>

#include "codepage.h"

namespace {

constexpr int kLadoGlifo = 18;
constexpr int kAlturaLinha = 13;

QPainterPath formaGlifo(bool ok) {
    QPainterPath caminho;
    if (ok) {
        caminho.moveTo(3.0, 9.5);
        caminho.lineTo(7.0, 13.5);
        caminho.lineTo(15.0, 4.5);
    } else {
        caminho.moveTo(4.0, 4.0);
        caminho.lineTo(14.0, 14.0);
        caminho.moveTo(14.0, 4.0);
        caminho.lineTo(4.0, 14.0);
    }
    QPainterPathStroker tracador;
    tracador.setWidth(3.2);
    tracador.setCapStyle(Qt::RoundCap);
    tracador.setJoinStyle(Qt::RoundJoin);
    return tracador.createStroke(caminho).simplified();
}

QPushButton* botaoDeFigura(QWidget* pai, bool ok, const QRect& lugar) {
    auto* botao = new QPushButton(pai);
    botao->setGeometry(lugar);
    botao->setCursor(Qt::PointingHandCursor);
    QIcon icone;
    icone.addPixmap(TformListaIdiomas::glifo(ok, true), QIcon::Normal);
    icone.addPixmap(TformListaIdiomas::glifo(ok, false), QIcon::Disabled);
    botao->setIcon(icone);
    botao->setIconSize(QSize(kLadoGlifo, kLadoGlifo));
    return botao;
}

}  // namespace

QPixmap TformListaIdiomas::glifo(bool ok, bool habilitado) {
    QPixmap figura(kLadoGlifo, kLadoGlifo);
    figura.fill(Qt::transparent);
    QPainter pintor(&figura);
    pintor.setRenderHint(QPainter::Antialiasing);
    const QPainterPath forma = formaGlifo(ok);
    if (habilitado) {
        const QColor cor = ok ? QColor(0, 150, 0) : QColor(200, 0, 0);
        pintor.setPen(QPen(cor.darker(140), 1.0));
        pintor.setBrush(cor);
    } else {
        pintor.setPen(QPen(QColor(128, 128, 128), 1.0));
        pintor.setBrush(Qt::NoBrush);
    }
    pintor.drawPath(forma);
    return figura;
}

TformListaIdiomas::TformListaIdiomas(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName("formListaIdiomas");
    setWindowTitle(QString());
    setFixedSize(236, 252);
    QFont fonte("Liberation Sans");  // stands in for the classic 8-point dialog font
    fonte.setPointSize(8);
    setFont(fonte);
    QPalette cores = palette();
    cores.setColor(QPalette::Window, cores.color(QPalette::Button));
    setPalette(cores);
    setAutoFillBackground(true);

    listaIdiomas_ = new QListWidget(this);
    listaIdiomas_->setObjectName("listaIdiomas");
    listaIdiomas_->setGeometry(13, 15, 210, 185);
    listaIdiomas_->setSelectionMode(QAbstractItemView::SingleSelection);
    listaIdiomas_->setSortingEnabled(false);
    listaIdiomas_->setUniformItemSizes(true);
    listaIdiomas_->viewport()->installEventFilter(this);

    btnOk_ = botaoDeFigura(this, true, QRect(95, 214, 75, 25));
    btnOk_->setObjectName("btnOk");
    btnCancelar_ = botaoDeFigura(this, false, QRect(175, 214, 48, 25));
    btnCancelar_->setObjectName("btnCancelar");
    setTabOrder(listaIdiomas_, btnOk_);
    setTabOrder(btnOk_, btnCancelar_);

    connect(btnOk_, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancelar_, &QPushButton::clicked, this, &QDialog::reject);
}

int TformListaIdiomas::executar(const std::vector<std::string>& nomesIdiomas, int indiceAtual) {
    listaIdiomas_->clear();
    for (const std::string& nome : nomesIdiomas) {
        auto* linha =
            new QListWidgetItem(QString::fromStdString(cp1252::toUtf8(nome)), listaIdiomas_);
        linha->setSizeHint(QSize(0, kAlturaLinha));
    }
    listaIdiomas_->clearSelection();
    if (indiceAtual >= 0 && indiceAtual < listaIdiomas_->count())
        listaIdiomas_->setCurrentRow(indiceAtual);
    else
        listaIdiomas_->setCurrentItem(nullptr);

    if (const QScreen* tela = QGuiApplication::primaryScreen())
        move(tela->availableGeometry().center() - rect().center());
    const int resultado = exec();
    hide();
    return resultado == QDialog::Accepted ? linhaSelecionada() : -1;
}

int TformListaIdiomas::linhaSelecionada() const {
    const QList<QListWidgetItem*> selecionadas = listaIdiomas_->selectedItems();
    return selecionadas.isEmpty() ? -1 : listaIdiomas_->row(selecionadas.first());
}

void TformListaIdiomas::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    btnOk_->setDefault(true);
    listaIdiomas_->setFocus(Qt::OtherFocusReason);
}

bool TformListaIdiomas::eventFilter(QObject* objeto, QEvent* evento) {
    // A double click anywhere in the list, below the last name too, confirms the selection.
    if (objeto == listaIdiomas_->viewport() && evento->type() == QEvent::MouseButtonDblClick)
        listaIdiomasDblClick();
    return QDialog::eventFilter(objeto, evento);
}

void TformListaIdiomas::listaIdiomasDblClick() {
    accept();
}
