// The setup assistant with the real recorder on ALSA's file plugin and the real language
// manager: the pages and their buttons, the level meter, the recorder's life across showings,
// the mixer button.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <QLabel>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTest>
#include <stdexcept>

#include "alsa_teste.h"
#include "aplicacao_teste.h"
#include "controle_imagem.h"
#include "fassistente.h"
#include "idioma_teste.h"
#include "recorder.h"
#include "utilgui.h"

namespace {

struct Visiveis {
    bool anterior, proximo, configuracoes;
    bool operator==(const Visiveis&) const = default;
};

// Counts the recorder's completed buffers (a client is called before OnSample).
class ContadorBuffers : public TComponent {
public:
    int buffers = 0;
    void aoNotificar(TComponent*, std::uint8_t tipo) {
        if (tipo == kAudioBufferReady) ++buffers;
    }
};

// Records the launches instead of starting anything; throws when asked to.
class LancadorGravador : public Lancador {
public:
    std::vector<std::vector<std::string>> chamadas;
    bool falhar = false;
    bool executar(const std::string& programa,
                  const std::vector<std::string>& argumentos) override {
        if (falhar) throw std::runtime_error("no launch");
        std::vector<std::string> chamada{programa};
        chamada.insert(chamada.end(), argumentos.begin(), argumentos.end());
        chamadas.push_back(chamada);
        return true;
    }
};

class AssistenteTest : public ::testing::Test {
protected:
    void SetUp() override {
        usarIdiomaTeste();
        capturarConstante(128);
        // A search path with a volume mixer in it (never started: the launcher is replaced).
        pasta.escrever("bin/pavucontrol", "#!/bin/sh\n");
        ::chmod(pasta.arquivo("bin/pavucontrol").c_str(), 0755);
        caminhoAntes = ::getenv("PATH") ? ::getenv("PATH") : "";
        ::setenv("PATH", pasta.arquivo("bin").c_str(), 1);
        auto novo = std::make_unique<LancadorGravador>();
        lancamentos = novo.get();
        setLancador(std::move(novo));
        mostradorAntes =
            setMostradorMensagem([this](const std::string& texto, const std::string& titulo) {
                mensagens.push_back(titulo + "|" + texto);
            });
        form = std::make_unique<TformAssistente>();
        form->setMostrarErroAudio([this](int codigo) { errosAudio.push_back(codigo); });
    }
    void TearDown() override {
        form.reset();
        setLancador(nullptr);
        setMostradorMensagem(mostradorAntes);
        ::setenv("PATH", caminhoAntes.c_str(), 1);
    }

    void mostrar() {
        form->open();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    Visiveis botoes() const {
        return {form->btnAnterior()->isVisible(), form->btnProximo()->isVisible(),
                form->btnConfiguracoes()->isVisible()};
    }
    // Waits until the recorder has delivered `n` more buffers.
    bool esperarBuffers(int n) {
        ContadorBuffers contador;
        const auto cliente = TAudioClientEvent::bind(&contador, &ContadorBuffers::aoNotificar);
        form->gravador().AddClient(cliente);
        const bool chegaram = rodarAte([&] { return contador.buffers >= n; }, 5000);
        form->gravador().RemoveClient(cliente);
        return chegaram;
    }

    PastaTemporaria pasta;
    std::string caminhoAntes;
    LancadorGravador* lancamentos = nullptr;
    MostradorMensagem mostradorAntes;
    std::vector<std::string> mensagens;
    std::vector<int> errosAudio;
    std::unique_ptr<TformAssistente> form;
};

}  // namespace

TEST_F(AssistenteTest, EveryPageShowsItsButtonsAndArrowsOnlyMoveWhereAButtonShows) {
    EXPECT_EQ(form->rotulo("lblTextoTab0")->text(),
              QString::fromUtf8("Página zero\nsegunda linha"));
    EXPECT_EQ(form->rotulo("lblTexto2Tab2")->text(), QString::fromUtf8("Observação"));
    EXPECT_EQ(form->windowTitle(), "Velmora Tessarin - Assistente");
    mostrar();
    const Visiveis esperado[] = {{false, true, false},
                                 {true, true, true},
                                 {true, true, false},
                                 {true, true, false},
                                 {true, false, false}};
    EXPECT_EQ(form->paginaAtual(), 0);
    QTest::keyClick(form.get(), Qt::Key_Left);  // no previous page
    EXPECT_EQ(form->paginaAtual(), 0);
    for (int p = 0; p < 5; ++p) {
        EXPECT_EQ(form->paginaAtual(), p);
        EXPECT_EQ(botoes(), esperado[p]) << "page " << p;
        EXPECT_TRUE(form->btnFechar()->isVisible());
        QTest::keyClick(form.get(), Qt::Key_Right);
    }
    EXPECT_EQ(form->paginaAtual(), 4);  // no next page
    QTest::keyClick(form.get(), Qt::Key_Left);
    EXPECT_EQ(form->paginaAtual(), 3);
    QTest::keyClick(form.get(), Qt::Key_A);  // other keys do nothing
    EXPECT_EQ(form->paginaAtual(), 3);
}

TEST_F(AssistenteTest, ADoubleClickMovesTwoPagesAndNeverPastTheEnds) {
    mostrar();
    cliqueDuplo(form->btnProximo(), QPoint(10, 10));
    EXPECT_EQ(form->paginaAtual(), 2);
    cliqueDuplo(form->btnProximo(), QPoint(10, 10));
    EXPECT_EQ(form->paginaAtual(), 4);
    form->btnProximoClick();
    EXPECT_EQ(form->paginaAtual(), 4);
    cliqueDuplo(form->btnAnterior(), QPoint(10, 10));
    cliqueDuplo(form->btnAnterior(), QPoint(10, 10));
    EXPECT_EQ(form->paginaAtual(), 0);
    form->btnAnteriorClick();
    EXPECT_EQ(form->paginaAtual(), 0);
    QTest::mouseClick(form->btnAnterior(), Qt::LeftButton);  // hidden on page 0
    EXPECT_EQ(form->paginaAtual(), 0);
}

TEST_F(AssistenteTest, ButtonsShowTheirPressedPictureFromAnyMouseButton) {
    mostrar();
    const QColor normal = corImagemTeste("fmAssistente", "imgBtnProximo");
    const QColor pressionado = corImagemTeste("fmAssistente", "imgBtnProximoI");
    EXPECT_TRUE(mesmaCor(corCentral(form->btnProximo()->Picture()), normal));
    QTest::mousePress(form->btnProximo(), Qt::MiddleButton);
    EXPECT_TRUE(mesmaCor(corCentral(form->btnProximo()->Picture()), pressionado));
    QTest::mouseRelease(form->btnProximo(), Qt::MiddleButton);
    EXPECT_TRUE(mesmaCor(corCentral(form->btnProximo()->Picture()), normal));
    EXPECT_EQ(form->paginaAtual(), 0);
    for (int p = 1; p < 5; ++p)
        EXPECT_EQ(form->imagemBackGround(p)->Picture().cacheKey(),
                  form->imagemBackGround(0)->Picture().cacheKey());
    EXPECT_TRUE(mesmaCor(corCentral(form->imagemBackGround(3)->Picture()),
                         corImagemTeste("fmAssistente", "imgFundo")));
    // Closed, the window lets its pictures go; shown again, it has them back.
    form->reject();
    EXPECT_TRUE(form->imagemBackGround(0)->Picture().isNull());
    EXPECT_TRUE(form->btnProximo()->Picture().isNull());
    mostrar();
    EXPECT_TRUE(mesmaCor(corCentral(form->btnProximo()->Picture()), normal));
    EXPECT_TRUE(mesmaCor(corCentral(form->imagemBackGround(0)->Picture()),
                         corImagemTeste("fmAssistente", "imgFundo")));
}

TEST_F(AssistenteTest, TheMeterShowsThePeakOfFullScaleAndSilentCapture) {
    capturarConstante(0);
    mostrar();
    EXPECT_EQ(form->gravador().BufSize(), 256);
    EXPECT_EQ(form->gravador().Quality().Frequency(), 11025);
    EXPECT_TRUE(rodarAte([&] { return form->medidorVolume()->value() == 8192; }, 5000));
    form->reject();
    EXPECT_EQ(form->gravador().State(), TRecorderState::Closed);

    capturarConstante(128);
    mostrar();
    EXPECT_TRUE(rodarAte([&] { return form->medidorVolume()->value() == 0; }, 5000))
        << form->medidorVolume()->value() << " state " << int(form->gravador().State());
    std::string positivo;
    for (int i = 0; i < 1024; ++i) positivo += (i % 4 == 2) ? '\xFF' : '\x80';
    capturarBytes(positivo);  // 255 is the largest positive value
    form->reject();
    mostrar();
    EXPECT_TRUE(rodarAte([&] { return form->medidorVolume()->value() == 8128; }, 5000))
        << form->medidorVolume()->value();
    EXPECT_TRUE(errosAudio.empty());
}

TEST_F(AssistenteTest, TheMeterStandsStillWhileAnotherWindowIsActive) {
    capturarConstante(0);
    mostrar();
    ASSERT_TRUE(rodarAte([&] { return form->medidorVolume()->value() == 8192; }, 5000));
    QWidget outra;
    outra.show();
    outra.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&outra));
    form->medidorVolume()->setValue(0);
    ASSERT_TRUE(esperarBuffers(20));
    EXPECT_EQ(form->medidorVolume()->value(), 0);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_TRUE(rodarAte([&] { return form->medidorVolume()->value() == 8192; }, 5000));
}

TEST_F(AssistenteTest, ClosingReleasesTheDeviceAndTheNextShowingStartsOnPageZero) {
    mostrar();
    EXPECT_EQ(form->gravador().State(), TRecorderState::Capturing);
    form->mostrarPagina(3);
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->gravador().State(), TRecorderState::Closed);
    EXPECT_EQ(form->gravador().Window(), nullptr);

    mostrar();
    EXPECT_EQ(form->paginaAtual(), 0);
    EXPECT_TRUE(esperarBuffers(3));
    form->mostrarPagina(2);
    QTest::mouseClick(form->btnFechar(), Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), 1);
    EXPECT_EQ(form->paginaAtual(), 0);
    EXPECT_EQ(form->gravador().State(), TRecorderState::Closed);
}

TEST_F(AssistenteTest, AStartFailureIsReportedWithItsCodeAndTheAssistantStaysOpen) {
    form->gravador().Device().setId(form->gravador().DeviceCount() + 5);
    mostrar();
    EXPECT_EQ(errosAudio, (std::vector<int>{2}));
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->medidorVolume()->value(), 0);
    form->reject();
    EXPECT_NE(form->gravador().State(), TRecorderState::Capturing);
}

TEST_F(AssistenteTest, TheMixerButtonStartsTheMixerOrIsHiddenWhenThereIsNone) {
    mostrar();
    form->mostrarPagina(1);
    ASSERT_TRUE(form->btnConfiguracoes()->isVisible());
    QTest::mouseClick(form->btnConfiguracoes(), Qt::LeftButton);
    ASSERT_EQ(lancamentos->chamadas.size(), 1u);
    EXPECT_EQ(lancamentos->chamadas[0], (std::vector<std::string>{"pavucontrol", "--tab=4"}));
    EXPECT_TRUE(mensagens.empty());

    lancamentos->falhar = true;
    form->btnConfiguracoesClick();
    EXPECT_EQ(mensagens, (std::vector<std::string>{"Tessarin de teste|Sem mixer"}));

    form->reject();
    ::setenv("PATH", pasta.arquivo("vazio").c_str(), 1);
    mostrar();
    form->mostrarPagina(1);
    EXPECT_FALSE(form->btnConfiguracoes()->isVisible());
}
