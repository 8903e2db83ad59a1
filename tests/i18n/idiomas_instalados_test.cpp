// The languages the build puts beside the program: found by the program's own manager, and every
// text the program looks up is there in each of them.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "gerenciador_idiomas.h"
#include "pacote_idioma.h"
#include "produto.h"
#include "terminacao.h"
#include "utilgui.h"

namespace {

std::string lerArquivo(const std::string& caminho) {
    std::ifstream entrada(caminho, std::ios::binary);
    std::stringstream conteudo;
    conteudo << entrada.rdbuf();
    return conteudo.str();
}

}  // namespace

TEST(IdiomasInstalados, AllThreeAreFoundAndCarryEveryText) {
    std::vector<std::string> mensagens;
    const auto anterior = setMostradorMensagem(
        [&](const std::string& texto, const std::string&) { mensagens.push_back(texto); });
    GerenciadorIdiomas gerenciador(TESSARIN_APP_DIR);
    EXPECT_EQ(gerenciador.getNomesIdiomas(),
              (std::vector<std::string>{"English", "Espa\xF1ol", "Portugu\xEAs (Brasil)"}));

    const auto chaves =
        lerListaChaves(lerArquivo(TESSARIN_SOURCE_DIR "/data/languages/chaves.txt"), "chaves.txt");
    ASSERT_GT(chaves.size(), 40u);
    for (int i = 0; i < static_cast<int>(gerenciador.getNomesIdiomas().size()); ++i) {
        Idioma* idioma = gerenciador.carregarIdioma(i);
        ASSERT_NE(idioma, nullptr);
        const std::string nome = idioma->getNome();
        EXPECT_EQ(nome, gerenciador.getNomesIdiomas()[static_cast<std::size_t>(i)]);
        for (const ChaveConhecida& c : chaves) {
            if (c.secao.front() == '_') continue;  // captions for the build, not in the .idm
            const std::string texto = gerenciador.getTexto(c.secao, c.chave);
            if (!c.figura) {
                EXPECT_FALSE(texto.empty()) << nome << " [" << c.secao << "] " << c.chave;
            } else if (!texto.empty()) {
                EXPECT_NE(gerenciador.getImagem(c.secao, c.chave), nullptr)
                    << nome << " [" << c.secao << "] " << c.chave;
            }
            if (c.secao == "xmlAfinacao") {
                EXPECT_EQ(c.chave.size(), 3u) << c.chave;
            }
        }
        // The last-resort box names the same support address as the program's own messages.
        EXPECT_NE(gerenciador.getTexto("geral", "erroGeral").find(kEmailSuporte), std::string::npos)
            << nome;
        EXPECT_NE(gerenciador.getTexto("geral", "erroGeral").find("\r\n\r\n"), std::string::npos);
        const std::string ajuda = gerenciador.getTexto("parametros", "caminhoAjuda");
        EXPECT_NE(ajuda.front(), '/') << "the help path is relative to the program's folder";
        EXPECT_EQ(gerenciador.getTexto("parametros", "urlVelmora").rfind("https://", 0), 0u);

        // Windows-1252 with CR LF line ends: no LF without its CR, no UTF-8 sequences.
        const std::string bytes =
            lerArquivo(std::string(TESSARIN_APP_DIR) + "/" +
                       gerenciador.getArquivosIdiomas()[static_cast<std::size_t>(i)] + ".idm");
        for (std::size_t p = 0; p < bytes.size(); ++p)
            if (bytes[p] == '\n') {
                ASSERT_TRUE(p > 0 && bytes[p - 1] == '\r') << nome << " @" << p;
            }
        EXPECT_EQ(bytes.find("\xC3"), std::string::npos) << nome;
    }
    EXPECT_TRUE(mensagens.empty());
    setMostradorMensagem(anterior);
    cancelarTerminacao();
}
