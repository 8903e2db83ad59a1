#include "jpeg_decoder.h"

#include <gtest/gtest.h>

#include "jpeg_amostra.h"
#include "jpeg_qimage.h"

namespace {

// Offsets of the frame header's height and width in a JPEG made by jpegAmostra.
std::size_t posicaoSof(const std::vector<std::uint8_t>& jpeg) {
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) return i;
    return 0;
}

}  // namespace

TEST(JpegDecoder, DecodesColoursAndSizeBaselineAndProgressive) {
    for (bool progressivo : {false, true}) {
        const auto jpeg = jpegAmostra(40, 24, progressivo);
        const auto imagem = decodificarJpeg(jpeg.data(), jpeg.size());
        ASSERT_TRUE(imagem.has_value());
        EXPECT_EQ(imagem->largura, 40);
        EXPECT_EQ(imagem->altura, 24);
        ASSERT_EQ(imagem->pixels.size(), 40u * 24u * 3u);
        const std::uint8_t* esquerda = &imagem->pixels[(10 * 40 + 5) * 3];
        const std::uint8_t* direita = &imagem->pixels[(10 * 40 + 35) * 3];
        EXPECT_GT(esquerda[0], 230);
        EXPECT_LT(esquerda[2], 30);
        EXPECT_LT(direita[0], 30);
        EXPECT_GT(direita[2], 230);

        const auto q = decodificarJpegQImage(jpeg.data(), jpeg.size());
        ASSERT_NE(q, nullptr);
        EXPECT_EQ(q->format(), QImage::Format_RGB888);
        EXPECT_EQ(q->size(), QSize(40, 24));
        EXPECT_GT(qRed(q->pixel(5, 10)), 230);
        EXPECT_GT(qBlue(q->pixel(35, 10)), 230);
    }
}

TEST(JpegDecoder, DamageLibjpegCanMendGivesThePictureAndOtherDamageNone) {
    const auto jpeg = jpegAmostra(256, 256);
    // Cut in its pixel data, or without its end marker: libjpeg warns and fills the rest in grey.
    for (std::size_t corte : {jpeg.size() * 3 / 4, jpeg.size() - 2}) {
        const auto imagem = decodificarJpeg(jpeg.data(), corte);
        ASSERT_TRUE(imagem.has_value()) << corte;
        EXPECT_EQ(imagem->largura, 256);
        EXPECT_EQ(imagem->altura, 256);
        EXPECT_GT(imagem->pixels[0], 230) << corte;  // the top left is still red
        EXPECT_NE(decodificarJpegQImage(jpeg.data(), corte), nullptr);
    }
    // Cut before its pixel data, not a JPEG at all, or nothing: errors, no picture.
    std::string erro;
    EXPECT_FALSE(decodificarJpeg(nullptr, 0, &erro));
    EXPECT_FALSE(decodificarJpeg(jpeg.data(), 0));
    for (std::size_t corte : {std::size_t{2}, std::size_t{100}}) {
        erro.clear();
        EXPECT_FALSE(decodificarJpeg(jpeg.data(), corte, &erro)) << corte;
        EXPECT_FALSE(erro.empty()) << corte;
    }
    const std::vector<std::uint8_t> lixo(500, 0x5A);
    EXPECT_FALSE(decodificarJpeg(lixo.data(), lixo.size()));
    EXPECT_EQ(decodificarJpegQImage(lixo.data(), lixo.size()), nullptr);
}

TEST(JpegDecoder, AbsurdDeclaredSizeIsRefusedFromTheHeader) {
    auto jpeg = jpegAmostra(16, 16);
    const std::size_t sof = posicaoSof(jpeg);
    ASSERT_NE(sof, 0u);
    // Frame header: FF C0, length (2), precision (1), height (2), width (2).
    auto declarar = [&](int altura, int largura) {
        auto copia = jpeg;
        copia[sof + 5] = static_cast<std::uint8_t>(altura >> 8);
        copia[sof + 6] = static_cast<std::uint8_t>(altura & 0xFF);
        copia[sof + 7] = static_cast<std::uint8_t>(largura >> 8);
        copia[sof + 8] = static_cast<std::uint8_t>(largura & 0xFF);
        return copia;
    };
    std::string erro;
    const auto grande = declarar(16, 4097);
    EXPECT_FALSE(decodificarJpeg(grande.data(), grande.size(), &erro));
    EXPECT_NE(erro.find("refused"), std::string::npos) << erro;
    const auto alta = declarar(5000, 16);
    EXPECT_FALSE(decodificarJpeg(alta.data(), alta.size(), &erro));
    EXPECT_NE(erro.find("refused"), std::string::npos) << erro;
    const auto maxima = declarar(65535, 65535);
    EXPECT_FALSE(decodificarJpeg(maxima.data(), maxima.size()));
    // The largest accepted side gets past the header; its missing pixel data is filled in.
    const auto limite = declarar(16, 4096);
    const auto mendada = decodificarJpeg(limite.data(), limite.size());
    ASSERT_TRUE(mendada.has_value());
    EXPECT_EQ(mendada->largura, 4096);
}
