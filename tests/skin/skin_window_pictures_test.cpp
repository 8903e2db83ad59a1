// The pictures stored with the windows, read from the program's own Qt resource: their sizes,
// how they line up with the neck, their key colour, the needle's pivot and the pressed looks.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <cmath>
#include <cstdlib>

#include "imagem_janela.h"
#include "imagens_janelas.h"
#include "rotimg.h"
#include "skin_expectations.h"

namespace {

QImage carregar(const char* caminho) {
    QImage imagem(QString::fromUtf8(caminho));
    return imagem.convertToFormat(QImage::Format_ARGB32);
}

// The string columns (imgCorda1..6) in neck-picture coordinates (window minus the 2-pixel frame).
constexpr int kColunaCorda[6] = {97, 116, 136, 156, 176, 195};
constexpr int kTopoColuna = 224;

struct FimCorda {
    int esquerda, topo, largura, altura;  // window coordinates
};
constexpr FimCorda kFimCorda[6] = {{94, 172, 16, 62},  {101, 116, 30, 118}, {103, 60, 46, 169},
                                   {165, 61, 46, 174}, {185, 118, 30, 117}, {204, 173, 18, 65}};

TEST(SkinJanelas, EveryPictureHasTheSizeItsControlExpects) {
    for (const auto& esperada : imagensJanelas()) {
        const QImage imagem = carregar(esperada.nome.c_str());
        ASSERT_FALSE(imagem.isNull()) << esperada.nome;
        EXPECT_EQ(imagem.size(), esperada.tamanho) << esperada.nome;
    }
    // The peg hint is stretched over controls of 81..89 x 89..104: drawn near that size and shape.
    const QImage dica = carregar(skin::fmPrincipal::imgMoverTarracha);
    EXPECT_GE(dica.width(), 81);
    EXPECT_LE(dica.width(), 89);
    EXPECT_GE(dica.height(), 89);
    EXPECT_LE(dica.height(), 104);
}

TEST(SkinJanelas, PressedButtonsAreDarkerAndDifferent) {
    const std::pair<const char*, const char*> pares[] = {
        {skin::fmPrincipal::imgBtnFechar, skin::fmPrincipal::imgBtnFecharI},
        {skin::fmPrincipal::imgBtnHelp, skin::fmPrincipal::imgBtnHelpI},
        {skin::fmPrincipal::imgBtnMinimizar, skin::fmPrincipal::imgBtnMinimizarI},
        {skin::fmAssistente::imgBtnFechar, skin::fmAssistente::imgBtnFecharI}};
    for (const auto& [normal, premido] : pares) {
        const QImage a = carregar(normal), b = carregar(premido);
        EXPECT_NE(a, b) << premido;
        EXPECT_LT(luminanciaMedia(b), luminanciaMedia(a) - 5) << premido;
    }
}

// The one highlighted-string picture must fit every string column of both necks: its edge
// columns equal the neck beneath, its centre is clearly lit.
TEST(SkinJanelas, HighlightedStringFitsEveryColumnOfBothNecks) {
    const QImage corda = carregar(skin::fmPrincipal::imagemCordaSelecionada);
    const QImage braco6 = carregar(skin::fmPrincipal::imgBraco6Cordas);
    const QImage braco4 = carregar(skin::fmPrincipal::imgBraco4Cordas);
    auto diferencaMedia = [&](const QImage& braco, int coluna, int x) {
        double soma = 0;
        const int linhas = braco.height() - kTopoColuna;
        for (int y = 0; y < linhas; ++y) {
            const QRgb a = corda.pixel(x, y), b = braco.pixel(coluna + x, kTopoColuna + y);
            soma += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                    std::abs(qBlue(a) - qBlue(b));
        }
        return soma / (3.0 * linhas);
    };
    for (int p = 0; p < 6; ++p) {
        for (const auto* braco : {&braco6, &braco4}) {
            if (braco == &braco4 && (p == 0 || p == 5)) continue;  // four strings: middle four
            EXPECT_LT(diferencaMedia(*braco, kColunaCorda[p], 0), 3.0) << "position " << p;
            EXPECT_LT(diferencaMedia(*braco, kColunaCorda[p], 16), 3.0) << "position " << p;
            // Lit: the string and the glow around it are much warmer (red over blue).
            double lit = 0, plain = 0;
            for (int y = 20; y < 300; ++y)
                for (int x = 5; x <= 11; ++x) {
                    const QRgb a = corda.pixel(x, y);
                    const QRgb b = braco->pixel(kColunaCorda[p] + x, kTopoColuna + y);
                    lit += qRed(a) - qBlue(a);
                    plain += qRed(b) - qBlue(b);
                }
            EXPECT_GT(lit / (280 * 7), plain / (280 * 7) + 30) << "position " << p;
        }
    }
}

// Each highlighted string end starts on its string at the nut and reaches up to its post.
TEST(SkinJanelas, HighlightedStringEndsRunFromTheirStringToTheHead) {
    for (int p = 0; p < 6; ++p) {
        const QImage fim = carregar(skin::fmPrincipal::imgFimCordaSelecionada[p]);
        const FimCorda& caixa = kFimCorda[p];
        EXPECT_TRUE(ehChave(fim.pixel(0, fim.height() - 1))) << "position " << p;
        // The string's centre at the nut, in window coordinates, is its column's centre.
        const double xCorda = kColunaCorda[p] + 2 + 8.5;
        const int linha = 226 - caixa.topo;
        int melhor = -1, brilho = -1;
        for (int x = 0; x < fim.width(); ++x) {
            const QRgb px = fim.pixel(x, linha);
            if (!ehChave(px) && qGray(px) > brilho) {
                brilho = qGray(px);
                melhor = x;
            }
        }
        ASSERT_GE(melhor, 0) << "position " << p;
        EXPECT_NEAR(caixa.esquerda + melhor + 0.5, xCorda, 2.0) << "position " << p;
        int pintados = 0;
        for (int y = 0; y < 14; ++y)
            for (int x = 0; x < fim.width(); ++x) pintados += !ehChave(fim.pixel(x, y));
        EXPECT_GT(pintados, 10) << "position " << p << " does not reach its post";
    }
}

TEST(SkinJanelas, NeedlePointsUpFromItsCentreOnBlack) {
    const QImage agulha = carregar(skin::fmPrincipal::imgPonteiro);
    EXPECT_TRUE(ehChave(agulha.pixel(0, 112)));
    EXPECT_FALSE(ehChave(agulha.pixel(56, 56)));  // the hub at the pivot
    for (int y = 6; y < 50; ++y) EXPECT_FALSE(ehChave(agulha.pixel(56, y))) << y;
    EXPECT_TRUE(ehChave(agulha.pixel(8, 56)));
    EXPECT_TRUE(ehChave(agulha.pixel(104, 56)));
    // Symmetric about the pivot's column, so it turns about its centre line.
    for (int y = 0; y < agulha.height(); ++y) {
        int esquerda = -1, direita = -1;
        for (int x = 0; x < agulha.width(); ++x)
            if (!ehChave(agulha.pixel(x, y))) {
                if (esquerda < 0) esquerda = x;
                direita = x;
            }
        if (esquerda >= 0) {
            EXPECT_LE(std::abs((56 - esquerda) - (direita - 56)), 1) << y;
        }
    }
}

TEST(SkinJanelas, LanguageChooserGlyphsAreTransparentAndGreyWhenDisabled) {
    using namespace skin::fmListaIdiomas;
    for (const char* nome : {btnOk, btnOkDesabilitado, btnCancelar, btnCancelarDesabilitado}) {
        const QImage g = carregar(nome);
        EXPECT_EQ(qAlpha(g.pixel(0, 17)), 0) << nome;
        EXPECT_EQ(qAlpha(g.pixel(17, 0)), 0) << nome;
    }
    auto saturacaoMaxima = [](const QImage& g) {
        int maxima = 0;
        for (int y = 0; y < g.height(); ++y)
            for (int x = 0; x < g.width(); ++x)
                if (qAlpha(g.pixel(x, y)) > 200)
                    maxima = std::max(maxima, QColor(g.pixel(x, y)).hsvSaturation());
        return maxima;
    };
    EXPECT_GT(saturacaoMaxima(carregar(btnOk)), 150);
    EXPECT_GT(saturacaoMaxima(carregar(btnCancelar)), 150);
    EXPECT_LT(saturacaoMaxima(carregar(btnOkDesabilitado)), 20);
    EXPECT_LT(saturacaoMaxima(carregar(btnCancelarDesabilitado)), 20);
}

// The main window's pictures decoded ahead, on a worker, are pixel for pixel the pictures of the
// resource, whether claimed ahead or decoded again on a later request.
TEST(SkinJanelas, PicturesDecodedAheadAreTheResourcesPictures) {
    int argc = 0;
    QApplication app(argc, nullptr);
    anteciparImagensJanela("fmPrincipal");
    const std::pair<const char*, const char*> figuras[] = {
        {"imagemBackground", skin::fmPrincipal::imagemBackground},
        {"imgPonteiro", skin::fmPrincipal::imgPonteiro},
        {"imgMoverTarracha", skin::fmPrincipal::imgMoverTarracha},
        {"imgBtnFecharI", skin::fmPrincipal::imgBtnFecharI}};
    for (int vez = 0; vez < 2; ++vez) {
        for (const auto& [nome, caminho] : figuras) {
            const QImage lida = imagemJanela("fmPrincipal", nome).toImage();
            EXPECT_EQ(lida.convertToFormat(QImage::Format_ARGB32), carregar(caminho))
                << nome << " " << vez;
        }
    }
    EXPECT_TRUE(imagemJanela("fmPrincipal", "imgSemFigura").isNull());
}

// The needle control renders its picture into a square of side 163, the control's own size, and
// the needle turns about the square's centre: positive angles turn it counter-clockwise.
TEST(SkinJanelas, NeedleTurnsAboutTheCentreOfItsSquare) {
    int argc = 0;
    QApplication app(argc, nullptr);
    TRotateImage ponteiro;
    ponteiro.setColor(Qt::black);
    ponteiro.setTransparent(true);
    ponteiro.setCenter(true);
    ponteiro.Picture().setBitmap(QImage(QString::fromUtf8(skin::fmPrincipal::imgPonteiro)));
    for (double angulo : {0.0, 30.0, -45.0, 90.0, -90.0, 7.5}) {
        ponteiro.setAngle(angulo);
        ASSERT_EQ(ponteiro.RotatedSize(), QSize(163, 163)) << angulo;
        const QImage girada = ponteiro.RotatedBitmap();
        EXPECT_FALSE(ehChave(girada.pixel(81, 81))) << angulo;  // the hub stays at the centre
        const double rad = angulo * M_PI / 180.0;
        auto ponto = [&](double r) {
            return girada.pixel(static_cast<int>(std::lround(81 - r * std::sin(rad))),
                                static_cast<int>(std::lround(81 - r * std::cos(rad))));
        };
        EXPECT_FALSE(ehChave(ponto(45))) << angulo;  // the blade, towards the angle
        EXPECT_TRUE(ehChave(ponto(-45))) << angulo;  // nothing opposite it
    }
}

}  // namespace
