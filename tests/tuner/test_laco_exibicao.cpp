// The display loop's tick: needle smoothing and pinning, the in-tune states, the watchdog and the
// assistant's pause, on a clock the test moves by hand.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "afinacao.h"
#include "estimador_afinacao.h"
#include "laco_exibicao.h"

namespace {

class DisplayLoop : public ::testing::Test {
protected:
    std::int64_t agora = 1000;
    LacoExibicao laco{[this] { return agora; }};

    // One tick 50 ms after the previous one with the given deviation (Hz).
    void tick(double desvio, std::int64_t passo = 50) {
        agora += passo;
        ASSERT_TRUE(laco.timerTimer(false, [=] { return desvio; }));
    }
    // A deviation that gives the target angle `alvo` (degrees).
    static double para(double alvo) { return -alvo / 10.0; }
};

class SpectrumStub : public TSpectrum {
public:
    std::vector<double> m = std::vector<double>(8192, 0.0);
    double Magnitude(int i) const override { return i >= 0 && i < 8192 ? m[i] : 0.0; }
    std::complex<double> Bin(int i) const override { return Magnitude(i); }
    int Length() const override { return 16384; }
};

}  // namespace

TEST_F(DisplayLoop, StringHeldInTuneLightsOkThenTheMessage) {
    tick(0.0);  // first in-tune tick: nothing changes on screen
    EXPECT_TRUE(laco.noAlvo());
    EXPECT_EQ(laco.corOk(), LacoExibicao::CorOk::branco);
    tick(0.0);
    EXPECT_EQ(laco.corOk(), LacoExibicao::CorOk::amarelo);
    EXPECT_EQ(LacoExibicao::rgb(laco.corOk()), 0xFFFF00u);
    EXPECT_FALSE(laco.mensagemVisivel());
    // The first tick began the run at 1050; 1200 ms later is not yet "more than" 1.2 s.
    tick(0.0, 1200 - 50);
    EXPECT_FALSE(laco.mensagemVisivel());
    tick(0.0, 1);
    EXPECT_TRUE(laco.mensagemVisivel());
    EXPECT_EQ(laco.angulo(), 0.0L);

    // One tick out of tune returns to the first state at once.
    tick(para(20));
    EXPECT_FALSE(laco.mensagemVisivel());
    EXPECT_FALSE(laco.noAlvo());
    EXPECT_EQ(laco.corOk(), LacoExibicao::CorOk::branco);
}

TEST_F(DisplayLoop, InTuneMeansStrictlyWithinOneDegree) {
    struct Case {
        long double angulo;
        bool afinada;
    };
    for (const Case& c :
         {Case{0.99L, true}, Case{-0.99L, true}, Case{1.0L, false}, Case{-1.0L, false}}) {
        LacoExibicao l([this] { return agora; });
        // A target equal to the needle's angle keeps it where it is.
        l.setAngulo(c.angulo);
        const double desvio = -static_cast<double>(c.angulo) / 10.0;
        l.timerTimer(false, [=] { return desvio; });
        l.timerTimer(false, [=] { return desvio; });
        EXPECT_NEAR(static_cast<double>(l.angulo()), static_cast<double>(c.angulo), 1e-12);
        EXPECT_EQ(l.noAlvo(), c.afinada) << static_cast<double>(c.angulo);
        EXPECT_EQ(l.corOk() == LacoExibicao::CorOk::amarelo, c.afinada);
    }
}

TEST_F(DisplayLoop, QuarterStepsAndPinningBySideOfThePreviousAngle) {
    laco.setAngulo(-10.0L);
    tick(para(400));  // a1 = 92.5: pinned on the side the needle came from
    EXPECT_EQ(laco.angulo(), -90.0L);
    tick(para(400));
    EXPECT_EQ(laco.angulo(), 32.5L);
    tick(para(400));
    EXPECT_EQ(laco.angulo(), 90.0L);

    // A quarter of the way per tick (values exact in binary).
    laco.setAngulo(0.0L);
    tick(para(7.5));
    EXPECT_EQ(laco.angulo(), 1.875L);
    tick(para(7.5));
    EXPECT_EQ(laco.angulo(), 3.28125L);
}

TEST_F(DisplayLoop, SilencePinsTheNeedleAtMinus90) {
    // A standard A string: silence gives a peak of 0 Hz, a deviation of about -110 Hz.
    const Afinacao afinacao(
        "Guitar", "Standard", 6, {"E", "A", "D", "G", "B", "E"}, {40, 45, 50, 55, 59, 64},
        {frequenciaNotaMIDI(40), frequenciaNotaMIDI(45), frequenciaNotaMIDI(50),
         frequenciaNotaMIDI(55), frequenciaNotaMIDI(59), frequenciaNotaMIDI(64)});
    EstimadorAfinacao estimador;
    estimador.setAfinacao(&afinacao);
    estimador.calcularDesvios();
    estimador.setCordaSelecionada(1);
    const SpectrumStub silencio;
    for (int i = 0; i < 5; ++i) {
        agora += 50;
        laco.timerTimer(false, estimador, silencio);
        EXPECT_EQ(laco.angulo(), -90.0L);
    }
    // It stays there while the target is 630 degrees or more, and leaves below that.
    tick(para(630));
    EXPECT_EQ(laco.angulo(), -90.0L);
    tick(para(627.5));
    EXPECT_EQ(laco.angulo(), 89.375L);

    // A needle above 0 when the signal vanishes pins at +90.
    LacoExibicao acima([this] { return agora; });
    acima.setAngulo(0.5L);
    acima.timerTimer(false, estimador, silencio);
    EXPECT_EQ(acima.angulo(), 90.0L);
    EXPECT_FALSE(acima.noAlvo());
}

TEST_F(DisplayLoop, OneBinOffNeedsSevenTicksToComeInTune) {
    const Afinacao afinacao("Bass", "", 4, {"E", "A", "D", "G"}, {28, 33, 38, 43},
                            {41.2, 110.0, 146.8, 196.0});
    EstimadorAfinacao estimador;
    estimador.setAfinacao(&afinacao);
    estimador.calcularDesvios();
    estimador.setCordaSelecionada(1);  // 110 Hz: the nearest bin is 163
    SpectrumStub espectro;
    espectro.m[164] = 1.0;  // one bin sharp: -6.73 degrees
    for (int i = 0; i < 200; ++i) {
        agora += 50;
        laco.timerTimer(false, estimador, espectro);
    }
    EXPECT_NEAR(static_cast<double>(laco.angulo()), -6.7308, 1e-4);
    espectro.m[164] = 0.0;
    espectro.m[163] = 1.0;
    int ticks = 0;
    while (!laco.noAlvo() && ticks < 20) {
        agora += 50;
        laco.timerTimer(false, estimador, espectro);
        ++ticks;
    }
    EXPECT_EQ(ticks, 7);
    EXPECT_EQ(laco.corOk(), LacoExibicao::CorOk::branco);
    agora += 50;
    laco.timerTimer(false, estimador, espectro);
    EXPECT_EQ(laco.corOk(), LacoExibicao::CorOk::amarelo);
}

TEST_F(DisplayLoop, WatchdogGivesUpDoubleBufferingAfterElevenSlowTicks) {
    tick(0.0);  // sets the reference time
    for (int i = 0; i < 10; ++i) tick(0.0, 165);
    EXPECT_EQ(laco.ticksLentos(), 10);
    tick(0.0, 164);  // 164 ms is not more than 164.16 ms
    EXPECT_EQ(laco.ticksLentos(), 0);
    EXPECT_TRUE(laco.doubleBuffering());

    for (int i = 0; i < 10; ++i) tick(0.0, 200);
    EXPECT_TRUE(laco.doubleBuffering());
    tick(0.0, 200);
    EXPECT_FALSE(laco.doubleBuffering());
    EXPECT_FALSE(laco.verificarDesempenho());
    for (int i = 0; i < 5; ++i) tick(0.0);  // for good
    EXPECT_FALSE(laco.doubleBuffering());
}

TEST_F(DisplayLoop, AssistantActiveTicksChangeNothing) {
    tick(0.0);
    tick(0.0);
    ASSERT_EQ(laco.corOk(), LacoExibicao::CorOk::amarelo);
    int leituras = 0;
    for (int i = 0; i < 30; ++i) {
        agora += 300;  // slow, and long enough to confirm the string were the tick to run
        EXPECT_FALSE(laco.timerTimer(true, [&] {
            ++leituras;
            return 50.0;
        }));
    }
    EXPECT_EQ(leituras, 0);
    EXPECT_EQ(laco.angulo(), 0.0L);
    EXPECT_EQ(laco.corOk(), LacoExibicao::CorOk::amarelo);
    EXPECT_FALSE(laco.mensagemVisivel());
    EXPECT_EQ(laco.ticksLentos(), 0);
    EXPECT_TRUE(laco.doubleBuffering());
}

TEST_F(DisplayLoop, DeviationThatIsNotANumberLeavesTheNeedleInPlace) {
    laco.setAngulo(12.0L);
    tick(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(laco.angulo(), 12.0L);
    EXPECT_FALSE(laco.noAlvo());
    tick(para(12));
    EXPECT_NEAR(static_cast<double>(laco.angulo()), 12.0, 1e-12);
    // Infinite deviations are just very far: the needle pins.
    tick(-std::numeric_limits<double>::infinity());
    EXPECT_EQ(laco.angulo(), 90.0L);
}

// --- Fine reading: cents, 1 degree per cent, "OK" within ±2 cents -------------------------------

TEST_F(DisplayLoop, FineReadingShowsEachFigureAtOnceOneDegreePerCentAndLightsOkWithinTwoCents) {
    laco.setLeitura(LacoExibicao::Leitura::fina);
    // The reading comes smoothed already: the needle is where the figure says from the first
    // tick, 3 cents sharp 3 degrees clockwise, "OK" off.
    tick(3.0);
    EXPECT_EQ(laco.angulo(), -3.0L);
    EXPECT_EQ(laco.cents(), 3.0);
    EXPECT_FALSE(laco.noAlvo());
    tick(3.004);  // steps of a hundredth of a degree: the needle does not turn for less
    EXPECT_EQ(laco.angulo(), -3.0L);

    // 1 cent flat: in tune on the first tick, "OK" on the second, the message once that has
    // lasted more than 1.2 s.
    tick(-1.0);
    EXPECT_EQ(laco.angulo(), 1.0L);
    EXPECT_TRUE(laco.noAlvo());
    EXPECT_EQ(laco.corOk(), LacoExibicao::CorOk::branco);
    tick(-1.0);
    EXPECT_EQ(laco.corOk(), LacoExibicao::CorOk::amarelo);
    for (int i = 0; i < 23; ++i) tick(-1.0);  // 1.2 s after the first in-tune tick: not yet
    EXPECT_FALSE(laco.mensagemVisivel());
    tick(-1.0);
    EXPECT_TRUE(laco.mensagemVisivel());
    tick(2.5);  // one tick out of tune ends it
    EXPECT_FALSE(laco.mensagemVisivel());
    EXPECT_EQ(laco.corOk(), LacoExibicao::CorOk::branco);
}

TEST_F(DisplayLoop, FineReadingToleranceIsTwoCentsEitherSideInclusive) {
    for (double cents : {2.0, -2.0, 2.01, -2.01}) {
        LacoExibicao l([this] { return agora; });
        l.setLeitura(LacoExibicao::Leitura::fina);
        l.setAngulo(-cents);  // the needle already where the reading puts it
        l.timerTimer(false, [=] { return cents; });
        l.timerTimer(false, [=] { return cents; });
        EXPECT_EQ(l.corOk() == LacoExibicao::CorOk::amarelo, std::fabs(cents) <= 2.0) << cents;
    }
}

TEST_F(DisplayLoop, FineReadingStopsAtNinetyDegreesAndRestsAtTheCentreWithoutAReading) {
    laco.setLeitura(LacoExibicao::Leitura::fina);
    tick(300.0);  // far sharp: stopped clockwise
    EXPECT_EQ(laco.angulo(), -90.0L);
    tick(-95.0);  // far flat: stopped counter-clockwise at once
    EXPECT_EQ(laco.angulo(), 90.0L);
    tick(-1.0);
    ASSERT_TRUE(laco.noAlvo());
    // Nothing sounds: no figure, not in tune, and the needle glides back to the centre, where
    // it stops turning.
    laco.setAngulo(-20.0L);
    tick(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(laco.angulo(), -15.0L);
    EXPECT_TRUE(std::isnan(laco.cents()));
    EXPECT_FALSE(laco.noAlvo());
    EXPECT_EQ(laco.corOk(), LacoExibicao::CorOk::branco);
    for (int i = 0; i < 40; ++i) tick(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(laco.angulo(), 0.0L);
}

TEST_F(DisplayLoop, ChangingTheReadingStartsTheInTuneStateAfresh) {
    EXPECT_EQ(laco.leitura(), LacoExibicao::Leitura::classica);
    EXPECT_TRUE(std::isnan(laco.cents()));
    for (int i = 0; i < 40; ++i) tick(0.0);
    ASSERT_TRUE(laco.mensagemVisivel());
    laco.setLeitura(LacoExibicao::Leitura::fina);
    EXPECT_FALSE(laco.mensagemVisivel());
    EXPECT_EQ(laco.corOk(), LacoExibicao::CorOk::branco);
    EXPECT_FALSE(laco.noAlvo());
    tick(0.5);
    EXPECT_TRUE(laco.noAlvo());
    laco.setLeitura(LacoExibicao::Leitura::fina);  // no change: nothing happens
    EXPECT_TRUE(laco.noAlvo());
    // Back to classic: the value is Hz again and the figure is gone.
    laco.setLeitura(LacoExibicao::Leitura::classica);
    EXPECT_TRUE(std::isnan(laco.cents()));
    laco.setAngulo(0.0L);
    tick(0.5);  // 0.5 Hz sharp: target -5 degrees
    EXPECT_EQ(laco.angulo(), -1.25L);
    EXPECT_TRUE(std::isnan(laco.cents()));
}
