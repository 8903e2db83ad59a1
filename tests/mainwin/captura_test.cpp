// End to end through real ALSA capture: ALSA's `file` plugin makes the "default" capture device
// deliver a generated tone, which the main window's own recorder and analyser take in. The
// display ticks are driven from here, on the window's clock, with the spectrum held still.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "afinacao.h"
#include "ambiente_principal.h"
#include "controle_imagem.h"
#include "estimador_afinacao.h"
#include "fft.h"
#include "form_principal.h"
#include "recorder.h"
#include "rotimg.h"
#include "tone.h"

using ::testing::IsEmpty;

namespace {

constexpr int kTaxa = 11025;

class CapturaTest : public ::testing::Test {
protected:
    // Starts the window on a tone of `hz` and waits until the analyser has seen more than a
    // whole analysis window of it.
    void iniciar(double hz) {
        const std::string tom = ambiente.pasta() + "/tone.raw";
        const auto amostras = sineTone8(hz, kTaxa, kTaxa * 300, 100.0);
        std::ofstream(tom, std::ios::binary)
            .write(reinterpret_cast<const char*>(amostras.data()),
                   static_cast<std::streamsize>(amostras.size()));
        const std::string conf = ambiente.pasta() + "/asound.conf";
        std::ofstream(conf) << "pcm.!default { type file slave.pcm \"null\" file \"/dev/null\" "
                               "infile \""
                            << tom << "\" format \"raw\" }\n";
        ::setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + conf).c_str(), 1);

        form = std::make_unique<TformPrincipal>(ambiente.opcoes());
        ASSERT_TRUE(form->construida());
        form->show();
        ASSERT_THAT(ambiente.mensagens, IsEmpty());
        ASSERT_TRUE(form->timer().isActive());
        // The ticks come from the test from here on.
        form->timer().stop();
        ASSERT_TRUE(processarAte([&] { return form->gravador().SamplePos() > 2 * 16384; }));
        // The file plugin delivers as fast as it is read and then repeats the file's last
        // byte: the spectrum is held as it is now, well inside the tone.
        form->gravador().Stop();
        processarAte([] { return false; }, 100);
    }

    // One tick, 50 ms after the previous one.
    void tick() {
        ambiente.agoraMs += 50;
        form->timerTimer();
    }

    QColor corOk() const { return form->lblOk()->palette().color(QPalette::WindowText); }
    bool mensagemVisivel() const { return form->lblCordaAfinada()->isVisibleTo(form.get()); }

    AmbientePrincipal ambiente;
    std::unique_ptr<TformPrincipal> form;
};

TEST_F(CapturaTest, AToneOnTheTargetLightsOkAndConfirmsAfterMoreThanOnePointTwoSeconds) {
    // String 0 of the guitar, E2: bin 122 on both grids.
    iniciar(82.4069);
    ASSERT_EQ(form->cordaSelecionada(), 0);
    const double pico = form->estimador().frequenciaPico(form->fft());
    EXPECT_DOUBLE_EQ(pico, 122 * form->larguraBin());

    tick();  // first tick in tune: nothing changes on screen yet
    EXPECT_EQ(corOk(), QColor(Qt::white));
    EXPECT_FALSE(mensagemVisivel());
    tick();
    EXPECT_EQ(corOk(), QColor(255, 255, 0));
    for (int t = 3; t <= 25; ++t) {  // 1200 ms after the first in-tune tick: not yet
        tick();
        EXPECT_FALSE(mensagemVisivel()) << t;
    }
    tick();
    EXPECT_TRUE(mensagemVisivel());
    EXPECT_EQ(corOk(), QColor(255, 255, 0));
    EXPECT_NEAR(static_cast<double>(form->imgPonteiro()->Angle()), 0.0, 1e-9);
}

TEST_F(CapturaTest, AToneThreeBinsSharpTurnsTheNeedleClockwiseAndNeverConfirms) {
    iniciar(125.0 * kTaxa / 16384.0);
    EXPECT_DOUBLE_EQ(form->estimador().frequenciaPico(form->fft()), 125 * form->larguraBin());
    const long double alvo = -3.0L * form->larguraBin() * 10.0L;
    long double anterior = 0.0L;
    for (int t = 0; t < 60; ++t) {
        tick();
        const long double angulo = form->imgPonteiro()->Angle();
        EXPECT_LT(angulo, anterior) << t;  // a quarter of the way, every tick
        EXPECT_GT(angulo, alvo);
        anterior = angulo;
        EXPECT_FALSE(mensagemVisivel());
        EXPECT_EQ(corOk(), QColor(Qt::white));
    }
    EXPECT_NEAR(static_cast<double>(form->imgPonteiro()->Angle()), static_cast<double>(alvo), 0.01);
}

// The needle's rectangle in the window, where its panel shows it.
QRect retanguloPonteiro(const TformPrincipal& form) {
    const QWidget* painel = form.panelDoubleBuffering();
    const QRect ponteiro = form.imgPonteiro()->geometry() & painel->rect();
    return ponteiro.translated(painel->mapTo(&form, QPoint(0, 0)));
}

QRect retanguloEm(const TformPrincipal& form, const QWidget* controle) {
    return controle->rect().translated(controle->mapTo(&form, QPoint(0, 0)));
}

TEST_F(CapturaTest, AMovingNeedleRepaintsOnlyItsRectangleAndANeedleAtRestNothing) {
    iniciar(125.0 * kTaxa / 16384.0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    RegistroPinturas pinturas(*form);
    pinturas.colher();
    const QRect ponteiro = retanguloPonteiro(*form);

    // While it swings toward its reading, each tick repaints part of the needle's rectangle.
    for (int t = 0; t < 12; ++t) {
        tick();
        const QRegion pintado = pinturas.colher();
        EXPECT_FALSE(pintado.isEmpty()) << t;
        EXPECT_EQ(pintado.subtracted(ponteiro), QRegion()) << t;
        EXPECT_LT(pintado.boundingRect().width() * pintado.boundingRect().height(),
                  ponteiro.width() * ponteiro.height())
            << t;
    }
    // Its angle keeps creeping toward the reading by ever smaller steps that no longer change
    // a pixel: from then on the ticks paint nothing at all.
    for (int t = 0; t < 50; ++t) tick();
    pinturas.colher();
    for (int t = 0; t < 40; ++t) {
        const long double antes = form->imgPonteiro()->Angle();
        tick();
        EXPECT_NE(form->imgPonteiro()->Angle(), antes) << t;
        EXPECT_EQ(pinturas.colher(), QRegion()) << t;
    }
}

TEST_F(CapturaTest, ATickRepaintsOnlyTheMarksThatChange) {
    iniciar(82.4069);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    RegistroPinturas pinturas(*form);
    pinturas.colher();

    tick();  // in tune, the needle already in the centre: nothing changes
    EXPECT_EQ(pinturas.colher(), QRegion());
    tick();  // "OK" turns yellow
    const QRegion ok = pinturas.colher();
    EXPECT_FALSE(ok.isEmpty());
    EXPECT_EQ(ok.subtracted(retanguloEm(*form, form->lblOk())), QRegion());
    for (int t = 3; t <= 25; ++t) {
        tick();
        EXPECT_EQ(pinturas.colher(), QRegion()) << t;
    }
    tick();  // the in-tune message shows
    ASSERT_TRUE(mensagemVisivel());
    const QRegion mensagem = pinturas.colher();
    EXPECT_FALSE(mensagem.isEmpty());
    EXPECT_EQ(mensagem.subtracted(retanguloEm(*form, form->lblCordaAfinada())), QRegion());
    tick();
    EXPECT_EQ(pinturas.colher(), QRegion());
}

TEST_F(CapturaTest, TheTimerDrivesTheNeedleOnItsOwn) {
    iniciar(125.0 * kTaxa / 16384.0);
    form->timer().start();
    // The timer's ticks move the needle toward the held spectrum's reading. On the test's clock
    // every tick is 0 ms apart: fast, so the watchdog stays content.
    EXPECT_TRUE(processarAte([&] { return form->imgPonteiro()->Angle() < -15.0L; }, 5000));
    EXPECT_TRUE(form->doubleBuffering());
}

}  // namespace
