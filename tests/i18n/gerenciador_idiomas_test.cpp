#include "gerenciador_idiomas.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <utility>
#include <vector>

#include "errors.h"
#include "pasta_temporaria.h"
#include "terminacao.h"
#include "utilgui.h"

namespace {

std::string idm(const std::string& nome, const std::string& codigo = "Tessarin 2.0",
                const std::string& resto = "") {
    return "[EspecificacaoIdioma]\r\nnomeIdioma=" + nome + "\r\ncodAplicacao=" + codigo + "\r\n" +
           resto;
}

// Records every message instead of showing it, and answers the chooser with a fixed index.
class GerenciadorIdiomasTest : public ::testing::Test {
protected:
    void SetUp() override {
        cancelarTerminacao();
        anterior_ =
            setMostradorMensagem([this](const std::string& texto, const std::string& titulo) {
                mensagens.emplace_back(texto, titulo);
            });
    }
    void TearDown() override {
        setMostradorMensagem(anterior_);
        cancelarTerminacao();
    }

    std::unique_ptr<GerenciadorIdiomas> criar(int escolha = -1) {
        auto g = std::make_unique<GerenciadorIdiomas>(pasta.caminho());
        g->setSeletor([this, escolha](const std::vector<std::string>& nomes, int atual) {
            escolhas.push_back({nomes, atual});
            return escolha;
        });
        return g;
    }

    PastaTemporaria pasta;
    std::vector<std::pair<std::string, std::string>> mensagens;
    std::vector<std::pair<std::vector<std::string>, int>> escolhas;
    MostradorMensagem anterior_;
};

const char* kNaoEncontrado =
    "The language you have selected was not found. Please, select another one.";
const char* kNenhumSelecionado =
    "The application could not be initialized because no language was selected.";
const char* kSemArquivos = "No language files were found. Please, reinstall your software.";

}  // namespace

TEST_F(GerenciadorIdiomasTest, DiscoversOnlyValidLanguagesSortedByName) {
    pasta.escrever("b.idm", idm("Zulu"));
    pasta.escrever("a.idm", idm("alfa"));
    pasta.escrever("c.idm", idm("Caso", "tessarin 2.0"));    // code differs in case
    pasta.escrever("d.idm", idm("Outro", "Tessarin 2.01"));  // code differs
    pasta.escrever("e.idm", idm(""));                        // no name
    pasta.escrever("f.txt", idm("Texto"));                   // other extension
    pasta.escrever(".g.idm", idm("Oculto"));                 // hidden
    ::mkdir(pasta.arquivo("h.idm").c_str(), 0755);           // a folder
    pasta.escrever("i.idm",
                   "[especificacaoidioma]\nNOMEIDIOMA =  Beta  \ncodaplicacao=Tessarin 2.0\n");
    const auto g = criar();
    EXPECT_EQ(g->getNomesIdiomas(), (std::vector<std::string>{"alfa", "Beta", "Zulu"}));
    EXPECT_EQ(g->getArquivosIdiomas(), (std::vector<std::string>{"a", "i", "b"}));
    EXPECT_EQ(g->getIndiceAtual(), -1);
    EXPECT_EQ(g->getIdiomaAtual(), nullptr);
    EXPECT_TRUE(mensagens.empty());
    EXPECT_FALSE(terminacaoSolicitada());
}

TEST_F(GerenciadorIdiomasTest, SavedNameSelectsFirstMatchIgnoringCase) {
    pasta.escrever("a.idm", idm("English", "Tessarin 2.0", "[geral]\r\nqual=a\r\n"));
    pasta.escrever("b.idm", idm("English", "Tessarin 2.0", "[geral]\r\nqual=b\r\n"));
    const auto g = criar();
    EXPECT_EQ(g->getNomesIdiomas().size(), 2u);
    Idioma* idioma = g->selecionarIdioma("ENGLISH");
    ASSERT_NE(idioma, nullptr);
    EXPECT_EQ(g->getTexto("geral", "qual"), "a");
    EXPECT_EQ(idioma->getNome(), "English");
    EXPECT_EQ(g->getIndiceAtual(), 0);
    EXPECT_TRUE(mensagens.empty());
    EXPECT_TRUE(escolhas.empty());
    // Loading the current index again returns the same language without reloading it.
    EXPECT_EQ(g->carregarIdioma(0), idioma);
    EXPECT_EQ(g->carregarIdioma(2), nullptr);
    EXPECT_EQ(g->carregarIdioma(-1), nullptr);
    EXPECT_EQ(g->getIdiomaAtual(), idioma);
}

TEST_F(GerenciadorIdiomasTest, UnknownNameAsksTheUserAFirstStartOnlyChooses) {
    pasta.escrever("a.idm", idm("English"));
    pasta.escrever("b.idm", idm("Español"));
    const auto g = criar(1);
    Idioma* idioma = g->selecionarIdioma("Klingon");
    ASSERT_NE(idioma, nullptr);
    EXPECT_EQ(idioma->getNome(), "Español");
    ASSERT_EQ(mensagens.size(), 1u);
    EXPECT_EQ(mensagens[0].first, kNaoEncontrado);
    EXPECT_EQ(mensagens[0].second, "Internationalization");
    ASSERT_EQ(escolhas.size(), 1u);
    EXPECT_EQ(escolhas[0].first, (std::vector<std::string>{"English", "Español"}));
    EXPECT_EQ(escolhas[0].second, -1);
    EXPECT_FALSE(terminacaoSolicitada());

    // No saved name: the chooser, and no box saying a selection was not found.
    mensagens.clear();
    escolhas.clear();
    const auto primeira = criar(0);
    ASSERT_NE(primeira->selecionarIdioma(""), nullptr);
    EXPECT_EQ(primeira->getIdiomaAtual()->getNome(), "English");
    EXPECT_TRUE(mensagens.empty());
    EXPECT_EQ(escolhas.size(), 1u);
}

TEST_F(GerenciadorIdiomasTest, ALanguageHeadedInAnyCaseIsSavedByTheNameThatFindsItAgain) {
    pasta.escrever("a.idm", idm("English"));
    pasta.escrever("m.idm", "[especificacaoidioma]\r\nnomeidioma = Minúsculo \r\n"
                            "codAplicacao=Tessarin 2.0\r\n[geral]\r\nqual=m\r\n");
    const auto g = criar(1);
    Idioma* escolhido = g->selecionarIdioma("");
    ASSERT_NE(escolhido, nullptr);
    EXPECT_EQ(g->getTexto("geral", "qual"), "m");
    // The name the settings keep is the one the next start looks for.
    const std::string salvo = escolhido->getNome();
    EXPECT_EQ(salvo, "Minúsculo");
    mensagens.clear();
    escolhas.clear();
    const auto proximo = criar(-1);
    ASSERT_NE(proximo->selecionarIdioma(salvo), nullptr);
    EXPECT_EQ(proximo->getTexto("geral", "qual"), "m");
    EXPECT_TRUE(escolhas.empty());
    EXPECT_TRUE(mensagens.empty());
}

TEST_F(GerenciadorIdiomasTest, CancelledChooserEndsTheApplication) {
    pasta.escrever("a.idm", idm("English"));
    const auto g = criar(-1);
    EXPECT_EQ(g->selecionarIdioma("Klingon"), nullptr);
    ASSERT_EQ(mensagens.size(), 2u);
    EXPECT_EQ(mensagens[0].first, kNaoEncontrado);
    EXPECT_EQ(mensagens[1].first, kNenhumSelecionado);
    EXPECT_EQ(mensagens[1].second, "Internationalization");
    EXPECT_TRUE(terminacaoSolicitada());
    EXPECT_EQ(g->getIdiomaAtual(), nullptr);
    EXPECT_EQ(g->getTexto("EspecificacaoIdioma", "nomeIdioma"), "");
    EXPECT_EQ(g->getImagem("fmEntrada", "imgEntrada"), nullptr);
}

TEST_F(GerenciadorIdiomasTest, NoLanguagesShowsTwoMessagesNotThree) {
    pasta.escrever("a.idm", idm("Velho", "Tessarin 1.0"));
    const auto g = criar(0);  // even an OK with a line would find no language
    EXPECT_TRUE(g->getNomesIdiomas().empty());
    EXPECT_TRUE(terminacaoSolicitada());
    EXPECT_EQ(g->selecionarIdioma("English"), nullptr);
    ASSERT_EQ(mensagens.size(), 2u);
    EXPECT_EQ(mensagens[0].first, kSemArquivos);
    EXPECT_EQ(mensagens[0].second, "Internationalization");
    EXPECT_EQ(mensagens[1].first, kNaoEncontrado);
    ASSERT_EQ(escolhas.size(), 1u);
    EXPECT_TRUE(escolhas[0].first.empty());
}

TEST_F(GerenciadorIdiomasTest, UnreadableTextFileKeepsThePreviousLanguage) {
    pasta.escrever("a.idm", idm("English", "Tessarin 2.0", "[geral]\r\nx=en\r\n"));
    pasta.escrever("b.idm", idm("Français"));
    const auto g = criar();
    ASSERT_NE(g->selecionarIdioma("English"), nullptr);
    ASSERT_EQ(g->getNomesIdiomas()[1], "Français");
    std::filesystem::remove(pasta.arquivo("b.idm"));
    EXPECT_THROW(g->carregarIdioma(1), EFOpenError);
    EXPECT_EQ(g->getIndiceAtual(), 0);
    EXPECT_EQ(g->getTexto("geral", "x"), "en");
}
