#include "configuracoes_usuario.h"

#include <gtest/gtest.h>

#include "pasta_temporaria.h"

namespace {

class ConfiguracoesUsuarioTest : public ::testing::Test {
protected:
    void SetUp() override { ConfiguracoesUsuario::setLocal(pasta.caminho(), "tessarin"); }
    void TearDown() override { ConfiguracoesUsuario::setLocal("", ""); }
    void escrever(const std::string& conteudo) { pasta.escrever("tessarin.ini", conteudo); }

    PastaTemporaria pasta;
};

}  // namespace

TEST_F(ConfiguracoesUsuarioTest, FileIsProgramNamePlusIni) {
    EXPECT_EQ(ConfiguracoesUsuario::caminhoArquivo(), pasta.caminho() + "/tessarin.ini");
    EXPECT_EQ(ConfiguracoesUsuario().getNomeArquivo(), "tessarin.ini");
}

TEST_F(ConfiguracoesUsuarioTest, MissingFileGivesDefaults) {
    EXPECT_EQ(ConfiguracoesUsuario::lerIdioma(), "");
    EXPECT_EQ(ConfiguracoesUsuario::getIdioma(), "");
    const ConfiguracoesUsuario c;
    EXPECT_EQ(c.getAfinacaoSelecionada(), 0);
    EXPECT_EQ(c.getTipoSistema(), 0);
}

TEST_F(ConfiguracoesUsuarioTest, ReadsTrimmedValuesWithoutRegardToCase) {
    escrever(
        "[GERAL]\nIdioma =  Português (Brasil) \nafinacaoselecionada=  -3  \ntipoSistema=+2\n");
    EXPECT_EQ(ConfiguracoesUsuario::lerIdioma(), "Português (Brasil)");
    const ConfiguracoesUsuario c;
    EXPECT_EQ(c.getAfinacaoSelecionada(), -3);
    EXPECT_EQ(c.getTipoSistema(), 2);
}

TEST_F(ConfiguracoesUsuarioTest, ANonNumberResetsBothNumbers) {
    for (const char* tipo : {"a", "1.5", "2x", "", "99999999999", "+-1", "0x10"}) {
        escrever(std::string("[geral]\r\nafinacaoSelecionada=3\r\ntipoSistema=") + tipo + "\r\n");
        const ConfiguracoesUsuario c;
        EXPECT_EQ(c.getAfinacaoSelecionada(), 0) << tipo;
        EXPECT_EQ(c.getTipoSistema(), 0) << tipo;
    }
    escrever("[geral]\r\nafinacaoSelecionada=x\r\ntipoSistema=2\r\n");
    EXPECT_EQ(ConfiguracoesUsuario().getTipoSistema(), 0);
}

TEST_F(ConfiguracoesUsuarioTest, SaveWritesExactlyFourLines) {
    escrever("[outra]\r\nx=1\r\n[geral]\r\nidioma=English\r\nextra=2\r\ntipoSistema=2\r\n");
    ConfiguracoesUsuario c;
    EXPECT_EQ(c.getTipoSistema(), 2);
    c.salvar(-4, c.getTipoSistema(), "Español");
    EXPECT_EQ(pasta.ler("tessarin.ini"),
              "[geral]\r\nidioma=Español\r\nafinacaoSelecionada=-4\r\ntipoSistema=2\r\n");
    EXPECT_EQ(ConfiguracoesUsuario::getIdioma(), "Español");
    EXPECT_EQ(c.getAfinacaoSelecionada(), -4);
    // Nothing else is left in the folder (no temporary file).
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(pasta.caminho()),
                            std::filesystem::directory_iterator()),
              1);
    // And a new run reads back what was saved.
    EXPECT_EQ(ConfiguracoesUsuario::lerIdioma(), "Español");
    EXPECT_EQ(ConfiguracoesUsuario().getAfinacaoSelecionada(), -4);
}

TEST_F(ConfiguracoesUsuarioTest, SaveFailsSilentlyKeepingValuesInMemory) {
    ConfiguracoesUsuario::setLocal(pasta.arquivo("naoExiste"), "tessarin");
    ConfiguracoesUsuario c;
    EXPECT_NO_THROW(c.salvar(5, 1, "English"));
    EXPECT_EQ(c.getAfinacaoSelecionada(), 5);
    EXPECT_EQ(c.getTipoSistema(), 1);
    EXPECT_EQ(ConfiguracoesUsuario::getIdioma(), "English");
    EXPECT_FALSE(std::filesystem::exists(pasta.arquivo("naoExiste")));

    // A settings "file" that is a folder can be neither replaced nor written.
    ConfiguracoesUsuario::setLocal(pasta.caminho(), "tessarin");
    std::filesystem::create_directory(pasta.arquivo("tessarin.ini"));
    EXPECT_NO_THROW(c.salvar(1, 2, "English"));
    EXPECT_TRUE(std::filesystem::is_directory(pasta.arquivo("tessarin.ini")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(pasta.caminho()),
                            std::filesystem::directory_iterator()),
              1);
}
