#include "configuracoes_usuario.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <optional>

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

TEST_F(ConfiguracoesUsuarioTest, FineReadingIsKeptOnlyWhileChosen) {
    for (const auto& [valor, fina] : {std::pair{" 1 ", true}, {"+1", true}, {"0", false},
                                      {"2", false}, {"sim", false}, {"", false}}) {
        escrever(std::string("[geral]\r\ntipoSistema=x\r\nleituraFina=") + valor + "\r\n");
        EXPECT_EQ(ConfiguracoesUsuario().getLeituraFina(), fina) << valor;
    }
    escrever("[geral]\r\nidioma=English\r\n");
    ConfiguracoesUsuario c;
    EXPECT_FALSE(c.getLeituraFina());  // absent: classic, as older files are
    c.setLeituraFina(true);
    EXPECT_TRUE(c.salvar(1, 2, "English"));
    EXPECT_EQ(pasta.ler("tessarin.ini"),
              "[geral]\r\nidioma=English\r\nafinacaoSelecionada=1\r\ntipoSistema=2\r\n"
              "leituraFina=1\r\n");
    const ConfiguracoesUsuario relida;
    EXPECT_TRUE(relida.getLeituraFina());
    EXPECT_EQ(relida.getTipoSistema(), 2);
    // Back to classic: the file is the four lines older copies of the program write.
    c.setLeituraFina(false);
    EXPECT_TRUE(c.salvar(1, 2, "English"));
    EXPECT_EQ(pasta.ler("tessarin.ini"),
              "[geral]\r\nidioma=English\r\nafinacaoSelecionada=1\r\ntipoSistema=2\r\n");
}

// The variables of the user's folders, set for one test and restored after it.
class Variaveis {
public:
    ~Variaveis() {
        for (const auto& [nome, valor] : anteriores_) {
            if (valor) {
                ::setenv(nome.c_str(), valor->c_str(), 1);
            } else {
                ::unsetenv(nome.c_str());
            }
        }
    }
    void definir(const std::string& nome, const char* valor) {
        if (anteriores_.count(nome) == 0) {
            const char* antes = ::getenv(nome.c_str());
            anteriores_[nome] = antes ? std::optional<std::string>(antes) : std::nullopt;
        }
        if (valor) {
            ::setenv(nome.c_str(), valor, 1);
        } else {
            ::unsetenv(nome.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> anteriores_;
};

// An installed program's folder takes no new files (a folder that does not exist stands in for
// it here, root being allowed to write anywhere else): the settings go to the user's
// configuration folder, which is created on the first save and read on the next start.
TEST_F(ConfiguracoesUsuarioTest, TheFollowingModesAndTheConcertPitchFallBackAndAreWrittenBackValid) {
    // Hostile or out-of-range concert pitches read as 440.0 Hz; good ones to the tenth.
    for (const auto& [valor, decimos] :
         {std::pair{"442.0", 4420}, {" 415.3 ", 4153}, {"400", 4000}, {"480.0", 4800},
          {"399.9", 4400}, {"480.1", 4400}, {"442.05", 4400}, {"-442", 4400}, {"4420", 4400},
          {"442,0", 4400}, {"1e3", 4400}, {".5", 4400}, {"442.", 4400}, {"nan", 4400},
          {"99999999999999999999", 4400}, {"", 4400}}) {
        escrever(std::string("[geral]\r\ndiapasao=") + valor + "\r\ncordaAutomatica=" + valor +
                 "\r\n");
        const ConfiguracoesUsuario c;
        EXPECT_EQ(c.getDiapasao(), decimos) << valor;
        EXPECT_FALSE(c.getCordaAutomatica()) << valor;
    }
    escrever("[geral]\r\nidioma=English\r\ndiapasao=500\r\ncordaAutomatica=1\r\n"
             "leituraCromatica=1\r\n");
    ConfiguracoesUsuario c;
    EXPECT_TRUE(c.getCordaAutomatica());
    EXPECT_TRUE(c.getLeituraCromatica());
    EXPECT_EQ(c.getDiapasao(), ConfiguracoesUsuario::kDiapasaoPadrao);
    // The bad value is not kept: the file is written back with the defaults' lines absent.
    c.setCordaAutomatica(false);
    ASSERT_TRUE(c.salvar(0, 0, "English"));
    EXPECT_EQ(pasta.ler("tessarin.ini"),
              "[geral]\r\nidioma=English\r\nafinacaoSelecionada=0\r\ntipoSistema=0\r\n"
              "leituraCromatica=1\r\n");
    c.setDiapasao(4421);
    c.setLeituraFina(true);
    ASSERT_TRUE(c.salvar(0, 0, "English"));
    const ConfiguracoesUsuario relida;
    EXPECT_EQ(relida.getDiapasao(), 4421);
    EXPECT_TRUE(relida.getLeituraFina());
    EXPECT_TRUE(relida.getLeituraCromatica());
    EXPECT_NE(pasta.ler("tessarin.ini").find("diapasao=442.1\r\n"), std::string::npos);
    // Setting outside the range takes its nearest end.
    c.setDiapasao(1);
    EXPECT_EQ(c.getDiapasao(), ConfiguracoesUsuario::kDiapasaoMenor);
    c.setDiapasao(99999);
    EXPECT_EQ(c.getDiapasao(), ConfiguracoesUsuario::kDiapasaoMaior);
    EXPECT_EQ(ConfiguracoesUsuario::textoDiapasao(4153), "415.3");
}

// The tunings' shift: -5 to 7 semitones; anything else reads as none, and none is not written.
TEST_F(ConfiguracoesUsuarioTest, TheShiftIsReadWithinItsRangeAndWrittenOnlyWhenThere) {
    for (const auto& [valor, semitons] :
         {std::pair{"-1", -1}, {"7", 7}, {"-5", -5}, {"+2", 2}, {"8", 0}, {"-6", 0}, {"1.5", 0},
          {"x", 0}, {"99999999999", 0}, {"", 0}}) {
        escrever(std::string("[geral]\r\ndeslocamento=") + valor + "\r\n");
        EXPECT_EQ(ConfiguracoesUsuario().getDeslocamento(), semitons) << valor;
    }
    ConfiguracoesUsuario c;
    c.setDeslocamento(-9);
    EXPECT_EQ(c.getDeslocamento(), ConfiguracoesUsuario::kDeslocamentoMenor);
    ASSERT_TRUE(c.salvar(0, 0, "English"));
    EXPECT_NE(pasta.ler("tessarin.ini").find("\r\ndeslocamento=-5\r\n"), std::string::npos);
    EXPECT_EQ(ConfiguracoesUsuario().getDeslocamento(), -5);
    c.setDeslocamento(0);
    ASSERT_TRUE(c.salvar(0, 0, "English"));
    EXPECT_EQ(pasta.ler("tessarin.ini").find("deslocamento"), std::string::npos);
}

TEST_F(ConfiguracoesUsuarioTest, AProgramFolderThatTakesNoFilesSendsThemToTheUsersConfiguration) {
    Variaveis variaveis;
    const std::string configuracao = pasta.arquivo("config");
    variaveis.definir("XDG_CONFIG_HOME", configuracao.c_str());
    ConfiguracoesUsuario::setLocal(pasta.arquivo("instalado"), "tessarin");
    EXPECT_EQ(ConfiguracoesUsuario::caminhoArquivo(), configuracao + "/tessarin/tessarin.ini");
    EXPECT_EQ(ConfiguracoesUsuario::lerIdioma(), "");

    ConfiguracoesUsuario c;
    EXPECT_TRUE(c.salvar(2, 1, "Español"));
    EXPECT_EQ(pasta.ler("config/tessarin/tessarin.ini"),
              "[geral]\r\nidioma=Español\r\nafinacaoSelecionada=2\r\ntipoSistema=1\r\n");
    for (const char* criada : {"config", "config/tessarin"}) {
        EXPECT_EQ(std::filesystem::status(pasta.arquivo(criada)).permissions(),
                  std::filesystem::perms::owner_all)
            << criada;
    }
    EXPECT_EQ(ConfiguracoesUsuario::lerIdioma(), "Español");
    EXPECT_EQ(ConfiguracoesUsuario().getAfinacaoSelecionada(), 2);
    EXPECT_FALSE(std::filesystem::exists(pasta.arquivo("instalado")));

    // Without XDG_CONFIG_HOME, or with a relative one (which does not count), ~/.config.
    variaveis.definir("HOME", pasta.arquivo("casa").c_str());
    for (const char* valor : {static_cast<const char*>(nullptr), "", "relativa/config"}) {
        variaveis.definir("XDG_CONFIG_HOME", valor);
        EXPECT_EQ(ConfiguracoesUsuario::caminhoArquivo(),
                  pasta.arquivo("casa") + "/.config/tessarin/tessarin.ini");
    }
}

TEST_F(ConfiguracoesUsuarioTest, ASaveThatFailsSaysSoAndKeepsTheValuesInMemory) {
    // A settings "file" that is a folder can be neither replaced nor written.
    std::filesystem::create_directory(pasta.arquivo("tessarin.ini"));
    ConfiguracoesUsuario c;
    EXPECT_FALSE(c.salvar(5, 1, "English"));
    EXPECT_EQ(c.getAfinacaoSelecionada(), 5);
    EXPECT_EQ(c.getTipoSistema(), 1);
    EXPECT_EQ(ConfiguracoesUsuario::getIdioma(), "English");
    EXPECT_TRUE(std::filesystem::is_directory(pasta.arquivo("tessarin.ini")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(pasta.caminho()),
                            std::filesystem::directory_iterator()),
              1);

    // A user configuration folder that cannot be made (a file holds its name).
    Variaveis variaveis;
    pasta.escrever("arquivo", "x");
    variaveis.definir("XDG_CONFIG_HOME", pasta.arquivo("arquivo").c_str());
    ConfiguracoesUsuario::setLocal(pasta.arquivo("instalado"), "tessarin");
    EXPECT_FALSE(c.salvar(1, 2, "English"));
    EXPECT_EQ(pasta.ler("arquivo"), "x");
}
