#include "texto_idioma.h"

#include <gtest/gtest.h>

#include "ini_reader.h"

TEST(TextoIdioma, FlattensSectionsAndKeysIntoNumberedEntries) {
    const TextoIdioma texto("[geral]\r\nnomeAplicacao=X\r\n\r\n  [fmPrincipal]  \nlbl=a\rb=c=d");
    EXPECT_EQ(texto.entradas(),
              (std::vector<std::string>{"geral=CS1", "CS1nomeAplicacao=X", "fmPrincipal=CS2",
                                        "CS2lbl=a", "CS2b=c=d"}));
    EXPECT_EQ(texto.getTexto("geral", "nomeAplicacao"), "X");
    EXPECT_EQ(texto.getTexto("fmPrincipal", "b"), "c=d");
}

TEST(TextoIdioma, HashesBecomeLineBreaks) {
    const TextoIdioma texto("[s]\nduas=um#dois#tres\nsó=#\nnada=");
    EXPECT_EQ(texto.getTexto("s", "duas"), "um\r\ndois\r\ntres");
    EXPECT_EQ(texto.getTexto("s", "só"), "\r\n");
    EXPECT_EQ(texto.getTexto("s", "nada"), "");
}

TEST(TextoIdioma, LookupsReachOnlyFirstSectionAndFirstKeyWithCase) {
    const TextoIdioma texto(
        "antes=perdido\n[geral]\nchave=1\nchave=2\n[outra]\nx=y\n[geral]\nchave=3\nnova=4\n");
    EXPECT_EQ(texto.getTexto("geral", "chave"), "1");
    EXPECT_EQ(texto.getTexto("geral", "nova"), "");  // only the repeated section holds it
    EXPECT_EQ(texto.getTexto("Geral", "chave"), "");
    EXPECT_EQ(texto.getTexto("geral", "Chave"), "");
    EXPECT_EQ(texto.getTexto("", "antes"), "");  // keys above the first header are unreachable
    EXPECT_EQ(texto.entradas()[0], "CS0antes=perdido");
    EXPECT_EQ(texto.entradas()[6], "geral=CS3");
}

TEST(TextoIdioma, MissingSectionFindsNothingEvenWhenKeyNamesAnEntry) {
    const TextoIdioma texto("[geral]\na=b\n");
    EXPECT_EQ(texto.getTexto("naoExiste", "geral"), "");
    EXPECT_EQ(texto.getTexto("naoExiste", "CS1a"), "");
}

TEST(TextoIdioma, OddLines) {
    // A line without '=' is a key line with an empty key and the whole line as value; a lone '['
    // is a header with an empty name; blanks around a line are dropped before it is read.
    const TextoIdioma texto("[\nsemIgual\n\t chave=valor \t\n[]\n");
    EXPECT_EQ(texto.entradas(),
              (std::vector<std::string>{"=CS1", "CS1=semIgual", "CS1chave=valor", "=CS2"}));
    EXPECT_EQ(texto.getTexto("", "chave"), "valor");
}

TEST(IniReader, WindowsProfileRules) {
    const std::string ini =
        "; nota\r\nsolta=1\r\n[Geral]\r\n  Idioma =  English  \r\nvazio=\r\nidioma=segunda\r\n"
        "[ outra ]\r\nx=1\r\n[geral]\r\nnova=2\r\n";
    EXPECT_EQ(lerValorIniTexto(ini, "geral", "IDIOMA"), "English");
    EXPECT_EQ(lerValorIniTexto(ini, "GERAL", "vazio", "padrao"), "");
    EXPECT_EQ(lerValorIniTexto(ini, "geral", "falta", "padrao"), "padrao");
    EXPECT_EQ(lerValorIniTexto(ini, "outra", "x"), "1");
    EXPECT_EQ(lerValorIniTexto(ini, "semSecao", "x", "p"), "p");
    EXPECT_EQ(lerValorIniTexto(ini, "geral", "nova", "p"), "p");  // only the first [geral] is read
    EXPECT_EQ(lerValorIni("/nao/existe.ini", "geral", "idioma", "p"), "p");
    // A folder where the file should be cannot be read: the default, not an error.
    EXPECT_EQ(lerValorIni("/tmp", "geral", "idioma", "p"), "p");
}

TEST(TextoIdioma, NoTextEverHoldsAHash) {
    // Header 2 flattens to an entry named "CS1x" whose value is taken from the header's text
    // after '='; that value is read like any value, so its '#' is a line break.
    const TextoIdioma texto("[t]\n[CS1x=#ABC]\n");
    EXPECT_EQ(texto.getTexto("t", "x"), "\r\nABC=CS2");
}
