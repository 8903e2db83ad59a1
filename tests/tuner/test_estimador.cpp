// The pitch estimator: grid offsets, the in-band peak search and the deviation.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "afinacao_notas.h"
#include "estimador_afinacao.h"
#include "fft.h"
#include "replay_source.h"
#include "tone.h"

namespace {
// A spectrum whose magnitudes the test sets bin by bin.
class EspectroFixo : public TSpectrum {
public:
    EspectroFixo() : m(16384, 0.0) {}
    double Magnitude(int i) const override { return m[static_cast<std::size_t>(i)]; }
    std::complex<double> Bin(int i) const override { return Magnitude(i); }
    int Length() const override { return 16384; }
    std::vector<double> m;
};

Afinacao umaCorda(double hz) {
    return Afinacao("X", "", 1, {"?"}, {0}, {hz});
}

Afinacao violaoPadrao() {
    return afinacaoDeNotas("Guitar", {40, 45, 50, 55, 59, 64});
}
}  // namespace

TEST(Estimador, WorkedExampleAt110Hz) {
    const Afinacao a = umaCorda(110.0);
    EstimadorAfinacao e;
    EXPECT_DOUBLE_EQ(e.larguraBin(), 11025.0 / 16380.0);
    e.setAfinacao(&a);
    e.calcularDesvios();
    EXPECT_NEAR(e.desvios()[0], 110.0 - 163 * e.larguraBin(), 1e-12);
    EXPECT_NEAR(e.desvios()[0], 0.2885, 1e-4);

    // Band: whole Hz 86..134, which are bins 128..200.
    EspectroFixo s;
    s.m[127] = 100.0;  // just outside the band: ignored
    s.m[201] = 100.0;
    s.m[128] = 1.0;
    EXPECT_DOUBLE_EQ(e.frequenciaPico(s), 128 * e.larguraBin());
    s.m[128] = 0.0;
    s.m[200] = 1.0;
    EXPECT_DOUBLE_EQ(e.frequenciaPico(s), 200 * e.larguraBin());

    for (auto [bin, expected] : {std::pair{163, 0.0}, {164, 0.6731}, {162, -0.6731}}) {
        EspectroFixo p;
        p.m[bin] = 5.0;
        EXPECT_NEAR(e.desvio(p), expected, 1e-4) << bin;
    }
}

TEST(Estimador, TiesSilenceAndCorrectionModes) {
    const Afinacao a = umaCorda(110.0);
    EstimadorAfinacao e;
    e.setAfinacao(&a);
    e.calcularDesvios();

    EspectroFixo empate;
    empate.m[170] = 3.0;
    empate.m[150] = 3.0;
    EXPECT_DOUBLE_EQ(e.frequenciaPico(empate), 150 * e.larguraBin());  // the lower bin wins

    EspectroFixo silencio;
    EXPECT_EQ(e.frequenciaPico(silencio), 0.0);
    EXPECT_NEAR(e.desvio(silencio), -163 * e.larguraBin(), 1e-9);  // −109.71 Hz

    EspectroFixo alvo;
    alvo.m[163] = 1.0;
    for (auto [tipo, expected] :
         {std::pair{1, e.larguraBin()}, {2, -e.larguraBin()}, {3, 0.0}, {0, 0.0}}) {
        e.setTipoSistema(tipo);
        EXPECT_NEAR(e.desvio(alvo), expected, 1e-12) << tipo;
    }
}

TEST(Estimador, GridOffsetsOnAndBetweenBins) {
    EstimadorAfinacao e;
    const double w = e.larguraBin();
    const Afinacao onBin = umaCorda(200 * w);
    e.setAfinacao(&onBin);
    e.calcularDesvios();
    EXPECT_EQ(e.desvios()[0], 0.0);

    // An exact tie needs exact arithmetic: one bin per Hz over 16384 bins.
    EstimadorAfinacao exato(16384, 16384);
    const Afinacao halfway = umaCorda(200.5);
    exato.setAfinacao(&halfway);
    exato.calcularDesvios();
    EXPECT_EQ(exato.desvios()[0], 0.5);  // the lower bin is taken on a tie
}

TEST(Estimador, BandRunMatchesTheBandTestOnEveryBin) {
    // The peak search visits only the run of accepted bins; it must accept exactly the bins the
    // band test accepts, for every note the tuning file can hold.
    EstimadorAfinacao e;
    EspectroFixo s;
    for (int nota = 0; nota < kNotasMIDI; nota += 3) {
        const Afinacao a = umaCorda(frequenciaNotaMIDI(nota));
        e.setAfinacao(&a);
        for (int bin = 1; bin < 8192; ++bin) {
            s.m[static_cast<std::size_t>(bin)] = 1.0;
            const int hz = static_cast<int>(std::trunc(bin * e.larguraBin()));
            const bool accepted = bin < 8190 && a.estaNaFaixa(hz, 0);
            ASSERT_EQ(e.frequenciaPico(s) == bin * e.larguraBin(), accepted)
                << "note " << nota << " bin " << bin;
            s.m[static_cast<std::size_t>(bin)] = 0.0;
        }
    }
}

TEST(Estimador, FollowsAToneThroughTheAnalyser) {
    const Afinacao a = violaoPadrao();
    EstimadorAfinacao e;
    e.setAfinacao(&a);
    e.calcularDesvios();
    for (int corda = 0; corda < 6; ++corda) {
        TReplaySource source;
        source.setBufSize(EstimadorAfinacao::kTamanhoBuffer);
        TFFT fft;
        fft.setSource(&source);
        fft.setBufSize(EstimadorAfinacao::kTamanhoFFT);
        for (int b = 0; b < 5; ++b)
            source.play(sineTone8(a.getFrequencia(corda), 11025, 4069, 100.0, b * 4069LL));
        e.setCordaSelecionada(corda);
        EXPECT_EQ(e.desvio(fft), 0.0) << "string " << corda;  // in tune: the needle rests

        // Three bins sharp: the deviation is about three bin widths.
        TReplaySource sharp;
        sharp.setBufSize(4069);
        TFFT fft2;
        fft2.setSource(&sharp);
        fft2.setBufSize(16380);
        const double hz = a.getFrequencia(corda) + 3 * e.larguraBin();
        for (int b = 0; b < 5; ++b) sharp.play(sineTone8(hz, 11025, 4069, 100.0, b * 4069LL));
        EXPECT_NEAR(e.desvio(fft2), 3 * e.larguraBin(), 1.01 * e.larguraBin())
            << "string " << corda;
    }
}

TEST(Estimador, NoTuningOrStringOutOfRangeMeasuresNothing) {
    EstimadorAfinacao e;
    EspectroFixo s;
    s.m[100] = 1.0;
    EXPECT_EQ(e.frequenciaPico(s), 0.0);
    const Afinacao a = umaCorda(110.0);
    e.setAfinacao(&a);
    e.setCordaSelecionada(3);
    EXPECT_EQ(e.desvio(s), 0.0);
}
