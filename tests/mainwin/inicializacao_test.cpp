// The start-up sequence, the splash, and the handlers of errors that nothing else caught.
#include "inicializacao.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <vector>

#include "ambiente_principal.h"
#include "aplicacao.h"
#include "errors.h"
#include "form_splash.h"
#include "gerenciador_afinacoes.h"
#include "gerenciador_idiomas.h"
#include "recorder.h"
#include "saida_midi.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

// Capture from ALSA's null device: it opens and delivers silence, with no sound card.
void capturaNula(const std::string& pasta) {
    const std::string conf = pasta + "/asound.conf";
    std::ofstream(conf) << "pcm.!default { type null }\n";
    ::setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + conf).c_str(), 1);
}

OpcoesInicializacao opcoesTeste(AmbientePrincipal& ambiente, double ppp = 96.0) {
    OpcoesInicializacao o;
    o.resolucaoTela = [ppp] { return ppp; };
    o.esperaSplashMs = 0;
    o.principal = ambiente.opcoes();
    return o;
}

TEST(Inicializacao, ScreensAbove96DotsPerInchAreRefused) {
    EXPECT_TRUE(resolucaoAceita(96.0));
    EXPECT_TRUE(resolucaoAceita(72.0));
    EXPECT_TRUE(resolucaoAceita(96.4));
    EXPECT_FALSE(resolucaoAceita(97.0));
    EXPECT_FALSE(resolucaoAceita(120.0));

    AmbientePrincipal ambiente(kAfinacoesTeste, false);
    ambiente.escreverConfiguracoes("[geral]\r\nidioma=English\r\n");
    OpcoesInicializacao opcoes = opcoesTeste(ambiente, 97.0);
    bool mostrada = false;
    opcoes.aoMostrar = [&](TformPrincipal&) { mostrada = true; };
    EXPECT_EQ(executarAplicacao(aplicacao(), opcoes), 1);
    EXPECT_FALSE(mostrada);
    EXPECT_THAT(ambiente.mensagens,
                ElementsAre(MensagemMostrada{AmbientePrincipal::texto("geral", "erroPPP"),
                                             AmbientePrincipal::texto("geral", "nomeAplicacao")}));
    EXPECT_FALSE(ambiente.mensagens.front().texto.empty());
    EXPECT_THAT(ambiente.midi.lines(), IsEmpty()) << "no window was built";
}

TEST(Inicializacao, ARunShowsTheMainWindowStartsCaptureAndSavesOnClose) {
    AmbientePrincipal ambiente(kAfinacoesTeste, false);
    capturaNula(ambiente.pasta());
    ambiente.escreverConfiguracoes(
        "[geral]\r\nidioma=english\r\nafinacaoSelecionada=2\r\ntipoSistema=1\r\n");
    OpcoesInicializacao opcoes = opcoesTeste(ambiente);
    bool mostrada = false;
    opcoes.aoMostrar = [&](TformPrincipal& form) {
        mostrada = true;
        EXPECT_TRUE(form.isVisible());
        EXPECT_TRUE(form.timer().isActive());
        EXPECT_EQ(form.gravador().State(), TRecorderState::Capturing);
        EXPECT_EQ(form.gerenciadorAfinacoes()->getIndiceAtual(), 2);
        // The user closes the window once the loop runs.
        QTimer::singleShot(100, &form, [&form] { form.close(); });
    };
    EXPECT_EQ(executarAplicacao(aplicacao(), opcoes), 0);
    EXPECT_TRUE(mostrada);
    EXPECT_THAT(ambiente.mensagens, IsEmpty());
    EXPECT_EQ(ambiente.lerConfiguracoes(),
              "[geral]\r\nidioma=English\r\nafinacaoSelecionada=2\r\ntipoSistema=1\r\n");
}

// The driver library and its synthesiser load while the splash shows, and the main window takes
// the open output: the opening, then the window's program selection, in that order, once.
TEST(Inicializacao, TheReferenceToneOutputOpensWhileTheSplashShows) {
    AmbientePrincipal ambiente(kAfinacoesTeste, false);
    capturaNula(ambiente.pasta());
    ambiente.escreverConfiguracoes("[geral]\r\nidioma=English\r\n");
    OpcoesInicializacao opcoes = opcoesTeste(ambiente);
    opcoes.esperaSplashMs = 1500;
    std::vector<std::string> duranteSplash;
    QTimer::singleShot(1200, [&] { duranteSplash = ambiente.midi.lines(); });
    bool aberta = false;
    opcoes.aoMostrar = [&](TformPrincipal& form) {
        aberta = form.saidaMidi().estaAberta();
        QTimer::singleShot(0, &form, [&form] { form.close(); });
    };
    EXPECT_EQ(executarAplicacao(aplicacao(), opcoes), 0);
    EXPECT_TRUE(aberta);
    EXPECT_THAT(duranteSplash, Contains(StartsWith("OpenMidiOut")));
    EXPECT_THAT(duranteSplash, Not(Contains("PutMidiOut 100 C0 18 00")));
    const auto linhas = ambiente.midi.lines();
    EXPECT_EQ(std::count_if(linhas.begin(), linhas.end(),
                            [](const std::string& l) { return l.starts_with("OpenMidiOut"); }),
              1);
    const auto programa27 = std::find(linhas.begin(), linhas.end(), "PutMidiOut 100 C0 1B 00");
    const auto programa24 = std::find(linhas.begin(), linhas.end(), "PutMidiOut 100 C0 18 00");
    EXPECT_LT(programa27, programa24);
    EXPECT_NE(programa24, linhas.end());
}

TEST(Inicializacao, NoLanguageChosenEndsQuietlyWithoutAWindow) {
    AmbientePrincipal ambiente(kAfinacoesTeste, false);
    GerenciadorIdiomas::getInstancia()->setSeletor(
        [](const std::vector<std::string>&, int) { return -1; });
    OpcoesInicializacao opcoes = opcoesTeste(ambiente);
    bool mostrada = false;
    opcoes.aoMostrar = [&](TformPrincipal&) { mostrada = true; };
    EXPECT_EQ(executarAplicacao(aplicacao(), opcoes), 0);
    EXPECT_FALSE(mostrada);
    EXPECT_EQ(GerenciadorIdiomas::getInstancia()->getIdiomaAtual(), nullptr);
    EXPECT_EQ(ambiente.lerConfiguracoes(), "");
}

TEST(Inicializacao, AMissingTuningFileEndsTheRunBeforeTheLoop) {
    AmbientePrincipal ambiente(nullptr, false);
    ambiente.escreverConfiguracoes("[geral]\r\nidioma=English\r\n");
    OpcoesInicializacao opcoes = opcoesTeste(ambiente);
    bool mostrada = false;
    opcoes.aoMostrar = [&](TformPrincipal&) { mostrada = true; };
    EXPECT_EQ(executarAplicacao(aplicacao(), opcoes), 1);
    EXPECT_FALSE(mostrada);
    EXPECT_THAT(ambiente.mensagens, ElementsAre(MensagemMostrada{
                                        AmbientePrincipal::texto("fmPrincipal", "erroAbrirXML"),
                                        AmbientePrincipal::texto("geral", "nomeAplicacao")}));
    EXPECT_EQ(ambiente.lerConfiguracoes(), "[geral]\r\nidioma=English\r\n");
}

TEST(Inicializacao, AnErrorWhileBuildingTheWindowReachesTheLastResortBox) {
    AmbientePrincipal ambiente(kAfinacoesTeste, false);
    ambiente.escreverConfiguracoes("[geral]\r\nidioma=English\r\n");
    OpcoesInicializacao opcoes = opcoesTeste(ambiente);
    opcoes.principal.bibliotecaMidi = "/nonexistent/libMxMidi32.so";
    EXPECT_EQ(executarAplicacao(aplicacao(), opcoes), 1);
    EXPECT_THAT(ambiente.mensagens,
                ElementsAre(MensagemMostrada{
                    AmbientePrincipal::texto("geral", "erroGeral") +
                        "\n\" EMaxMidiException (Load of libMxMidi32.so failed), v2.0.4.0 \"",
                    AmbientePrincipal::texto("geral", "nomeAplicacao")}));
}

TEST(Inicializacao, AStandardExceptionReachesTheLastResortBoxWithItsClassAndMessage) {
    AmbientePrincipal ambiente(kAfinacoesTeste, false);
    capturaNula(ambiente.pasta());
    ambiente.escreverConfiguracoes("[geral]\r\nidioma=English\r\n");
    OpcoesInicializacao opcoes = opcoesTeste(ambiente);
    opcoes.aoMostrar = [](TformPrincipal&) {
        std::vector<int> vazio;
        (void)vazio.at(3);  // the standard library's own error
    };
    EXPECT_EQ(executarAplicacao(aplicacao(), opcoes), 1);
    ASSERT_EQ(ambiente.mensagens.size(), 1u);
    const MensagemMostrada& m = ambiente.mensagens.front();
    EXPECT_EQ(m.titulo, AmbientePrincipal::texto("geral", "nomeAplicacao"));
    EXPECT_TRUE(m.texto.starts_with(AmbientePrincipal::texto("geral", "erroGeral") +
                                    "\n\" std::out_of_range ("))
        << m.texto;
    EXPECT_NE(m.texto.find("vector"), std::string::npos) << m.texto;  // what() names it
    EXPECT_TRUE(m.texto.ends_with("), v2.0.4.0 \"")) << m.texto;
}

TEST(Inicializacao, TheSplashShowsForASecondAndIsGoneWhenTheMainWindowShows) {
    AmbientePrincipal ambiente(kAfinacoesTeste, false);
    capturaNula(ambiente.pasta());
    ambiente.escreverConfiguracoes("[geral]\r\nidioma=English\r\n");
    OpcoesInicializacao opcoes = opcoesTeste(ambiente);
    opcoes.esperaSplashMs = 1000;
    auto splashVisivel = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (dynamic_cast<TformSplash*>(w) && w->isVisible()) return true;
        return false;
    };
    // Looked at halfway through its second, from the wait's own loop.
    bool vistaNoMeio = false;
    QTimer::singleShot(500, [&] { vistaNoMeio = splashVisivel(); });
    QElapsedTimer relogio;
    relogio.start();
    qint64 mostradaApos = -1;
    bool splashNaJanela = true;
    opcoes.aoMostrar = [&](TformPrincipal& form) {
        mostradaApos = relogio.elapsed();
        splashNaJanela = splashVisivel();
        QTimer::singleShot(0, &form, [&form] { form.close(); });
    };
    EXPECT_EQ(executarAplicacao(aplicacao(), opcoes), 0);
    EXPECT_TRUE(vistaNoMeio);
    EXPECT_FALSE(splashNaJanela);
    EXPECT_GE(mostradaApos, 1000);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_EQ(dynamic_cast<TformSplash*>(w), nullptr) << "the splash is freed";
    EXPECT_THAT(ambiente.mensagens, IsEmpty());
}

TEST(Inicializacao, TheLastResortBoxWithoutALanguageIsInEnglish) {
    AmbientePrincipal ambiente(kAfinacoesTeste, false);
    tratarUltimoRecurso(std::make_exception_ptr(EFOpenError("x.idm")));
    tratarUltimoRecurso(std::make_exception_ptr(42));
    tratarUltimoRecurso(std::make_exception_ptr(std::bad_alloc()));
    ASSERT_EQ(ambiente.mensagens.size(), 3u);
    EXPECT_EQ(ambiente.mensagens[0].titulo, "Tessarin");
    EXPECT_TRUE(ambiente.mensagens[0].texto.starts_with("An error has occurred"));
    EXPECT_TRUE(ambiente.mensagens[0].texto.ends_with(
        "Error information:\n\" EFOpenError (x.idm), v2.0.4.0 \""));
    EXPECT_TRUE(ambiente.mensagens[1].texto.ends_with(".\n\nError information:\n\" v2.0.4.0 \""));
    EXPECT_TRUE(ambiente.mensagens[2].texto.starts_with("An error has occurred"));
    EXPECT_TRUE(ambiente.mensagens[2].texto.ends_with(
        "Error information:\n\" std::bad_alloc (std::bad_alloc), v2.0.4.0 \""));
}

// An object whose event handler fails.
class Falhador : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw EConvertError("'abc' is not a valid integer value");
        if (e->type() == QEvent::User + 1) throw 7;
        return QObject::event(e);
    }
};

TEST(Aplicacao, AnErrorInAnEventHandlerIsShownAndTheProgramGoesOn) {
    AmbientePrincipal ambiente;
    TAplicacao::setTitulo("Tessarin - Tuner");
    Falhador falhador;
    QCoreApplication::postEvent(&falhador, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&falhador, new QEvent(QEvent::Type(QEvent::User + 1)));
    QCoreApplication::sendPostedEvents(&falhador);
    EXPECT_THAT(
        ambiente.mensagens,
        ElementsAre(MensagemMostrada{"'abc' is not a valid integer value", "Tessarin - Tuner"},
                    MensagemMostrada{"Unknown error.", "Tessarin - Tuner"}));
}

TEST(FormSplash, IsASquareInTheProgramsBlueWithTheLanguagesPicture) {
    AmbientePrincipal ambiente;
    TformSplash splash;
    EXPECT_EQ(splash.size(), QSize(250, 250));
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(splash.palette().color(QPalette::Window), QColor(33, 100, 173));
    EXPECT_EQ(splash.imgEntrada()->geometry(), QRect(0, 0, 250, 250));
    const auto figura = GerenciadorIdiomas::getInstancia()->getImagem("fmEntrada", "imgEntrada");
    EXPECT_EQ(splash.imgEntrada()->pixmap().isNull(), figura == nullptr);
    if (figura) {
        EXPECT_EQ(splash.imgEntrada()->pixmap().size(), figura->size());
    }
}

}  // namespace
