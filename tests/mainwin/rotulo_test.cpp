// Fitting an auto-sized label into a fixed width.
#include "rotulo.h"

#include <gtest/gtest.h>

#include <QLabel>

#include "ambiente_principal.h"
#include "aplicacao.h"

namespace {

class RotuloTest : public ::testing::Test {
protected:
    RotuloTest() {
        QFont fonte(QStringLiteral("Arial"));
        fonte.setPixelSize(15);
        fonte.setBold(true);
        rotulo.setFont(fonte);
        rotulo.setTextFormat(Qt::PlainText);
        rotulo.move(267, 217);
    }
    int larguraDe(const QString& texto) const {
        return rotulo.fontMetrics().horizontalAdvance(texto);
    }
    TAplicacao& app = aplicacao();
    QLabel rotulo;
};

TEST_F(RotuloTest, ACaptionThatFitsGetsTheWholeBoxAtItsLeftEdge) {
    rotulo.setText(QStringLiteral("Bass"));
    ajustarRotulo(rotulo, 130);
    EXPECT_EQ(rotulo.text(), QStringLiteral("Bass"));
    EXPECT_EQ(rotulo.geometry().topLeft(), QPoint(267, 217));
    EXPECT_EQ(rotulo.width(), 130);
}

TEST_F(RotuloTest, ALongCaptionLosesCharactersUntilItFitsAndIsCentred) {
    const QString longo = QStringLiteral("Twelve-string resonator guitar, tuned very low");
    ASSERT_GT(larguraDe(longo), 130);
    rotulo.setText(longo);
    ajustarRotulo(rotulo, 130);
    const QString texto = rotulo.text();
    ASSERT_TRUE(texto.endsWith(QStringLiteral("...")));
    const QString mantido = texto.chopped(3);
    EXPECT_TRUE(longo.startsWith(mantido));
    EXPECT_LE(larguraDe(texto), 130);
    EXPECT_GT(larguraDe(longo.left(mantido.size() + 1) + "..."), 130);
    EXPECT_EQ(rotulo.width(), larguraDe(texto));
    EXPECT_EQ(rotulo.x(), 267 + (130 - rotulo.width()) / 2);
    EXPECT_EQ(rotulo.y(), 217);
}

TEST_F(RotuloTest, ABoxTooNarrowForAnyTextStopsAtTheDots) {
    rotulo.setText(QStringLiteral("Mandolin"));
    ajustarRotulo(rotulo, 4);
    EXPECT_EQ(rotulo.text(), QStringLiteral("..."));
    // Wider than its box: the left edge moves left by half the excess, toward zero.
    EXPECT_EQ(rotulo.x(), 267 + (4 - rotulo.width()) / 2);
    EXPECT_LT(rotulo.x(), 267);
}

}  // namespace
