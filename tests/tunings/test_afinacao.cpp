// The tuning model: note tables, descriptions and the band test.
#include <gtest/gtest.h>

#include "afinacao.h"

namespace {
Afinacao afinacaoDe(std::string instrumento, std::string tipo, std::vector<int> notas) {
    std::vector<std::string> nomes;
    std::vector<double> freqs;
    for (int n : notas) {
        nomes.push_back(nomeNotaMIDI(n));
        freqs.push_back(frequenciaNotaMIDI(n));
    }
    const int count = static_cast<int>(notas.size());
    return Afinacao(std::move(instrumento), std::move(tipo), count, nomes, notas, freqs);
}
}  // namespace

TEST(Afinacao, NoteTables) {
    EXPECT_EQ(nomeNotaMIDI(12), "C");
    EXPECT_EQ(nomeNotaMIDI(24), "C");
    EXPECT_EQ(nomeNotaMIDI(57), "A");
    EXPECT_EQ(nomeNotaMIDI(61), "C#");
    EXPECT_EQ(nomeNotaMIDI(71), "B");
    EXPECT_DOUBLE_EQ(frequenciaNotaMIDI(69), 440.0);
    EXPECT_DOUBLE_EQ(frequenciaNotaMIDI(57), 220.0);
    EXPECT_NEAR(frequenciaNotaMIDI(40), 82.4069, 1e-4);
    EXPECT_NEAR(frequenciaNotaMIDI(0), 8.1758, 1e-4);
    EXPECT_NEAR(frequenciaNotaMIDI(126), 11839.82, 1e-2);
}

TEST(Afinacao, Descriptions) {
    const Afinacao comTipo = afinacaoDe("Guitar", "Standard", {40, 45, 50, 55, 59, 64});
    EXPECT_EQ(comTipo.getDescricao(), "Guitar (Standard) - E, A, D, G, B, E");
    const Afinacao semTipo = afinacaoDe("Bass", "", {28, 33, 38, 43});
    EXPECT_EQ(semTipo.getDescricao(), "Bass - E, A, D, G");
    const Afinacao umaCorda = afinacaoDe("Drone", "", {62});
    EXPECT_EQ(umaCorda.getDescricao(), "Drone - D");
}

TEST(Afinacao, GettersAndTextReplacement) {
    Afinacao a = afinacaoDe("#VIO", "#PAD", {40, 45});
    EXPECT_EQ(a.getNumeroCordas(), 2);
    EXPECT_EQ(a.getNotaMIDI(1), 45);
    EXPECT_EQ(a.getNomeNota(1), "A");
    EXPECT_DOUBLE_EQ(a.getFrequencia(1), 110.0);
    a.setInstrumento("Violão");
    a.setTipoAfinacao("");
    EXPECT_EQ(a.getInstrumento(), "Violão");
    EXPECT_EQ(a.getDescricao(), "Violão - E, A");
}

TEST(Afinacao, BandTestBoundsAreInclusive) {
    const Afinacao a440 = Afinacao("X", "", 1, {"A"}, {69}, {440.0});
    EXPECT_TRUE(a440.estaNaFaixa(343, 0));
    EXPECT_TRUE(a440.estaNaFaixa(537, 0));
    EXPECT_FALSE(a440.estaNaFaixa(342, 0));
    EXPECT_FALSE(a440.estaNaFaixa(538, 0));

    // 90 Hz: the bounds are exactly 70 and 110, and both pass.
    const Afinacao a90 = Afinacao("X", "", 1, {"?"}, {0}, {90.0});
    EXPECT_TRUE(a90.estaNaFaixa(70, 0));
    EXPECT_TRUE(a90.estaNaFaixa(110, 0));
    EXPECT_FALSE(a90.estaNaFaixa(69, 0));
    EXPECT_FALSE(a90.estaNaFaixa(111, 0));
}

TEST(Afinacao, MismatchedTablesAreRefused) {
    EXPECT_ANY_THROW(Afinacao("X", "", 2, {"A"}, {69}, {440.0}));
    EXPECT_ANY_THROW(Afinacao("X", "", 0, {}, {}, {}));
}
