// The picture tool's parts: language texts, template preparation (texts, values, inlined
// pictures, text fitting), colour keying and JPEG encoding (read back by the program's decoder).

#include <gtest/gtest.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "color_key.h"
#include "jpeg_decoder.h"
#include "jpeg_writer.h"
#include "qt_text_measurer.h"
#include "skin_texts.h"
#include "svg_prepare.h"

namespace {

// Ten pixels per character, so fitting is exact.
class MedidorFixo : public TextMeasurer {
public:
    double width(const FontSpec& font, const std::string& utf8) const override {
        ultimaFonte = font;
        return 10.0 * static_cast<double>(QString::fromUtf8(utf8.c_str()).size()) * font.pixelSize /
               10.0;
    }
    mutable FontSpec ultimaFonte;
};

TEST(SkinTexts, ReadsSectionsKeysAndSkipsComments) {
    const SkinTexts t = SkinTexts::parse(
        "\xEF\xBB\xBF; comment\n[geral]\nnomeAplicacao = Tessarin \r\n\n[_arte]\nok=OK\n"
        "ok = second\nsemIgual\n[vazia]\n");
    EXPECT_EQ(t.get("geral", "nomeAplicacao"), "Tessarin");
    EXPECT_EQ(t.get("_arte", "ok"), "OK");  // the first occurrence wins
    EXPECT_FALSE(t.get("geral", "ok"));
    EXPECT_FALSE(t.get("_arte", "semIgual"));
    EXPECT_THROW(SkinTexts::load("/nonexistent/x.lang"), std::runtime_error);
}

TEST(PrepareSvg, SubstitutesEscapedTextsAndValues) {
    const SkinTexts t = SkinTexts::parse("[_arte]\nok = A & B <C> \"d\"\n");
    PrepareOptions o;
    o.texts = &t;
    o.vars = {{"texto", "{{_arte.ok}}"}, {"w", "12"}};
    EXPECT_EQ(prepareSvg("<svg width=\"{{var.w}}\"><text>{{var.texto}}</text></svg>", o),
              "<svg width=\"12\"><text>A &amp; B &lt;C&gt; &quot;d&quot;</text></svg>");
}

TEST(PrepareSvg, MissingTextsAndValuesFailNamingThem) {
    const SkinTexts t = SkinTexts::parse("[geral]\nx = 1\n");
    PrepareOptions o;
    o.texts = &t;
    try {
        prepareSvg("<text>{{_arte.cancelar}}</text>", o);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("_arte.cancelar"), std::string::npos);
    }
    EXPECT_THROW(prepareSvg("{{var.w}}", o), std::runtime_error);
    o.texts = nullptr;
    EXPECT_THROW(prepareSvg("{{geral.x}}", o), std::runtime_error);
}

TEST(PrepareSvg, ShrinksOnlyTextsWiderThanTheirBox) {
    MedidorFixo medidor;
    PrepareOptions o;
    o.measurer = &medidor;
    // 10 characters at 10 px = 100 px in a box of 80: the size goes down by 80/100.
    const std::string largo = prepareSvg(
        "<text x=\"1\" font-size=\"10\" font-weight=\"bold\" letter-spacing=\"1\" "
        "data-fit=\"80\">Afina&amp;&lt;oes</text>",
        o);
    EXPECT_NE(largo.find("font-size=\"8.0\""), std::string::npos) << largo;
    EXPECT_NE(largo.find("letter-spacing=\"0.80\""), std::string::npos) << largo;
    EXPECT_TRUE(medidor.ultimaFonte.bold);
    EXPECT_EQ(medidor.ultimaFonte.family, "Liberation Sans");
    const std::string curto =
        prepareSvg("<text font-size=\"10\" data-fit=\"80\"><tspan>OK</tspan></text>", o);
    EXPECT_NE(curto.find("font-size=\"10\""), std::string::npos);
    EXPECT_THROW(prepareSvg("<text data-fit=\"80\">OK</text>", o), std::runtime_error);
}

TEST(PrepareSvg, InlinesPicturesFromTheImageFolderOnly) {
    const auto pasta = std::filesystem::temp_directory_path() / "skin_tool_test";
    std::filesystem::create_directories(pasta / "res");
    {
        std::ofstream f(pasta / "res" / "p.png", std::ios::binary);
        f << "abc";
    }
    PrepareOptions o;
    o.imageDir = pasta.string();
    EXPECT_EQ(prepareSvg("<image href=\"png:res/p\"/>", o),
              "<image href=\"data:image/png;base64,YWJj\"/>");
    EXPECT_THROW(prepareSvg("<image href=\"png:../etc/p\"/>", o), std::runtime_error);
    EXPECT_THROW(prepareSvg("<image href=\"png:res/missing\"/>", o), std::runtime_error);
    std::filesystem::remove_all(pasta);
}

TEST(PrepareSvg, Base64AndEntities) {
    EXPECT_EQ(base64(""), "");
    EXPECT_EQ(base64("a"), "YQ==");
    EXPECT_EQ(base64("ab"), "YWI=");
    EXPECT_EQ(base64(std::string("\xff\x00\x10", 3)), "/wAQ");
    EXPECT_EQ(unescapeXml(escapeXml("<a href='x'>&amp;</a>")), "<a href='x'>&amp;</a>");
}

TEST(ColorKey, UnchangedPixelsBecomeTheKeyAndPaintedBlackStaysPainted) {
    QImage base(4, 4, QImage::Format_RGB32);
    base.fill(QColor(40, 30, 20));
    QImage over(2, 2, QImage::Format_ARGB32);
    over.fill(QColor(40, 31, 20));             // within tolerance: keyed out
    over.setPixel(1, 0, qRgb(250, 200, 100));  // changed: kept
    over.setPixel(0, 1, qRgb(0, 0, 0));        // painted black: kept, moved off the key
    const QImage k = keyAgainstBase(over, base, QPoint(2, 2), Qt::black);
    EXPECT_EQ(k.pixel(0, 0) & 0xFFFFFF, 0u);
    EXPECT_EQ(k.pixel(1, 0) & 0xFFFFFF, 0xFAC864u);
    EXPECT_NE(k.pixel(0, 1) & 0xFFFFFF, 0u);
    EXPECT_THROW(keyAgainstBase(over, base, QPoint(3, 3), Qt::black), std::runtime_error);

    QImage alfa(2, 1, QImage::Format_ARGB32);
    alfa.setPixel(0, 0, qRgba(255, 255, 255, 5));
    alfa.setPixel(1, 0, qRgba(0, 0, 0, 255));
    const QImage a = keyByAlpha(alfa, QColor(20, 20, 20), Qt::black);
    EXPECT_EQ(a.pixel(0, 0) & 0xFFFFFF, 0u);
    EXPECT_NE(a.pixel(1, 0) & 0xFFFFFF, 0u);
}

TEST(JpegWriter, ProgramDecoderReadsWhatTheToolWrites) {
    QImage imagem(37, 21, QImage::Format_RGB32);
    for (int y = 0; y < imagem.height(); ++y)
        for (int x = 0; x < imagem.width(); ++x) imagem.setPixel(x, y, qRgb(x * 6, y * 12, 128));
    const std::string jpeg = encodeJpeg(imagem, 92);
    std::string erro;
    const auto lida =
        decodificarJpeg(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size(), &erro);
    ASSERT_TRUE(lida) << erro;
    EXPECT_EQ(lida->largura, 37);
    EXPECT_EQ(lida->altura, 21);
    const std::size_t i = (10 * 37 + 20) * 3;
    EXPECT_NEAR(lida->pixels[i], 120, 8);
    EXPECT_NEAR(lida->pixels[i + 1], 120, 8);
    EXPECT_NEAR(lida->pixels[i + 2], 128, 8);
}

TEST(QtTextMeasurer, MeasuresInstalledFontsAndRefusesMissingOnes) {
    int argc = 0;
    QGuiApplication app(argc, nullptr);
    QtTextMeasurer m;
    FontSpec f;
    f.pixelSize = 20;
    const double normal = m.width(f, "Afinações");
    EXPECT_GT(normal, 60);
    EXPECT_LT(normal, 120);
    f.bold = true;
    EXPECT_GT(m.width(f, "Afinações"), normal);
    const double sem = m.width(f, "AB");
    f.letterSpacing = 2;
    EXPECT_NEAR(m.width(f, "AB") - sem, 4.0, 0.01);
    f.family = "No Such Family Anywhere";
    EXPECT_THROW(m.width(f, "x"), std::runtime_error);
}

}  // namespace
