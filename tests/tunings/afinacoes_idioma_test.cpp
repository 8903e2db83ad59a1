// The tuning reader's codes come from the language manager's current language.

#include "afinacoes_idioma.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "gerenciador_idiomas.h"
#include "xml_afinacao_parser.h"

TEST(AfinacoesIdioma, CodesFollowTheCurrentLanguage) {
    char modelo[] = "/tmp/tessarin-idioma-XXXXXX";
    const std::string pasta = ::mkdtemp(modelo);
    auto escrever = [&](const std::string& nome, const std::string& idioma,
                        const std::string& vio) {
        std::ofstream(pasta + "/" + nome, std::ios::binary)
            << "[EspecificacaoIdioma]\r\nnomeIdioma=" << idioma
            << "\r\ncodAplicacao=Tessarin 2.0\r\n[xmlAfinacao]\r\nVIO=" << vio << "\r\n";
    };
    escrever("a.idm", "Alfa", "Viol\xE3o");  // Windows-1252, as language files are
    escrever("b.idm", "Beta", "Guitar");
    GerenciadorIdiomas::setPastaPadrao(pasta);
    GerenciadorIdiomas* idiomas = GerenciadorIdiomas::getInstancia();
    XMLAfinacaoParser* leitor = XMLAfinacaoParser::getInstancia();
    usarIdiomaNasAfinacoes();

    ASSERT_NE(idiomas->selecionarIdioma("Alfa"), nullptr);
    EXPECT_EQ(leitor->traduzir("#VIO (#PAD)"), "Viol\xE3o ()");
    ASSERT_NE(idiomas->selecionarIdioma("Beta"), nullptr);
    EXPECT_EQ(leitor->traduzir("#VIO"), "Guitar");
    std::filesystem::remove_all(pasta);
}
