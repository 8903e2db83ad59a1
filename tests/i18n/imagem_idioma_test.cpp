#include <gtest/gtest.h>

#include <QGuiApplication>

#include "faixa_imagem.h"
#include "idioma.h"
#include "jpeg_amostra.h"
#include "pasta_temporaria.h"
#include "utilgui.h"

namespace {

// A language whose data file holds 7 bytes of padding, a 20 x 10 JPEG and a 6 x 4 JPEG.
class ImagemIdiomaTest : public ::testing::Test {
protected:
    void SetUp() override {
        anterior_ =
            setMostradorMensagem([this](const std::string& texto, const std::string& titulo) {
                mensagens.emplace_back(texto, titulo);
            });
        a_ = jpegAmostra(20, 10);
        b_ = jpegAmostra(6, 4);
        std::string dat(7, 'x');
        dat.append(a_.begin(), a_.end());
        dat.append(b_.begin(), b_.end());
        pasta.escrever("L.dat", dat);
        const auto n = [](std::size_t v) { return std::to_string(v); };
        const std::string inicioB = n(7 + a_.size());
        pasta.escrever("L.idm",
                       "[fig]\r\n"
                       "a=7," +
                           n(a_.size()) +
                           "\r\n"
                           "b=" +
                           inicioB + "," + n(b_.size()) +
                           "\r\n"
                           "bEspacos= " +
                           inicioB + " , " + n(b_.size()) +
                           " \r\n"
                           "todo=999,0\r\n"  // the whole file: padding first
                           "curta=7," +
                           n(a_.size() - 10) +
                           "\r\n"  // a cut JPEG: mended by libjpeg
                           "semInicio=8," +
                           n(a_.size() - 1) +
                           "\r\n"  // no start marker: no JPEG at all
                           "alem=" +
                           inicioB + "," + n(b_.size() + 1) +
                           "\r\n"  // one byte past the end
                           "negativo=-1,10\r\n"
                           "tamanhoNegativo=7,-5\r\n"
                           "enorme=9223372036854775807,9223372036854775807\r\n"
                           "transborda=99999999999999999999,1\r\n"
                           "semVirgula=7\r\n"
                           "tresPartes=7,10,20\r\n"
                           "texto=abc,def\r\n");
    }
    void TearDown() override { setMostradorMensagem(anterior_); }

    PastaTemporaria pasta;
    std::vector<std::uint8_t> a_, b_;
    std::vector<std::pair<std::string, std::string>> mensagens;
    MostradorMensagem anterior_;
};

}  // namespace

TEST_F(ImagemIdiomaTest, SoundRangesGivePicturesOwnedByTheCaller) {
    Idioma idioma(pasta.caminho(), "L.idm", "L.dat");
    EXPECT_EQ(idioma.getCaminhoDados(), pasta.arquivo("L.dat"));
    std::unique_ptr<QImage> a = idioma.getImagem("fig", "a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->size(), QSize(20, 10));
    const auto b = idioma.getImagem("fig", "b");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->size(), QSize(6, 4));
    ASSERT_NE(idioma.getImagem("fig", "bEspacos"), nullptr);
    // A picture cut short shows, grey where its data is missing.
    const auto curta = idioma.getImagem("fig", "curta");
    ASSERT_NE(curta, nullptr);
    EXPECT_EQ(curta->size(), QSize(20, 10));
    // A missing entry is no picture, and no message.
    EXPECT_EQ(idioma.getImagem("fig", "naoExiste"), nullptr);
    EXPECT_EQ(idioma.getImagem("outra", "a"), nullptr);
    EXPECT_TRUE(mensagens.empty());
    EXPECT_FALSE(idioma.getErroReportado());
}

TEST_F(ImagemIdiomaTest, DamagedEntriesShowTheMessageOnceAndLaterLookupsGoOn) {
    Idioma idioma(pasta.caminho(), "L.idm", "L.dat");
    for (const char* chave : {"todo", "semInicio", "alem", "negativo", "tamanhoNegativo",
                              "enorme", "transborda", "semVirgula", "tresPartes", "texto"})
        EXPECT_EQ(idioma.getImagem("fig", chave), nullptr) << chave;
    ASSERT_EQ(mensagens.size(), 1u);
    EXPECT_EQ(mensagens[0].first,
              "The file of the language you have selected is corrupted. Try to reinstall your "
              "software.\r\nIf the problem persist, please contact us: suporte@tessarin.app.");
    EXPECT_EQ(mensagens[0].second, "Internationalization");
    EXPECT_TRUE(idioma.getErroReportado());
    EXPECT_NE(idioma.getImagem("fig", "a"), nullptr);

    // Each loaded language reports once.
    Idioma outra(pasta.caminho(), "L.idm", "L.dat");
    EXPECT_EQ(outra.getImagem("fig", "semInicio"), nullptr);
    EXPECT_EQ(mensagens.size(), 2u);
}

TEST_F(ImagemIdiomaTest, MissingDataFileIsDamaged) {
    Idioma idioma(pasta.caminho(), "L.idm", "naoExiste.dat");
    EXPECT_EQ(idioma.getImagem("fig", "a"), nullptr);
    EXPECT_EQ(mensagens.size(), 1u);
}

TEST_F(ImagemIdiomaTest, LengthZeroReadsTheWholeFile) {
    const auto jpeg = jpegAmostra(8, 8);
    pasta.escrever("S.dat", std::string(jpeg.begin(), jpeg.end()));
    pasta.escrever("S.idm", "[fig]\nx=12345,0\ny=-5,0\n");
    Idioma idioma(pasta.caminho(), "S.idm", "S.dat");
    for (const char* chave : {"x", "y"}) {
        const auto imagem = idioma.getImagem("fig", chave);
        ASSERT_NE(imagem, nullptr) << chave;
        EXPECT_EQ(imagem->size(), QSize(8, 8));
    }
    // An empty data file has no whole file to give.
    pasta.escrever("S.dat", "");
    EXPECT_EQ(idioma.getImagem("fig", "x"), nullptr);
    EXPECT_EQ(mensagens.size(), 1u);
}
