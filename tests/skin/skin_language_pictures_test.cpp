// Every shipped language, read through the program's own language manager: each picture key
// resolves to a JPEG that the program decodes, at the size its control expects; the pressed
// pictures look pressed; the help page the language names exists and explains what it must.

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>

#include "codepage.h"
#include "gerenciador_idiomas.h"
#include "skin_expectations.h"
#include "utilgui.h"

namespace {

std::string lerArquivo(const std::string& caminho) {
    std::ifstream entrada(caminho, std::ios::binary);
    std::stringstream conteudo;
    conteudo << entrada.rdbuf();
    return conteudo.str();
}

// The readable text of an HTML page, blanks collapsed.
std::string textoDaPagina(const std::string& html) {
    std::string t = std::regex_replace(html, std::regex("<[^>]*>"), " ");
    const std::pair<const char*, const char*> entidades[] = {{"&nbsp;", " "}, {"&lt;", "<"},
                                                             {"&gt;", ">"},   {"&quot;", "\""},
                                                             {"&#39;", "'"},  {"&amp;", "&"}};
    for (const auto& [de, para] : entidades)
        for (std::size_t p; (p = t.find(de)) != std::string::npos;)
            t.replace(p, std::strlen(de), para);
    return std::regex_replace(t, std::regex("\\s+"), " ");
}

// The first line of a language message, as UTF-8.
std::string primeiraLinha(const std::string& ansi) {
    return cp1252::toUtf8(ansi.substr(0, ansi.find("\r\n")));
}

class SkinIdiomas : public ::testing::Test {
protected:
    void SetUp() override {
        anterior_ = setMostradorMensagem(
            [this](const std::string& texto, const std::string&) { mensagens_.push_back(texto); });
        gerenciador_ = std::make_unique<GerenciadorIdiomas>(TESSARIN_APP_DIR);
        ASSERT_GE(gerenciador_->getNomesIdiomas().size(), 3u);
    }
    void TearDown() override {
        EXPECT_TRUE(mensagens_.empty()) << mensagens_.front();
        setMostradorMensagem(anterior_);
    }
    std::unique_ptr<GerenciadorIdiomas> gerenciador_;
    std::vector<std::string> mensagens_;
    MostradorMensagem anterior_;
};

TEST_F(SkinIdiomas, EveryPictureKeyDecodesAtItsControlsSize) {
    for (int i = 0; i < static_cast<int>(gerenciador_->getNomesIdiomas().size()); ++i) {
        ASSERT_NE(gerenciador_->carregarIdioma(i), nullptr);
        const std::string nome = gerenciador_->getNomesIdiomas()[static_cast<std::size_t>(i)];
        for (const auto& esperada : imagensIdioma()) {
            const auto barra = esperada.nome.find('/');
            const auto imagem = gerenciador_->getImagem(esperada.nome.substr(0, barra),
                                                        esperada.nome.substr(barra + 1));
            ASSERT_NE(imagem, nullptr) << nome << " " << esperada.nome;
            EXPECT_EQ(imagem->size(), esperada.tamanho) << nome << " " << esperada.nome;
        }
    }
}

TEST_F(SkinIdiomas, PressedButtonsAreDarkerThanTheirNormalPictures) {
    for (int i = 0; i < static_cast<int>(gerenciador_->getNomesIdiomas().size()); ++i) {
        ASSERT_NE(gerenciador_->carregarIdioma(i), nullptr);
        for (const auto& esperada : imagensIdioma()) {
            if (esperada.nome.back() != 'I') continue;
            const auto barra = esperada.nome.find('/');
            const std::string secao = esperada.nome.substr(0, barra);
            const std::string chave = esperada.nome.substr(barra + 1);
            const auto premido = gerenciador_->getImagem(secao, chave);
            const auto normal = gerenciador_->getImagem(secao, chave.substr(0, chave.size() - 1));
            ASSERT_TRUE(premido && normal) << esperada.nome;
            EXPECT_LT(luminanciaMedia(*premido), luminanciaMedia(*normal) - 10) << esperada.nome;
        }
    }
}

TEST_F(SkinIdiomas, HelpPageOfEachLanguageExistsAndCoversItsMessagesAndKeys) {
    for (int i = 0; i < static_cast<int>(gerenciador_->getNomesIdiomas().size()); ++i) {
        ASSERT_NE(gerenciador_->carregarIdioma(i), nullptr);
        const std::string nome = gerenciador_->getNomesIdiomas()[static_cast<std::size_t>(i)];
        const std::string caminho = std::string(TESSARIN_APP_DIR) + "/" +
                                    gerenciador_->getTexto("parametros", "caminhoAjuda");
        const std::string html = lerArquivo(caminho);
        ASSERT_FALSE(html.empty()) << nome << ": no help page at " << caminho;
        const std::string texto = textoDaPagina(html);
        for (const char* tecla :
             {"F1", "F2", "F3", "F4", "F5", "F6", "A4 = 440.0 Hz", "tipoSistema", "leituraFina",
              "cordaAutomatica", "leituraCromatica", "diapasao", "tessarin.ini", "OK"})
            EXPECT_NE(texto.find(tecla), std::string::npos) << nome << ": " << tecla;
        // The assistant's last page tells of the keys of the fine reading and its modes too.
        for (const char* tecla : {"F4", "F5", "F6", "+"})
            EXPECT_NE(gerenciador_->getTexto("fmAssistente", "lblTextoTab4").find(tecla),
                      std::string::npos)
                << nome << ": " << tecla;
        // Each message the language can show is quoted, so the reader finds its cure.
        const std::pair<const char*, const char*> mensagens[] = {
            {"geral", "erroPPP"},
            {"geral", "erroAbrirNavegador"},
            {"geral", "erroGeral"},
            {"fmPrincipal", "erroAbrirXML"},
            {"fmPrincipal", "erroXML"},
            {"fmPrincipal", "erroAbrirAjuda"},
            {"fmPrincipal", "erroIOOcupado"},
            {"fmPrincipal", "erroIODriver"},
            {"fmPrincipal", "erroIOMemoria"},
            {"fmPrincipal", "erroIOSO"},
            {"fmPrincipal", "erroIOFalha"},
            {"fmPrincipal", "erroIOPerdido"},
            {"fmAssistente", "erroAbrirConfiguracoes"}};
        for (const auto& [secao, chave] : mensagens) {
            const std::string linha = primeiraLinha(gerenciador_->getTexto(secao, chave));
            ASSERT_FALSE(linha.empty()) << secao << "/" << chave;
            EXPECT_NE(texto.find(linha), std::string::npos)
                << nome << ": the help page does not quote " << secao << "/" << chave << ": "
                << linha;
        }
        EXPECT_NE(texto.find("No language files were found."), std::string::npos) << nome;
        // The style sheet the page links to is installed too.
        std::smatch estilo;
        ASSERT_TRUE(std::regex_search(html, estilo, std::regex("href=\"([^\"]+\\.css)\"")));
        const std::string pasta = caminho.substr(0, caminho.rfind('/') + 1);
        EXPECT_FALSE(lerArquivo(pasta + estilo[1].str()).empty()) << nome;
    }
}

}  // namespace
