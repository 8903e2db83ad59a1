// The fine reading: the peak placed between the analyser's own bins and read in cents from the
// string's target, on exact sines over the whole band of every guitar and bass string.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "afinacao_notas.h"
#include "estimador_afinacao.h"
#include "pico_fino.h"
#include "real_fft.h"
#include "texto_cents.h"

namespace {

constexpr int kN = 16384;
constexpr double kTaxa = 11025.0;

// The spectrum of samples given in double precision, scaled as the analyser scales it.
class EspectroExato : public TSpectrum {
public:
    explicit EspectroExato(int n = kN) : fft_(n), escala_(std::sqrt(static_cast<double>(n))) {}
    void transformar(const std::vector<double>& amostras) { fft_.transform(amostras.data()); }
    double Magnitude(int i) const override { return std::abs(Bin(i)); }
    std::complex<double> Bin(int i) const override {
        if (i < 0 || i >= fft_.size()) return {};
        return {fft_.real(i) / escala_, fft_.imag(i) / escala_};
    }
    int Length() const override { return fft_.size(); }

private:
    RealFft fft_;
    double escala_;
};

std::vector<double> seno(double hz, double amplitude, double fase, int n = kN) {
    std::vector<double> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) x[i] = amplitude * std::sin(2.0 * M_PI * hz * i / kTaxa + fase);
    return x;
}

const Afinacao& violao() {
    static const Afinacao a = afinacaoDeNotas("Guitar", {40, 45, 50, 55, 59, 64});
    return a;
}
const Afinacao& baixo() {
    static const Afinacao a = afinacaoDeNotas("Bass", {28, 33, 38, 43});
    return a;
}

}  // namespace

TEST(FineReading, ExactSinesReadTheirCentsOnEveryGuitarAndBassString) {
    EspectroExato espectro;
    std::mt19937 aleatorio(20);
    std::uniform_real_distribution<double> fase(0.0, 2.0 * M_PI);
    std::uniform_real_distribution<double> longe(-150.0, 150.0);
    double pior = 0.0;
    for (const Afinacao* a : {&violao(), &baixo()}) {
        EstimadorAfinacao e;
        e.setAfinacao(a);
        for (int corda = 0; corda < a->getNumeroCordas(); ++corda) {
            e.setCordaSelecionada(corda);
            std::vector<double> cents = {-10, -3, -1, 0, 1, 3, 10};
            for (int i = 0; i < 6; ++i) cents.push_back(longe(aleatorio));
            for (double c : cents) {
                const double hz = a->getFrequencia(corda) * std::pow(2.0, c / 1200.0);
                espectro.transformar(seno(hz, 5000.0, fase(aleatorio)));
                const double lido = e.desvioCents(espectro);
                EXPECT_NEAR(lido, c, 0.05) << "note " << a->getNotaMIDI(corda) << " at " << c;
                EXPECT_NEAR(e.frequenciaFina(espectro), hz, hz * 1e-5);
                pior = std::max(pior, std::fabs(lido - c));
            }
        }
    }
    std::printf("largest error on exact sines: %.4f cent\n", pior);
}

TEST(FineReading, ReadsOnTheAnalysersBinSpacingNotTheClassicOne) {
    // A tone exactly on analyser bin 163 (163 x 11025/16384 Hz) against a target of that very
    // frequency reads 0, while the classic grid puts bin 163 at 163 x 11025/16380 Hz, 0.42 cent
    // higher. The peak of a tone halfway between two bins is placed halfway.
    const double bin163 = 163.0 * kTaxa / kN;
    const Afinacao alvoNoBin("X", "", 1, {"A"}, {45}, {bin163});
    EstimadorAfinacao e;
    EXPECT_EQ(e.tamanhoTransformada(), kN);
    e.setAfinacao(&alvoNoBin);
    EspectroExato espectro;
    espectro.transformar(seno(bin163, 3000.0, 0.4));
    EXPECT_NEAR(e.desvioCents(espectro), 0.0, 0.005);
    EXPECT_NEAR(1200.0 * std::log2(e.frequenciaPico(espectro) / bin163), 0.42, 0.01);
    espectro.transformar(seno(163.5 * kTaxa / kN, 3000.0, 1.3));
    EXPECT_NEAR(e.frequenciaFina(espectro), 163.5 * kTaxa / kN, 1e-4);
}

TEST(FineReading, NoReadingWithoutEnergyTuningOrMatchingLength) {
    EstimadorAfinacao e;
    EspectroExato silencio;
    silencio.transformar(std::vector<double>(kN, 0.0));
    EXPECT_TRUE(std::isnan(e.desvioCents(silencio)));  // no tuning
    e.setAfinacao(&violao());
    EXPECT_TRUE(std::isnan(e.frequenciaFina(silencio)));
    EXPECT_TRUE(std::isnan(e.desvioCents(silencio)));
    e.setCordaSelecionada(6);
    EspectroExato tom;
    tom.transformar(seno(82.41, 1000.0, 0.0));
    EXPECT_TRUE(std::isnan(e.desvioCents(tom)));  // no such string

    // A spectrum of another length is on another grid: no reading rather than a wrong one.
    e.setCordaSelecionada(0);
    EspectroExato curto(8192);
    curto.transformar(seno(82.41, 1000.0, 0.0, 8192));
    EXPECT_TRUE(std::isnan(e.desvioCents(curto)));
    EXPECT_FALSE(std::isnan(e.desvioCents(tom)));
}

TEST(FineReading, BinCorrectionDoesNotApply) {
    const double hz = frequenciaNotaMIDI(45) * std::pow(2.0, 4.0 / 1200.0);
    EspectroExato espectro;
    espectro.transformar(seno(hz, 2000.0, 0.7));
    EstimadorAfinacao e;
    e.setAfinacao(&violao());
    e.setCordaSelecionada(1);
    for (int tipo : {0, 1, 2}) {
        e.setTipoSistema(tipo);
        EXPECT_NEAR(e.desvioCents(espectro), 4.0, 0.05) << tipo;
    }
}

TEST(FineReading, PeakOffsetFromThreeBins) {
    // One complex exponential at 10.3 bins over 64 samples: exact.
    const int n = 64;
    auto bin = [&](int k) {
        std::complex<double> s;
        for (int t = 0; t < n; ++t)
            s += std::polar(1.0, 2.0 * M_PI * 10.3 * t / n) * std::polar(1.0, -2.0 * M_PI * k * t / n);
        return s;
    };
    EXPECT_NEAR(deslocamentoPico(bin(9), bin(10), bin(11), n), 0.3, 1e-12);
    EXPECT_NEAR(deslocamentoPico(bin(10), bin(11), bin(12), n), -0.7, 1e-12);
    // Nothing to interpolate; and a wild answer is kept within a bin.
    EXPECT_TRUE(std::isnan(deslocamentoPico(0.0, 0.0, 0.0, n)));
    EXPECT_EQ(deslocamentoPico(1.0, 0.5, -1.0, n), 1.0);
    EXPECT_EQ(deslocamentoPico(-1.0, 0.5, 1.0, n), -1.0);
}

TEST(FineReading, FigureHasSignOneDecimalAndTheCentSign) {
    EXPECT_EQ(textoCents(3.21), "+3.2 \xA2");
    EXPECT_EQ(textoCents(-3.25), "-3.3 \xA2");  // halves away from zero
    EXPECT_EQ(textoCents(0.04), "0.0 \xA2");
    EXPECT_EQ(textoCents(-0.04), "0.0 \xA2");
    EXPECT_EQ(textoCents(-0.06), "-0.1 \xA2");
    EXPECT_EQ(textoCents(347.06), "+347.1 \xA2");
    EXPECT_EQ(textoCents(std::numeric_limits<double>::quiet_NaN()), "");
    EXPECT_EQ(textoCents(std::numeric_limits<double>::infinity()), "");
}
