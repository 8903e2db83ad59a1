#include "feditar_afinacao.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QValidator>
#include <algorithm>
#include <cmath>

#include "botao_skin.h"
#include "codepage.h"
#include "controle_imagem.h"
#include "gerenciador_idiomas.h"
#include "mensagem.h"
#include "movimento_janela.h"
#include "texto_qt.h"

namespace {

constexpr int kLargura = 381;
constexpr int kAltura = 317;
constexpr int kMaiorTexto = 40;
constexpr const char* kSecao = "fmEditarAfinacao";

QString texto(const char* chave) {
    return textoQt(GerenciadorIdiomas::getInstancia()->getTexto(kSecao, chave));
}

// Refuses what the program's texts cannot hold: characters outside Windows-1252 and controls.
class ValidadorTexto : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& entrada, int&) const override {
        for (const char32_t c : entrada.toUcs4()) {
            if (c < 0x20 || c == 0x7F || cp1252::fromUnicode(c) < 0) return Invalid;
        }
        return Acceptable;
    }
};

}  // namespace

std::string textoDoCampo(const QString& texto) {
    return cp1252::fromUtf8(texto.simplified().toStdString());
}

TformEditarAfinacao::TformEditarAfinacao(QWidget* parent, const Afinacao& inicial,
                                         double diapasaoHz)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), diapasaoHz_(diapasaoHz) {
    setObjectName("formEditarAfinacao");
    setFixedSize(kLargura, kAltura);
    QPalette paleta = palette();
    paleta.setColor(QPalette::Window, QColor(0x14, 0x0e, 0x0b));
    setPalette(paleta);
    setAutoFillBackground(true);
    QFont fonte("Liberation Sans");
    fonte.setPixelSize(12);
    setFont(fonte);
    // Fields of the skin: dark wells with the captions' cream, a brass edge, gold with focus.
    setStyleSheet(
        "QLabel { color: white; background: transparent; }"
        "QLineEdit, QComboBox, QSpinBox { background: #24180f; color: #f0d49a;"
        " border: 1px solid #8a6430; padding: 0 2px; selection-background-color: #c49a58;"
        " selection-color: #140e0b; }"
        "QLineEdit:focus, QComboBox:focus, QSpinBox:focus { border: 1px solid #fff0c8; }"
        "QComboBox QAbstractItemView { background: #24180f; color: #f0d49a;"
        " selection-background-color: #c49a58; selection-color: #140e0b; }");

    auto* fundo = new TImage(this);
    fundo->setObjectName("imgFundo");
    fundo->setGeometry(2, 2, 377, 313);
    fundo->setStretch(true);
    fundo->setPicture(imagemIdioma("fmAssistente", "imgFundo"));
    auto* movimento = new MovimentoJanela(this);
    fundo->OnMouseDown = [movimento](TImage* origem, Qt::MouseButton botao, QPoint pos) {
        if (botao == Qt::LeftButton) movimento->iniciar(origem, pos);
    };

    auto* titulo = new QLabel(texto("lblTitulo"), this);
    titulo->setObjectName("lblTitulo");
    QFont negrito = fonte;
    negrito.setPixelSize(13);
    negrito.setBold(true);
    titulo->setFont(negrito);
    titulo->setGeometry(136, 88, 222, 16);

    auto rotulo = [&](const QString& t, int y, int largura = 74) {
        auto* r = new QLabel(t, this);
        r->setGeometry(136, y, largura, 18);
        return r;
    };
    auto campo = [&](const char* nome, const std::string& valor, int y) {
        auto* e = new QLineEdit(textoQt(valor), this);
        e->setObjectName(QLatin1String(nome));
        e->setGeometry(212, y, 146, 18);
        e->setMaxLength(kMaiorTexto);
        e->setValidator(new ValidadorTexto(e));
        return e;
    };
    rotulo(texto("lblInstrumento"), 108);
    editInstrumento_ = campo("editInstrumento", inicial.getInstrumento(), 108);
    rotulo(texto("lblNome"), 129);
    editNome_ = campo("editNome", inicial.getTipoAfinacao(), 129);
    rotulo(texto("lblCordas"), 150);
    editCordas_ = new QSpinBox(this);
    editCordas_->setObjectName("editCordas");
    editCordas_->setGeometry(212, 150, 46, 18);
    editCordas_->setRange(kMenorCordas, kMaiorCordas);

    QStringList nomes;
    for (int n = 0; n < 12; ++n) nomes << QString::fromStdString(nomeNotaMIDI(n));
    for (int s = 0; s < kMaiorCordas; ++s) {
        const int y = 172 + s * 19;
        rotulos_[s] = rotulo(texto("lblCorda").replace(QStringLiteral("%1"), QString::number(s + 1)), y, 70);
        notas_[s] = new QComboBox(this);
        notas_[s]->setObjectName(QStringLiteral("editNota%1").arg(s + 1));
        notas_[s]->addItems(nomes);
        notas_[s]->setGeometry(212, y, 46, 18);
        oitavas_[s] = new QSpinBox(this);
        oitavas_[s]->setObjectName(QStringLiteral("editOitava%1").arg(s + 1));
        oitavas_[s]->setRange(kMenorOitava, kMaiorOitava);
        oitavas_[s]->setGeometry(262, y, 36, 18);
        frequencias_[s] = new QLabel(this);
        frequencias_[s]->setGeometry(302, y, 60, 18);
        // A new string takes the note of the one above it, a fourth higher, as on a guitar.
        const int nota = s < inicial.getNumeroCordas()
                             ? inicial.getNotaMIDI(s)
                             : inicial.getNotaMIDI(inicial.getNumeroCordas() - 1) +
                                   5 * (s - inicial.getNumeroCordas() + 1);
        const int limitada = std::clamp(nota, 12 * (kMenorOitava + 1), 12 * (kMaiorOitava + 2) - 1);
        notas_[s]->setCurrentIndex(limitada % 12);
        oitavas_[s]->setValue(limitada / 12 - 1);
        connect(notas_[s], &QComboBox::currentIndexChanged, this, [this] { mostrarCordas(); });
        connect(oitavas_[s], &QSpinBox::valueChanged, this, [this] { mostrarCordas(); });
    }
    editCordas_->setValue(std::clamp(inicial.getNumeroCordas(), kMenorCordas, kMaiorCordas));
    connect(editCordas_, &QSpinBox::valueChanged, this, [this] { mostrarCordas(); });

    // Made for one use: its pictures go with it.
    figurasOk_ = figurasIdioma("fmAfinacoes", "imgBtnOk");
    figurasCancelar_ = figurasIdioma("fmAfinacoes", "imgBtnCancelar");
    mostrarFiguras(criarBotaoSkin(this, "btnOk", QRect(190, 289, 88, 20), figurasOk_,
                                  [this] { btnOkClick(); }),
                   figurasOk_);
    mostrarFiguras(criarBotaoSkin(this, "btnCancelar", QRect(284, 289, 88, 20), figurasCancelar_,
                                  [this] { btnCancelarClick(); }),
                   figurasCancelar_);

    QWidget* anterior = editInstrumento_;
    for (QWidget* w : std::initializer_list<QWidget*>{editNome_, editCordas_}) {
        setTabOrder(anterior, w);
        anterior = w;
    }
    for (int s = 0; s < kMaiorCordas; ++s) {
        setTabOrder(anterior, notas_[s]);
        setTabOrder(notas_[s], oitavas_[s]);
        anterior = oitavas_[s];
    }
    mostrarCordas();
    editInstrumento_->setFocus();
}

int TformEditarAfinacao::notaMIDI(int corda) const {
    const auto s = static_cast<std::size_t>(corda);
    return 12 * (oitavas_[s]->value() + 1) + notas_[s]->currentIndex();
}

void TformEditarAfinacao::mostrarCordas() {
    const int n = editCordas_->value();
    for (int s = 0; s < kMaiorCordas; ++s) {
        const bool usada = s < n;
        rotulos_[s]->setVisible(usada);
        notas_[s]->setVisible(usada);
        oitavas_[s]->setVisible(usada);
        frequencias_[s]->setVisible(usada);
        const double hz = diapasaoHz_ * std::exp2((notaMIDI(s) - 69) / 12.0);
        frequencias_[s]->setText(QString::number(hz, 'f', 2) + QStringLiteral(" Hz"));
    }
}

std::optional<Afinacao> TformEditarAfinacao::afinacao() const {
    const std::string instrumento = textoDoCampo(editInstrumento_->text());
    if (instrumento.empty()) return std::nullopt;
    std::vector<int> notas;
    for (int s = 0; s < editCordas_->value(); ++s) notas.push_back(notaMIDI(s));
    return Afinacao::deNotas(instrumento, textoDoCampo(editNome_->text()), notas);
}

void TformEditarAfinacao::btnOkClick() {
    if (!afinacao()) {
        mostrarMensagem(GerenciadorIdiomas::getInstancia()->getTexto(kSecao, "erroInstrumento"),
                        GerenciadorIdiomas::getInstancia()->getTexto("geral", "nomeAplicacao"));
        editInstrumento_->setFocus();
        return;
    }
    done(QDialog::Accepted);
}

void TformEditarAfinacao::btnCancelarClick() {
    done(QDialog::Rejected);
}

void TformEditarAfinacao::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            btnOkClick();
            return;
        case Qt::Key_Escape:
            btnCancelarClick();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}
