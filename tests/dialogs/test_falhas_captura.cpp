// Capture that cannot start or stops working, with the real main window, setup assistant,
// recorder and wave-in layer over ALSA's own plugins: each failure is explained once, in the
// language, and capture comes back with the next start (the assistant's F2 or a new start).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <functional>

#include "alsa_teste.h"
#include "ambiente_principal.h"
#include "aplicacao_teste.h"
#include "fassistente.h"
#include "form_principal.h"
#include "principal_teste.h"
#include "recorder.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// A `file` PCM whose copy of the capture goes into a folder that does not exist: ALSA opens it,
// and the first period it captures fails with an input/output error, as a microphone that is
// pulled out does.
void capturarDispositivoQueFalha() {
    capturarConfiguracao("pcm.!default { type file slave.pcm \"null\" format \"raw\" file \"" +
                         pastaCaptura() + "/nao-existe/copia.raw\" }");
}

class FalhasCapturaTest : public ::testing::Test {
protected:
    void SetUp() override {
        capturarConstante(0);
        form = std::make_unique<TformPrincipal>(ambiente.opcoes());
        ASSERT_TRUE(form->construida());
        assistente.setMostrarErroAudio([this](int codigo) { form->mostrarErroAudio(codigo); });
        form->setFormAssistente(&assistente);
    }
    void TearDown() override { form.reset(); }

    void mostrar() {
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    // Whether the main window's recorder delivers buffers again.
    bool capturando() {
        ContadorBuffers contador;
        const auto cliente = TAudioClientEvent::bind(&contador, &ContadorBuffers::aoNotificar);
        form->gravador().AddClient(cliente);
        const bool chegaram = rodarAte([&] { return contador.buffers >= 2; }, 5000);
        form->gravador().RemoveClient(cliente);
        return chegaram;
    }

    static MensagemMostrada mensagem(const char* chave) {
        return {AmbientePrincipal::texto("fmPrincipal", chave),
                AmbientePrincipal::texto("geral", "tituloAtencao")};
    }

    AmbientePrincipal ambiente;
    std::unique_ptr<TformPrincipal> form;
    TformAssistente assistente;
};

}  // namespace

TEST_F(FalhasCapturaTest, AnOpenErrorOutsideTheKnownCodesIsExplainedAndTheNextStartTriesAgain) {
    // A "plug" PCM without a slave: ALSA refuses to open it as invalid.
    capturarConfiguracao("pcm.!default { type plug }");
    mostrar();
    EXPECT_THAT(ambiente.mensagens, ElementsAre(mensagem("erroIOFalha")));
    EXPECT_FALSE(ambiente.mensagens.front().texto.empty());
    EXPECT_FALSE(form->timer().isActive());

    // Set right, the device opens at the next start, without a Stop in between.
    capturarConstante(0);
    ambiente.mensagens.clear();
    EXPECT_TRUE(form->iniciarCaptura());
    EXPECT_TRUE(form->timer().isActive());
    EXPECT_TRUE(capturando());
    // Started twice in a row, it is still one capture.
    EXPECT_TRUE(form->iniciarCaptura());
    EXPECT_TRUE(capturando());
    EXPECT_THAT(ambiente.mensagens, IsEmpty());
}

TEST_F(FalhasCapturaTest, EveryDefinitionThatCannotOpenGivesOneMessageAndAStillNeedle) {
    const std::pair<const char*, const char*> casos[] = {
        // A card that is not there.
        {"pcm.!default { type hw card 9 }", "erroIODriver"},
        // Capture half pointing at a PCM nobody defined.
        {"pcm.!default { type asym playback.pcm \"null\" capture.pcm \"tessarin_nenhum\" }",
         "erroIODriver"},
        // Capture half missing.
        {"pcm.!default { type asym playback.pcm \"null\" }", "erroIOFalha"},
        // A hook that does not exist.
        {"pcm.!default { type hooks slave.pcm \"null\" hooks.0 { type \"tessarin_nenhum\" } }",
         "erroIODriver"},
        // Capture from a file that cannot be read.
        {"pcm.!default { type file slave.pcm \"null\" file \"/dev/null\" infile "
         "\"/tessarin-nao-existe.raw\" format \"raw\" }",
         "erroIODriver"},
    };
    mostrar();
    for (const auto& [definicao, chave] : casos) {
        SCOPED_TRACE(definicao);
        form->pararCaptura();
        capturarConfiguracao(definicao);
        ambiente.mensagens.clear();
        EXPECT_FALSE(form->iniciarCaptura());
        EXPECT_THAT(ambiente.mensagens, ElementsAre(mensagem(chave)));
        EXPECT_FALSE(form->timer().isActive());
        EXPECT_EQ(form->gravador().State(), TRecorderState::Failed);
    }
}

TEST_F(FalhasCapturaTest, ADeviceThatFailsWhileCapturingIsReportedOnceAndF2BringsItBack) {
    capturarDispositivoQueFalha();
    mostrar();
    ASSERT_TRUE(rodarAte([&] { return !ambiente.mensagens.empty(); }, 5000));
    rodarPor(300);
    EXPECT_THAT(ambiente.mensagens, ElementsAre(mensagem("erroIOPerdido")));
    EXPECT_FALSE(ambiente.mensagens.front().texto.empty());
    EXPECT_FALSE(form->timer().isActive());
    EXPECT_EQ(form->gravador().State(), TRecorderState::Closed);

    // The microphone is back: the assistant shows its level, and the tuner listens again.
    capturarConstante(0);
    ambiente.mensagens.clear();
    bool verificado = false;
    quandoModal([&] {
        EXPECT_TRUE(rodarAte([&] { return assistente.medidorVolume()->value() == 8192; }, 5000));
        verificado = true;
        assistente.btnFecharClick();
    });
    QTest::keyClick(form.get(), Qt::Key_F2);
    EXPECT_TRUE(verificado);
    EXPECT_TRUE(form->timer().isActive());
    EXPECT_TRUE(capturando());
    EXPECT_THAT(ambiente.mensagens, IsEmpty());
}

TEST_F(FalhasCapturaTest, ADeviceThatFailsUnderTheAssistantsMeterIsReportedThereOnce) {
    mostrar();
    ASSERT_TRUE(capturando());
    capturarDispositivoQueFalha();
    bool verificado = false;
    quandoModal([&] {
        EXPECT_TRUE(rodarAte([&] { return !ambiente.mensagens.empty(); }, 5000));
        rodarPor(300);
        EXPECT_THAT(ambiente.mensagens, ElementsAre(mensagem("erroIOPerdido")));
        EXPECT_EQ(assistente.gravador().State(), TRecorderState::Closed);
        verificado = true;
        capturarConstante(0);
        assistente.btnFecharClick();
    });
    QTest::keyClick(form.get(), Qt::Key_F2);
    EXPECT_TRUE(verificado);
    // The main window takes the device back as usual.
    EXPECT_TRUE(form->timer().isActive());
    EXPECT_TRUE(capturando());
    EXPECT_EQ(ambiente.mensagens.size(), 1u);
}
