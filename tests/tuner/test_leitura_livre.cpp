// The free reading offline (no string selected): the automatic string over standard guitar and
// the chromatic reading, on synthetic plucks fed as capture delivers them, one tick per 50 ms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "cordas_sinteticas.h"
#include "leitura_fina.h"
#include "seletor_alvo.h"

namespace {

using testkit::hzNota;

constexpr int kTaxa = 44100;
constexpr int kBloco = kTaxa / 100;
constexpr double kTick = 0.05;

// Standard guitar, E2 A2 D3 G3 B3 E4.
const std::vector<int> kGuitarra = {40, 45, 50, 55, 59, 64};

struct Tick {
    double t;
    double cents;  // NaN: no figure
    int indice;    // the chooser's current choice
};

// Feeds `x` in 10 ms blocks of 16-bit samples; a tick every 50 ms.
std::vector<Tick> ler(LeituraFina& leitura, const SeletorAlvo& seletor, const std::vector<float>& x) {
    std::vector<Tick> r;
    std::vector<float> b(kBloco);
    double proximo = 0.013;
    for (std::size_t i = 0; i + kBloco <= x.size(); i += kBloco) {
        for (int k = 0; k < kBloco; ++k)
            b[static_cast<std::size_t>(k)] =
                std::round(std::clamp(x[i + static_cast<std::size_t>(k)], -1.0f, 1.0f) * 32768.0f) /
                32768.0f;
        leitura.acrescentar(b.data(), kBloco);
        const double agora = static_cast<double>(i + kBloco) / kTaxa;
        for (; proximo <= agora; proximo += kTick) {
            const double cents = leitura.ler();
            r.push_back({proximo, cents, seletor.atual().indice});
        }
    }
    return r;
}

struct Golpe {
    double inicio, fim;
    int nota;      // MIDI
    double cents;  // its offset from the note
};

// Half a second of silence, then each note plucked for `segundos` (the last one rings out).
std::vector<float> tocar(std::vector<Golpe>& golpes, double segundos, std::mt19937& aleatorio) {
    std::vector<float> x(kTaxa / 2, 0.0f);
    for (Golpe& g : golpes) {
        testkit::Pluck p;
        p.hz = hzNota(g.nota) * std::exp2(g.cents / 1200.0);
        p.segundos = segundos;
        p.glideCents = 6.0;
        g.inicio = static_cast<double>(x.size()) / kTaxa;
        testkit::misturar(x, testkit::pluck(p, kTaxa, aleatorio), x.size());
        g.fim = static_cast<double>(x.size()) / kTaxa;
    }
    x.resize(x.size() + kTaxa / 2, 0.0f);
    return x;
}

// Seconds from the stroke until the choice is `indice` and stays so; infinity when it is not
// at the stroke's end. Counts the changes of choice during the stroke too.
double escolhaFirme(const std::vector<Tick>& r, const Golpe& g, int indice, int* trocas) {
    double desde = g.inicio;
    bool certo = false;
    int anterior = -2;
    *trocas = 0;
    for (const Tick& t : r) {
        if (t.t <= g.inicio || t.t > g.fim) continue;
        if (anterior != -2 && t.indice != anterior) ++*trocas;
        anterior = t.indice;
        const bool ok = t.indice == indice;
        if (ok && !certo) desde = t.t;
        certo = ok;
    }
    return certo ? desde - g.inicio : INFINITY;
}

}  // namespace

TEST(FreeReading, TheAutomaticStringFindsEachGuitarStringQuicklyAndReadsIt) {
    std::mt19937 aleatorio(5);
    std::vector<double> alvos;
    for (int n : kGuitarra) alvos.push_back(hzNota(n));
    // The six strings in a shuffled order, each a few cents off; then A2 40 cents sharp.
    std::vector<Golpe> golpes;
    std::vector<int> ordem = {3, 0, 5, 1, 4, 2};
    for (int i : ordem) golpes.push_back({0, 0, kGuitarra[static_cast<std::size_t>(i)], -7.0 + 3 * i});
    golpes.push_back({0, 0, 45, 40.0});
    const std::vector<float> x = tocar(golpes, 1.5, aleatorio);

    SeletorAlvo seletor;
    seletor.setCordas(alvos);
    LeituraFina leitura;
    leitura.preparar(kTaxa);
    leitura.setLivre([&seletor](double hz) { return seletor.escolher(hz).hz; });
    const std::vector<Tick> r = ler(leitura, seletor, x);

    for (std::size_t k = 0; k < golpes.size(); ++k) {
        const Golpe& g = golpes[k];
        const int corda = static_cast<int>(
            std::find(kGuitarra.begin(), kGuitarra.end(), g.nota) - kGuitarra.begin());
        int trocas = 0;
        const double s = escolhaFirme(r, g, corda, &trocas);
        EXPECT_LE(s, 0.35) << "stroke " << k << " (MIDI " << g.nota << ")";
        EXPECT_LE(trocas, 1) << "stroke " << k;
        // Read against that string: within a cent of its offset once it has rung 0.6 s.
        for (const Tick& t : r) {
            if (t.t > g.inicio + 0.6 && t.t <= g.fim) {
                EXPECT_NEAR(t.cents, g.cents, 1.0) << "stroke " << k << " at " << t.t;
            }
        }
    }
}

TEST(FreeReading, ANoteHalfwayBetweenTwoStringsStaysOnOne) {
    std::mt19937 aleatorio(9);
    SeletorAlvo seletor;
    seletor.setCordas({hzNota(40), hzNota(45)});
    // 250 cents above E2: halfway to A2, plucked three times.
    std::vector<Golpe> golpes = {{0, 0, 40, 250.0}, {0, 0, 40, 250.0}, {0, 0, 40, 250.0}};
    const std::vector<float> x = tocar(golpes, 1.2, aleatorio);
    LeituraFina leitura;
    leitura.preparar(kTaxa);
    leitura.setLivre([&seletor](double hz) { return seletor.escolher(hz).hz; });
    const std::vector<Tick> r = ler(leitura, seletor, x);
    int escolhida = -1, trocas = 0;
    for (const Tick& t : r) {
        if (t.indice < 0) continue;
        if (escolhida >= 0 && t.indice != escolhida) {
            ++trocas;
            std::printf("at %.2f s: %d -> %d (%+.2f cents)\n", t.t, escolhida, t.indice, t.cents);
        }
        escolhida = t.indice;
    }
    EXPECT_GE(escolhida, 0);
    EXPECT_EQ(trocas, 0);
}

TEST(FreeReading, ChromaticReadsAnyNoteAgainstItsNearestNoteAtTheConcertPitch) {
    std::mt19937 aleatorio(3);
    struct Caso {
        double la4;
        int nota;
        double cents;
    };
    // C4 at 261.63 Hz (A4 = 440), E1, a high E6, and notes off by up to 35 cents; and at 442.
    for (const Caso c : {Caso{440.0, 60, 0.0}, Caso{440.0, 28, 8.0}, Caso{440.0, 88, -20.0},
                         Caso{440.0, 49, 35.0}, Caso{442.0, 40, 0.0}, Caso{415.3, 69, -3.0}}) {
        SeletorAlvo seletor;
        seletor.setCromatico(c.la4);
        std::vector<Golpe> golpes = {{0, 0, c.nota, c.cents}};
        testkit::Pluck p;
        // The pluck's pitch at the concert pitch asked for.
        p.hz = SeletorAlvo::hzNota(c.nota, c.la4) * std::exp2(c.cents / 1200.0);
        p.segundos = 1.5;
        std::vector<float> x(kTaxa / 2, 0.0f);
        golpes[0].inicio = 0.5;
        testkit::misturar(x, testkit::pluck(p, kTaxa, aleatorio), x.size());
        golpes[0].fim = static_cast<double>(x.size()) / kTaxa;
        x.resize(x.size() + kTaxa / 2, 0.0f);

        LeituraFina leitura;
        leitura.preparar(kTaxa);
        leitura.setLivre([&seletor](double hz) { return seletor.escolher(hz).hz; });
        const std::vector<Tick> r = ler(leitura, seletor, x);
        const std::string nome = "MIDI " + std::to_string(c.nota) + " at A4 = " + std::to_string(c.la4);
        EXPECT_EQ(seletor.atual().indice, c.nota) << nome;
        int lidos = 0;
        for (const Tick& t : r) {
            if (t.t < golpes[0].inicio + 0.5 || t.t > golpes[0].fim) continue;
            EXPECT_EQ(t.indice, c.nota) << nome << " at " << t.t;
            EXPECT_NEAR(t.cents, c.cents, 0.5) << nome << " at " << t.t;
            ++lidos;
        }
        EXPECT_GT(lidos, 10) << nome;
        // Silence before and after: no figure.
        for (const Tick& t : r) {
            if (t.t < 0.5 || t.t > golpes[0].fim + 0.3) {
                EXPECT_TRUE(std::isnan(t.cents)) << nome;
            }
        }
    }
}

TEST(FreeReading, TheChooserKeepsItsTargetWithinTheHysteresis) {
    SeletorAlvo s;
    s.setCordas({hzNota(40), hzNota(45), 0.0});
    EXPECT_EQ(s.escolher(0.0).indice, -1);
    EXPECT_EQ(s.escolher(hzNota(40) * std::exp2(-40 / 1200.0)).indice, 0);
    // 255 cents up: A2 nearer by 10 cents, within the hysteresis; 280: A2.
    EXPECT_EQ(s.escolher(hzNota(40) * std::exp2(255 / 1200.0)).indice, 0);
    EXPECT_EQ(s.escolher(hzNota(40) * std::exp2(280 / 1200.0)).indice, 1);
    s.setCromatico(440.0);
    EXPECT_EQ(s.escolher(261.63).indice, 60);
    EXPECT_EQ(s.escolher(261.63 * std::exp2(58 / 1200.0)).indice, 60);
    EXPECT_EQ(s.escolher(261.63 * std::exp2(75 / 1200.0)).indice, 61);
    EXPECT_EQ(s.escolher(5.0).indice, SeletorAlvo::kMenorNota);  // clamped to the range
    EXPECT_NEAR(SeletorAlvo::hzNota(69, 442.0), 442.0, 1e-9);
}
