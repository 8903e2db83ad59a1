#include "pacote_idioma.h"

#include <gtest/gtest.h>

#include <map>

#include "idioma.h"
#include "jpeg_amostra.h"
#include "pasta_temporaria.h"
#include "utilgui.h"

namespace {

const std::string kCabecalho =
    "\xEF\xBB\xBF; comment\n[EspecificacaoIdioma]\nnomeIdioma = Português\n"
    "codAplicacao = Tessarin 2.0\n";

std::string erroDe(const std::string& fonte) {
    try {
        lerFonteIdioma(fonte, "x.lang");
    } catch (const ErroFonte& e) {
        return e.what();
    }
    return {};
}

std::string erroDaVerificacao(const std::string& fonte, const std::string& chaves,
                              bool exigirFiguras = false) {
    try {
        verificarFonte(lerFonteIdioma(fonte, "x.lang"), lerListaChaves(chaves, "k.txt"),
                       exigirFiguras, "x.lang");
    } catch (const ErroFonte& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST(PacoteIdioma, SourceMistakesAreReportedWithTheirLine) {
    EXPECT_EQ(erroDe(kCabecalho + "[geral]\na = 1\nb = 2\n"), "");
    EXPECT_NE(erroDe("a = 1\n").find("x.lang:1: key before the first section"), std::string::npos);
    EXPECT_NE(
        erroDe(kCabecalho + "[geral]\na = 1\na = 2\n").find("x.lang:7: key \"a\" given twice"),
        std::string::npos);
    EXPECT_NE(erroDe(kCabecalho + "[geral]\n[geral]\n").find("given twice"), std::string::npos);
    EXPECT_NE(erroDe(kCabecalho + "[geral\n").find("without ']'"), std::string::npos);
    EXPECT_NE(erroDe(kCabecalho + "[geral]\nsem igual\n").find("key = value"), std::string::npos);
    EXPECT_NE(erroDe(kCabecalho + "[geral]\na b = 1\n").find("bad key"), std::string::npos);
    EXPECT_NE(
        erroDe(kCabecalho + "[geral]\na = \xE2\x82\xAC ok \xE4\xB8\xAD\n").find("Windows-1252"),
        std::string::npos);  // the euro sign fits, the CJK character does not
    EXPECT_NE(erroDe(kCabecalho + "[geral]\na = \xFF\n").find("Windows-1252"), std::string::npos);
    EXPECT_NE(erroDe(kCabecalho + "[geral]\na = @\n").find("picture without a path"),
              std::string::npos);
}

TEST(PacoteIdioma, ChecksEveryKeyAgainstTheList) {
    const std::string chaves = "T geral a\nI geral img\n; note\n";
    EXPECT_EQ(erroDaVerificacao(kCabecalho + "[geral]\na = 1\n", chaves), "");
    const std::string faltas = erroDaVerificacao(kCabecalho + "[geral]\nb = 1\nimg = 2\n", chaves);
    EXPECT_NE(faltas.find("[geral] a is missing"), std::string::npos) << faltas;
    EXPECT_NE(faltas.find("x.lang:6: [geral] b is not a key the program reads"), std::string::npos);
    EXPECT_NE(faltas.find("[geral] img must be a picture"), std::string::npos);
    EXPECT_NE(erroDaVerificacao(kCabecalho + "[geral]\na = 1\n", chaves, true)
                  .find("[geral] img is missing"),
              std::string::npos);
    EXPECT_NE(erroDaVerificacao(kCabecalho + "[geral]\na =\n", chaves).find("is empty"),
              std::string::npos);
    EXPECT_NE(erroDaVerificacao(
                  "[EspecificacaoIdioma]\nnomeIdioma = X\ncodAplicacao = tessarin 2.0\n", "")
                  .find("codAplicacao must be"),
              std::string::npos);
    EXPECT_NE(erroDaVerificacao("[EspecificacaoIdioma]\ncodAplicacao = Tessarin 2.0\n", "")
                  .find("nomeIdioma must name"),
              std::string::npos);
    EXPECT_THROW(lerListaChaves("X geral a\n", "k.txt"), ErroFonte);
}

TEST(PacoteIdioma, BuiltFilesReadBackThroughTheLanguageLoader) {
    const auto a = jpegAmostra(12, 6);
    const auto b = jpegAmostra(5, 5);
    const std::map<std::string, std::vector<std::uint8_t>> figuras = {
        {"a.jpg", a}, {"b.jpg", b}, {"ruim.jpg", {0xFF, 0xD8, 0xFF}}};
    const LeitorFigura ler =
        [&](const std::string& caminho,
            std::string& resolvido) -> std::optional<std::vector<std::uint8_t>> {
        resolvido = "/figuras/" + caminho;
        const auto it = figuras.find(caminho);
        if (it == figuras.end()) return std::nullopt;
        return it->second;
    };
    const FonteIdioma fonte = lerFonteIdioma(
        kCabecalho +
            "[fmPrincipal]\nimgA = @a.jpg\ntexto =  Olá#mundo  \nimgB = @b.jpg\nimgA2 = @a.jpg\n"
            "[_arte]\nlegenda = só para o desenho\n",
        "x.lang");
    const PacoteIdioma pacote = montarPacote(fonte, ler, "x.lang");
    EXPECT_EQ(pacote.dat.size(), a.size() + b.size());  // a.jpg is stored once
    EXPECT_EQ(pacote.figuras,
              (std::vector<std::string>{"/figuras/a.jpg", "/figuras/b.jpg", "/figuras/a.jpg"}));
    EXPECT_EQ(pacote.idm.find("_arte"), std::string::npos);
    EXPECT_EQ(pacote.idm.find("\n\n"), std::string::npos);  // every line ends in CR LF
    EXPECT_NE(pacote.idm.find("nomeIdioma=Portugu\xEAs\r\n"), std::string::npos);

    PastaTemporaria pasta;
    pasta.escrever("P.idm", pacote.idm);
    pasta.escrever("P.dat", std::string(pacote.dat.begin(), pacote.dat.end()));
    Idioma idioma(pasta.caminho(), "P.idm", "P.dat");
    EXPECT_EQ(idioma.getNome(), "Portugu\xEAs");
    EXPECT_EQ(idioma.getTexto("fmPrincipal", "texto"), "Ol\xE1\r\nmundo");
    const auto imgA = idioma.getImagem("fmPrincipal", "imgA");
    const auto imgB = idioma.getImagem("fmPrincipal", "imgB");
    const auto imgA2 = idioma.getImagem("fmPrincipal", "imgA2");
    ASSERT_TRUE(imgA && imgB && imgA2);
    EXPECT_EQ(imgA->size(), QSize(12, 6));
    EXPECT_EQ(imgB->size(), QSize(5, 5));
    EXPECT_EQ(*imgA2, *imgA);
    EXPECT_FALSE(idioma.getErroReportado());

    const FonteIdioma semFigura = lerFonteIdioma(kCabecalho + "[s]\nx = @falta.jpg\n", "x.lang");
    EXPECT_THROW(montarPacote(semFigura, ler, "x.lang"), ErroFonte);
    const FonteIdioma ruim = lerFonteIdioma(kCabecalho + "[s]\nx = @ruim.jpg\n", "x.lang");
    EXPECT_THROW(montarPacote(ruim, ler, "x.lang"), ErroFonte);
}
