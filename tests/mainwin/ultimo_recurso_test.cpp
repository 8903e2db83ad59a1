// The last-resort error box's texts and the version built into the program.
#include "ultimo_recurso.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "produto.h"
#include "versao_programa.h"

namespace {

const std::string kInicio = std::string(
                                "An error has occurred in your application.\nIf the problem "
                                "persist, please contact us: ") +
                            kEmailSuporte + ".";

TEST(UltimoRecurso, TheVersionIsTheProjectsOwn) {
    EXPECT_EQ(versaoPrograma(), "2.0.4.0");
}

TEST(UltimoRecurso, AProgramErrorWithoutALanguageStartsWithTheFixedEnglishText) {
    const MensagemErro m = mensagemErroPrograma(
        "EMaxMidiException", "Load of libMxMidi32.so failed", std::nullopt, "2.0.4.0");
    EXPECT_EQ(m.texto, kInicio +
                           "\n\nError information:\n\" EMaxMidiException (Load of "
                           "libMxMidi32.so failed), v2.0.4.0 \"");
    EXPECT_EQ(m.titulo, kTituloProduto);
}

TEST(UltimoRecurso, AProgramErrorWithALanguageUsesItsTextsAndLeavesAnAbsentVersionOut) {
    const MensagemErro m = mensagemErroPrograma(
        "EFOpenError", "", TextosErroIdioma{"Something went wrong:", "Tessarin"}, "");
    EXPECT_EQ(m.texto, "Something went wrong:\n\" EFOpenError () \"");
    EXPECT_EQ(m.titulo, "Tessarin");
}

TEST(UltimoRecurso, StandardExceptionsAreNamedAsTheSourceWritesThem) {
    EXPECT_EQ(nomeClasseExcecao(std::bad_alloc()), "std::bad_alloc");
    EXPECT_EQ(nomeClasseExcecao(std::out_of_range("x")), "std::out_of_range");
    struct Propria : std::runtime_error {
        Propria() : std::runtime_error("own") {}
    };
    const std::exception& e = Propria();
    EXPECT_NE(nomeClasseExcecao(e).find("Propria"), std::string::npos) << nomeClasseExcecao(e);
}

TEST(UltimoRecurso, AnythingElseNamesOnlyTheVersion) {
    EXPECT_EQ(mensagemErroDesconhecido("2.0.4.0").texto,
              kInicio + "\n\nError information:\n\" v2.0.4.0 \"");
    EXPECT_EQ(mensagemErroDesconhecido("").texto, kInicio);
    EXPECT_EQ(mensagemErroDesconhecido("").titulo, kTituloProduto);
}

}  // namespace
