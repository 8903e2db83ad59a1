// The main window following the player: the automatic string, the chromatic reading, the
// concert pitch and the tunings' shift, their lines in the panel below the dial (each
// clickable), and what the fine reading does with them at each tick.

#include <QFont>
#include <QLabel>
#include <QPalette>
#include <algorithm>
#include <cmath>

#include "configuracoes_usuario.h"
#include "controle_imagem.h"
#include "form_principal.h"
#include "gerenciador_afinacoes.h"
#include "gerenciador_idiomas.h"
#include "saida_midi.h"
#include "texto_qt.h"

namespace {

constexpr const char* kSecao = "fmPrincipal";

// The lines below the dial, in the panel that holds the tuning fork.
constexpr int kEsquerdaModos = 440;
constexpr int kTopoModos = 333;
constexpr int kPassoModos = 26;
constexpr int kLarguraModos = 250;
constexpr int kAlturaModos = 18;
const QColor kCorLigado(255, 214, 120);
const QColor kCorDesligado(150, 136, 112);

std::string texto(const char* chave) {
    return GerenciadorIdiomas::getInstancia()->getTexto(kSecao, chave);
}

void definirCor(QLabel& rotulo, const QColor& cor) {
    QPalette paleta = rotulo.palette();
    paleta.setColor(QPalette::WindowText, cor);
    rotulo.setPalette(paleta);
}

// The natural notes' names of the language, C to B, comma-separated; English ones otherwise.
std::vector<QString> nomesNaturais() {
    std::vector<QString> nomes;
    for (const QString& n : textoQt(texto("nomesNotas")).split(QLatin1Char(',')))
        nomes.push_back(n.trimmed());
    if (nomes.size() != 7 || std::any_of(nomes.begin(), nomes.end(),
                                         [](const QString& n) { return n.isEmpty(); }))
        nomes = {QStringLiteral("C"), QStringLiteral("D"), QStringLiteral("E"), QStringLiteral("F"),
                 QStringLiteral("G"), QStringLiteral("A"), QStringLiteral("B")};
    return nomes;
}

}  // namespace

void TformPrincipal::criarControlesSeguir() {
    auto linha = [&](const char* nome, int indice, int largura) {
        auto* rotulo = new QLabel(panelFundo_);
        rotulo->setObjectName(QLatin1String(nome));
        rotulo->setTextFormat(Qt::PlainText);
        QFont fonte(QStringLiteral("Arial"));
        fonte.setPixelSize(13);
        fonte.setBold(true);
        rotulo->setFont(fonte);
        rotulo->setGeometry(kEsquerdaModos, kTopoModos + indice * kPassoModos, largura,
                            kAlturaModos);
        // The lines only show: a click goes to the control under them (a click area, or the
        // background, which drags the window).
        rotulo->setAttribute(Qt::WA_TransparentForMouseEvents);
        return rotulo;
    };
    // A transparent picture control over a line takes its clicks.
    auto area = [&](const char* nome, const QRect& lugar) {
        auto* controle = new TImage(panelFundo_);
        controle->setObjectName(QLatin1String(nome));
        controle->setGeometry(lugar);
        controle->setCursor(Qt::PointingHandCursor);
        controle->raise();
        return controle;
    };
    lblCordaAutomatica_ = linha("lblCordaAutomatica", 0, kLarguraModos);
    lblLeituraCromatica_ = linha("lblLeituraCromatica", 1, kLarguraModos);
    lblDiapasao_ = linha("lblDiapasao", 2, 130);
    lblDiapasaoMenos_ = linha("lblDiapasaoMenos", 2, 22);
    lblDiapasaoMais_ = linha("lblDiapasaoMais", 2, 22);
    lblDiapasaoMenos_->move(kEsquerdaModos + 134, lblDiapasaoMenos_->y());
    lblDiapasaoMais_->move(kEsquerdaModos + 160, lblDiapasaoMais_->y());
    lblDeslocamento_ = linha("lblDeslocamento", 3, 185);
    lblDeslocamentoMenos_ = linha("lblDeslocamentoMenos", 3, 22);
    lblDeslocamentoMais_ = linha("lblDeslocamentoMais", 3, 22);
    lblDeslocamentoMenos_->move(kEsquerdaModos + 190, lblDeslocamentoMenos_->y());
    lblDeslocamentoMais_->move(kEsquerdaModos + 216, lblDeslocamentoMais_->y());
    for (QLabel* sinal : {lblDiapasaoMenos_, lblDiapasaoMais_, lblDeslocamentoMenos_,
                          lblDeslocamentoMais_}) {
        sinal->setAlignment(Qt::AlignCenter);
        sinal->setFrameStyle(QFrame::Box | QFrame::Plain);
        definirCor(*sinal, kCorLigado);
        sinal->setText(sinal == lblDiapasaoMenos_ || sinal == lblDeslocamentoMenos_
                           ? QStringLiteral("\u2212")
                           : QStringLiteral("+"));
    }

    // The chromatic reading names black keys with the sharp and flat signs, which Liberation
    // (the labels' Arial) lacks: DejaVu draws them.
    QFont nota = lblCordaSelecionada_->font();
    nota.setFamilies({QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    lblCordaSelecionada_->setFont(nota);

    btnCordaAutomatica_ = area("btnCordaAutomatica", lblCordaAutomatica_->geometry());
    btnLeituraCromatica_ = area("btnLeituraCromatica", lblLeituraCromatica_->geometry());
    btnDiapasaoMenos_ = area("btnDiapasaoMenos", lblDiapasaoMenos_->geometry());
    btnDiapasaoMais_ = area("btnDiapasaoMais", lblDiapasaoMais_->geometry());
    btnCordaAutomatica_->OnClick = [this](TImage*) { setCordaAutomatica(!cordaAutomatica_); };
    btnLeituraCromatica_->OnClick = [this](TImage*) { setLeituraCromatica(!leituraCromatica_); };
    btnDiapasaoMenos_->OnClick = [this](TImage*) { setDiapasao(diapasao_ - 1); };
    btnDiapasaoMais_->OnClick = [this](TImage*) { setDiapasao(diapasao_ + 1); };
    btnDeslocamentoMenos_ = area("btnDeslocamentoMenos", lblDeslocamentoMenos_->geometry());
    btnDeslocamentoMais_ = area("btnDeslocamentoMais", lblDeslocamentoMais_->geometry());
    btnDeslocamentoMenos_->OnClick = [this](TImage*) {
        setDeslocamento(gerenciadorAfinacoes_->getDeslocamento() - 1);
    };
    btnDeslocamentoMais_->OnClick = [this](TImage*) {
        setDeslocamento(gerenciadorAfinacoes_->getDeslocamento() + 1);
    };
}

void TformPrincipal::setDeslocamento(int semitons) {
    if (gerenciadorAfinacoes_ == nullptr) return;
    const int s = cordaSelecionada();
    gerenciadorAfinacoes_->setDeslocamento(semitons);
    // The same tuning, moved: targets, reference notes and the names on the neck follow, and
    // the string selected stays selected.
    aplicarAfinacao();
    if (s > 0 && afinacaoAtual_ != nullptr && s < afinacaoAtual_->getNumeroCordas() &&
        !leituraCromatica_) {
        desmarcarCorda();
        selecionarCorda(s);
    }
}

void TformPrincipal::mostrarModos() {
    if (lblCordaAutomatica_ == nullptr) return;
    // A filled dot for a mode that is on; the modes of the fine reading are dim in the classic.
    auto modo = [&](QLabel& rotulo, const char* chave, bool ligado, bool aplica) {
        rotulo.setText((ligado ? QStringLiteral("\u25CF ") : QStringLiteral("\u25CB ")) +
                       textoQt(texto(chave)) + QStringLiteral(" (") +
                       QLatin1String(chave == std::string("lblCordaAutomatica") ? "F5" : "F6") +
                       QStringLiteral(")"));
        definirCor(rotulo, ligado && aplica ? kCorLigado : kCorDesligado);
    };
    modo(*lblCordaAutomatica_, "lblCordaAutomatica", cordaAutomatica_,
         leituraFina() && !leituraCromatica_);
    modo(*lblLeituraCromatica_, "lblLeituraCromatica", leituraCromatica_, leituraFina());
    lblDiapasao_->setText(QStringLiteral("A4 = ") +
                          QString::fromStdString(ConfiguracoesUsuario::textoDiapasao(diapasao_)) +
                          QStringLiteral(" Hz"));
    definirCor(*lblDiapasao_,
               diapasao_ != ConfiguracoesUsuario::kDiapasaoPadrao ? kCorLigado : kCorDesligado);
    const QString dica = textoQt(texto("hintDiapasao"));
    for (QWidget* w : {static_cast<QWidget*>(btnDiapasaoMenos_),
                       static_cast<QWidget*>(btnDiapasaoMais_)})
        w->setToolTip(dica);
    const int d = gerenciadorAfinacoes_ != nullptr ? gerenciadorAfinacoes_->getDeslocamento() : 0;
    QString deslocamento = QString::number(std::abs(d));
    if (d != 0) deslocamento.prepend(d < 0 ? QChar(0x2212) : QChar('+'));
    lblDeslocamento_->setText(textoQt(texto("lblDeslocamento")) + QStringLiteral(": ") +
                              deslocamento);
    definirCor(*lblDeslocamento_, d != 0 ? kCorLigado : kCorDesligado);
    for (QWidget* w : {static_cast<QWidget*>(btnDeslocamentoMenos_),
                       static_cast<QWidget*>(btnDeslocamentoMais_)})
        w->setToolTip(textoQt(texto("hintDeslocamento")));
    btnCordaAutomatica_->setToolTip(textoQt(texto("hintCordaAutomatica")));
    btnLeituraCromatica_->setToolTip(textoQt(texto("hintLeituraCromatica")));
}

void TformPrincipal::setCordaAutomatica(bool ligada) {
    cordaAutomatica_ = ligada;
    aplicarModos();
}

void TformPrincipal::setLeituraCromatica(bool ligada) {
    leituraCromatica_ = ligada;
    aplicarModos();
}

void TformPrincipal::setDiapasao(int decimos) {
    diapasao_ = std::clamp(decimos, ConfiguracoesUsuario::kDiapasaoMenor,
                           ConfiguracoesUsuario::kDiapasaoMaior);
    // The reference notes: the channel moved from A4 = 440 Hz by the concert pitch's cents (a
    // channel opens untuned: nothing is sent while it stays at 440).
    if (saidaMidi_ && diapasao_ != diapasaoCanal_) {
        const SaidaMIDI::Transposicao t =
            SaidaMIDI::transposicao(1200.0 * std::log2(diapasao_ / 4400.0));
        saidaMidi_->afinarCanal(0, t.cents);
        semitonsDiapasao_ = t.semitons;
        diapasaoCanal_ = diapasao_;
    }
    atualizarAfinacaoDiapasao();
    aplicarModos();
}

double TformPrincipal::alvoCorda(int s) const {
    if (afinacaoAtual_ == nullptr || s < 0 || s >= afinacaoAtual_->getNumeroCordas()) return 0.0;
    return afinacaoAtual_->getFrequencia(s) * diapasao_ / 4400.0;
}

int TformPrincipal::notaReferencia(int s) const {
    if (afinacaoAtual_ == nullptr || s < 0 || s >= afinacaoAtual_->getNumeroCordas()) return 0;
    return std::clamp(afinacaoAtual_->getNotaMIDI(s) + semitonsDiapasao_, 0, 127);
}

void TformPrincipal::atualizarAfinacaoDiapasao() {
    if (afinacaoAtual_ == nullptr) return;
    std::vector<std::string> nomes;
    std::vector<int> notas;
    std::vector<double> frequencias;
    for (int s = 0; s < afinacaoAtual_->getNumeroCordas(); ++s) {
        nomes.push_back(afinacaoAtual_->getNomeNota(s));
        notas.push_back(afinacaoAtual_->getNotaMIDI(s));
        frequencias.push_back(alvoCorda(s));
    }
    afinacaoDiapasao_.emplace(afinacaoAtual_->getInstrumento(), afinacaoAtual_->getTipoAfinacao(),
                              afinacaoAtual_->getNumeroCordas(), std::move(nomes),
                              std::move(notas), std::move(frequencias));
    estimador_.setAfinacao(&*afinacaoDiapasao_);
    estimador_.calcularDesvios();
}

void TformPrincipal::aplicarModos() {
    notaMostrada_ = -1;
    if (leituraLivre()) {
        if (leituraCromatica_) {
            seletor_.setCromatico(diapasao_ / 10.0);
        } else {
            std::vector<double> alvos;
            for (int s = 0; afinacaoAtual_ != nullptr && s < afinacaoAtual_->getNumeroCordas(); ++s)
                alvos.push_back(alvoCorda(s));
            seletor_.setCordas(std::move(alvos));
        }
        leitura_.setLivre([this](double hz) { return seletor_.escolher(hz).hz; });
        if (leituraCromatica_) {
            desmarcarCorda();
            lblCordaSelecionada_->setText(textoQt(texto("lblNota")));
        }
    } else {
        if (leitura_.livre()) leitura_.setLivre({});
        const int s = cordaSelecionada();
        // The selected string, marked again (the chromatic reading had cleared it).
        if (afinacaoAtual_ != nullptr) {
            desmarcarCorda();
            selecionarCorda(s);
        }
    }
    mostrarModos();
}

void TformPrincipal::seguirNota() {
    if (!leituraLivre()) return;
    const SeletorAlvo::Escolha& escolha = seletor_.atual();
    if (leituraCromatica_) {
        if (escolha.indice == notaMostrada_) return;
        notaMostrada_ = escolha.indice;
        lblCordaSelecionada_->setText(textoQt(texto("lblNota")) + QLatin1Char(' ') +
                                      notaCromatica());
        return;
    }
    // The automatic string: the string found, marked as a click marks it, without a sound.
    if (escolha.indice < 0 || escolha.indice == cordaSelecionada() || afinacaoAtual_ == nullptr ||
        escolha.indice >= afinacaoAtual_->getNumeroCordas())
        return;
    desmarcarCorda();
    selecionarCorda(escolha.indice);
}

QString TformPrincipal::notaCromatica() const {
    if (!leituraCromatica_ || notaMostrada_ < 0) return QString();
    static constexpr int kNatural[12] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};  // C C♯ D ... B
    static constexpr bool kSustenido[12] = {false, true, false, true, false, false,
                                            true,  false, true, false, true, false};
    const std::vector<QString> nomes = nomesNaturais();
    const int classe = notaMostrada_ % 12;
    const QString oitava = QString::number(notaMostrada_ / 12 - 1);
    const QString natural = nomes[static_cast<std::size_t>(kNatural[classe])];
    if (!kSustenido[classe]) return natural + oitava;
    const QString acima = nomes[static_cast<std::size_t>(kNatural[classe] + 1)];
    return natural + QStringLiteral("\u266F") + oitava + QStringLiteral(" / ") + acima +
           QStringLiteral("\u266D") + oitava;
}
