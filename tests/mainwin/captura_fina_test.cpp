// The fine reading of the main window through real ALSA capture: the `file` plugin makes the
// "default" capture device deliver a generated pluck in the fine reading's format (16-bit mono,
// 44100 Hz), which the window's own recorder hands to its reading. The file plugin delivers as
// fast as it is read, seconds ahead of whatever waits for it: so the notes ring for long, each
// test lets the capture run past a chosen point of the material, well inside the part it looks
// at, and stops it; the display ticks are driven from here, on the window's clock.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>

#include "ambiente_principal.h"
#include "controle_imagem.h"
#include "cordas_sinteticas.h"
#include "form_principal.h"
#include "recorder.h"
#include "rotimg.h"

using ::testing::IsEmpty;

namespace {

constexpr int kTaxa = 44100;
constexpr double kSilencioAntes = 0.3;  // seconds before the stroke

class CapturaFinaTest : public ::testing::Test {
protected:
    // A pluck of E2 (or MIDI `nota` at A4 = `la4`) `cents` from its pitch, ringing `segundos`,
    // then silence until `total` seconds; the window starts in the fine reading (as saved,
    // with the `extra` settings lines) and captures it up to `ateSegundos` of the material.
    void iniciar(double cents, double segundos, double total, double ateSegundos, int nota = 40,
                 double la4 = 440.0, const std::string& extra = "") {
        std::mt19937 aleatorio(5);
        testkit::Pluck p;
        p.hz = SeletorAlvo::hzNota(nota, la4) * std::pow(2.0, cents / 1200.0);
        p.segundos = segundos;
        p.decaimento = 60.0;  // a string that barely fades: the same note wherever it stops
        std::vector<float> x(static_cast<std::size_t>(kSilencioAntes * kTaxa), 0.0f);
        testkit::misturar(x, testkit::pluck(p, kTaxa, aleatorio), x.size());
        x.resize(static_cast<std::size_t>(total * kTaxa), 0.0f);
        std::vector<std::int16_t> pcm(x.size());
        for (std::size_t i = 0; i < x.size(); ++i)
            pcm[i] = static_cast<std::int16_t>(std::lround(x[i] * 32767.0f));
        const std::string tom = ambiente.pasta() + "/tone.raw";
        std::ofstream(tom, std::ios::binary)
            .write(reinterpret_cast<const char*>(pcm.data()),
                   static_cast<std::streamsize>(pcm.size() * sizeof(std::int16_t)));
        const std::string conf = ambiente.pasta() + "/asound.conf";
        std::ofstream(conf) << "pcm.!default { type file slave.pcm \"null\" file \"/dev/null\" "
                               "infile \""
                            << tom << "\" format \"raw\" }\n";
        ::setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + conf).c_str(), 1);
        ambiente.escreverConfiguracoes("[geral]\r\nidioma=English\r\nleituraFina=1\r\n" + extra);

        form = std::make_unique<TformPrincipal>(ambiente.opcoes());
        ASSERT_TRUE(form->construida());
        ASSERT_TRUE(form->leituraFina());
        form->show();
        ASSERT_THAT(ambiente.mensagens, IsEmpty());
        form->timer().stop();  // the ticks come from the test from here on
        const auto ate = static_cast<std::int64_t>(ateSegundos * form->leitura().taxaAnalise());
        ASSERT_TRUE(processarAte([&] { return form->leitura().amostras() >= ate; }));
        form->gravador().Stop();
        processarAte([] { return false; }, 50);
        // Reading stops where the capture did, inside the material.
        segundosLidos =
            static_cast<double>(form->leitura().amostras()) / form->leitura().taxaAnalise();
        ASSERT_LT(segundosLidos, total - 0.5);
    }

    void tick() {
        ambiente.agoraMs += 50;
        form->timerTimer();
    }

    QColor corOk() const { return form->lblOk()->palette().color(QPalette::WindowText); }
    bool mensagemVisivel() const { return form->lblCordaAfinada()->isVisibleTo(form.get()); }
    double angulo() const { return static_cast<double>(form->imgPonteiro()->Angle()); }

    AmbientePrincipal ambiente;
    std::unique_ptr<TformPrincipal> form;
    double segundosLidos = 0.0;
};

TEST_F(CapturaFinaTest, APluckThreeCentsSharpReadsThreeDegreesWithoutOkInSixteenBitTwentyMsBuffers) {
    iniciar(3.0, 40.0, 40.5, kSilencioAntes + 1.0);
    // The fine reading's own capture: 16-bit, 44100 Hz, 20 ms buffers handed over as they fill.
    EXPECT_EQ(form->gravador().Quality().BitsPerSample(), 16);
    EXPECT_EQ(form->gravador().Quality().Frequency(), kTaxa);
    EXPECT_EQ(form->gravador().BufSize(), kTaxa / 50);
    EXPECT_TRUE(form->gravador().ShortPeriods());
    EXPECT_EQ(form->leitura().estado().ataques, 1);

    tick();
    EXPECT_NEAR(angulo(), -3.0, 0.02);
    EXPECT_EQ(form->lblCents()->text(), QString::fromUtf8("+3.0 \u00A2"));
    for (int t = 0; t < 30; ++t) {
        tick();
        EXPECT_EQ(corOk(), QColor(Qt::white)) << t;
        EXPECT_FALSE(mensagemVisivel()) << t;
    }
}

TEST_F(CapturaFinaTest, OneCentFlatLightsOkAndF4GoesBackToTheClassicCapture) {
    iniciar(-1.0, 40.0, 40.5, kSilencioAntes + 1.0);
    tick();
    EXPECT_EQ(form->lblCents()->text(), QString::fromUtf8("-1.0 \u00A2"));
    tick();
    EXPECT_EQ(corOk(), QColor(255, 255, 0));
    for (int t = 0; t < 24; ++t) tick();  // more than 1.2 s in tune
    EXPECT_TRUE(mensagemVisivel());
    EXPECT_NEAR(angulo(), 1.0, 0.02);

    // The classic reading: its dial, its format and buffers, no figure, in tune found afresh.
    form->FormKeyDown(Qt::Key_F4);
    EXPECT_FALSE(form->leituraFina());
    EXPECT_FALSE(form->lblCents()->isVisibleTo(form.get()));
    EXPECT_EQ(form->imgFundoPonteiro()->Picture().cacheKey(),
              form->imgFundoPonteiroClassico()->Picture().cacheKey());
    // (the capture was stopped here: the format is set as it starts again)
    ASSERT_TRUE(form->iniciarCaptura());
    EXPECT_EQ(form->gravador().Quality().BitsPerSample(), 8);
    EXPECT_EQ(form->gravador().Quality().Frequency(), 11025);
    EXPECT_EQ(form->gravador().BufSize(), 4069);
    EXPECT_FALSE(form->gravador().ShortPeriods());
    form->pararCaptura();
    EXPECT_FALSE(mensagemVisivel());
    EXPECT_EQ(corOk(), QColor(Qt::white));
}

TEST_F(CapturaFinaTest, WhenTheNoteHasStoppedTheFigureGoesAndTheNeedleRestsAtTheCentre) {
    // A note 8 cents flat that stops after half a second, then silence.
    iniciar(-8.0, 0.5, 40.0, 2.0);
    tick();
    EXPECT_EQ(form->lblCents()->text(), QString());
    EXPECT_EQ(corOk(), QColor(Qt::white));
    for (int t = 0; t < 30; ++t) tick();
    EXPECT_EQ(angulo(), 0.0);
    EXPECT_EQ(form->lblCents()->text(), QString());
}

TEST_F(CapturaFinaTest, ASteadyFigureRepaintsNothing) {
    iniciar(3.0, 40.0, 40.5, kSilencioAntes + 1.0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    RegistroPinturas pinturas(*form);
    tick();
    pinturas.colher();
    // The capture is stopped: the same figure, tick after tick, paints nothing.
    for (int t = 0; t < 20; ++t) {
        tick();
        EXPECT_EQ(pinturas.colher(), QRegion()) << t;
    }
}

}  // namespace

TEST_F(CapturaFinaTest, TheAutomaticStringSelectsTheStringPlayedWithoutSoundingIt) {
    // A2 played 40 cents sharp while E2 is selected: A2 is selected, silently, and read.
    iniciar(40.0, 40.0, 40.5, kSilencioAntes + 1.0, 45, 440.0, "cordaAutomatica=1\r\n");
    ASSERT_TRUE(form->cordaAutomatica());
    ambiente.midi.clear();
    for (int t = 0; t < 3; ++t) tick();
    EXPECT_EQ(form->cordaSelecionada(), 1);
    EXPECT_EQ(form->lblCordaSelecionada()->text(), QStringLiteral("String: A"));
    EXPECT_EQ(form->lblCents()->text(), QString::fromUtf8("+40.0 \u00A2"));
    for (const std::string& linha : ambiente.midi.lines())
        EXPECT_EQ(linha.find("PutMidiOut 100 90"), std::string::npos) << linha;
    EXPECT_EQ(form->lblCordaAutomatica()->text().left(1), QStringLiteral("\u25CF"));
    // F5 again: the selected string is read, as a click chose it.
    form->FormKeyDown(Qt::Key_F5);
    EXPECT_FALSE(form->cordaAutomatica());
    EXPECT_FALSE(form->leitura().livre());
    EXPECT_NEAR(form->leitura().alvo(), testkit::hzNota(45), 1e-9);
}

TEST_F(CapturaFinaTest, TheChromaticReadingNamesMiddleCAndReadsItWithinHalfACent) {
    iniciar(0.0, 40.0, 40.5, kSilencioAntes + 1.0, 60, 440.0, "leituraCromatica=1\r\n");
    tick();
    EXPECT_EQ(form->lblCordaSelecionada()->text(), QStringLiteral("Note: C4"));
    const double cents = form->lblCents()->text().section(QLatin1Char(' '), 0, 0).toDouble();
    EXPECT_NEAR(cents, 0.0, 0.5) << form->lblCents()->text().toStdString();
    EXPECT_TRUE(form->lblCents()->text().endsWith(QString::fromUtf8("\u00A2")));
    // No string is marked: the note is not one of the tuning's.
    for (TRotateImage* tarracha : form->imagensMoverTarracha())
        EXPECT_FALSE(tarracha->isVisibleTo(form.get()));
}

TEST_F(CapturaFinaTest, AtA4442AnE2Of442ReadsWithinHalfACentAndTheReferenceNoteIsRetuned) {
    iniciar(0.0, 40.0, 40.5, kSilencioAntes + 1.0, 40, 442.0, "diapasao=442.0\r\n");
    EXPECT_EQ(form->diapasao(), 4420);
    EXPECT_EQ(form->lblDiapasao()->text(), QStringLiteral("A4 = 442.0 Hz"));
    tick();
    tick();
    const double cents = form->lblCents()->text().section(QLatin1Char(' '), 0, 0).toDouble();
    EXPECT_NEAR(cents, 0.0, 0.5) << form->lblCents()->text().toStdString();
    // The channel is retuned for the reference notes when the pitch changes: 442.1 Hz.
    ambiente.midi.clear();
    form->FormKeyDown(Qt::Key_Plus);
    EXPECT_EQ(form->diapasao(), 4421);
    EXPECT_NEAR(form->alvoCorda(0), testkit::hzNota(40) * 442.1 / 440.0, 1e-9);
    const std::vector<std::string> linhas = ambiente.midi.lines();
    EXPECT_NE(std::find(linhas.begin(), linhas.end(), "PutMidiOut 100 B0 64 01"), linhas.end());
}

TEST_F(CapturaFinaTest, ABlackKeyIsNamedWithItsSharpAndItsFlat) {
    iniciar(-20.0, 40.0, 40.5, kSilencioAntes + 1.0, 66, 440.0, "leituraCromatica=1\r\n");
    tick();
    EXPECT_EQ(form->lblCordaSelecionada()->text(), QString::fromUtf8("Note: F\u266F4 / G\u266D4"));
    EXPECT_EQ(form->lblCents()->text(), QString::fromUtf8("-20.0 \u00A2"));
    // F6 again: back to the selected string, marked on the neck.
    form->FormKeyDown(Qt::Key_F6);
    EXPECT_EQ(form->lblCordaSelecionada()->text(), QStringLiteral("String: E"));
}

// Half a step down: a pluck at E flat 2 reads in tune on the first string, and that string's
// reference note is E flat 2 (MIDI 39).
TEST_F(CapturaFinaTest, HalfAStepDownAnEFlat2ReadsInTuneOnTheFirstStringAndSoundsAsIts) {
    iniciar(0.0, 40.0, 40.5, kSilencioAntes + 1.0, 39, 440.0, "deslocamento=-1\r\n");
    EXPECT_EQ(form->cordaSelecionada(), 0);
    EXPECT_NEAR(form->alvoCorda(0), testkit::hzNota(39), 1e-9);
    tick();
    tick();
    const double cents = form->lblCents()->text().section(QLatin1Char(' '), 0, 0).toDouble();
    EXPECT_NEAR(cents, 0.0, 0.5) << form->lblCents()->text().toStdString();
    EXPECT_NE(corOk(), QColor(Qt::white));
    ambiente.midi.clear();
    form->FormKeyDown(Qt::Key_Space);
    const std::vector<std::string> linhas = ambiente.midi.lines();
    EXPECT_NE(std::find(linhas.begin(), linhas.end(), "PutMidiOut 100 90 27 7F"), linhas.end());
}
