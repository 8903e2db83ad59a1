// The user's own tunings: written by our writer and read back by the tuning reader unchanged,
// saved without ever leaving a cut file, a damaged file kept aside rather than written over,
// and the shift of the current tuning.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "atomic_file.h"
#include "errors.h"
#include "escritor_afinacoes.h"
#include "gerenciador_afinacoes.h"
#include "xml_afinacao_parser.h"

namespace fs = std::filesystem;

namespace {

std::string lerArquivo(const fs::path& caminho) {
    std::ifstream in(caminho, std::ios::binary);
    std::ostringstream texto;
    texto << in.rdbuf();
    return texto.str();
}

void escreverArquivo(const fs::path& caminho, const std::string& texto) {
    std::ofstream(caminho, std::ios::binary) << texto;
}

class AfinacoesUsuario : public ::testing::Test {
protected:
    void SetUp() override {
        pasta_ = fs::temp_directory_path() /
                 ("afinacoes-usuario-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(pasta_);
        fs::create_directories(pasta_);
        escreverArquivo(pasta_ / "fabrica.xml", documentoAfinacoes({
            Afinacao::deNotas("Guitar", "Standard", {40, 45, 50, 55, 59, 64}),
            Afinacao::deNotas("Bass", "Standard", {28, 33, 38, 43}),
        }));
        gerenciador_.carregar((pasta_ / "fabrica.xml").string());
    }
    void TearDown() override { fs::remove_all(pasta_); }

    fs::path arquivoUsuario() const { return pasta_ / "dados" / "tessarin" / "Afinacoes.xml"; }

    XMLAfinacaoParser leitor_;
    GerenciadorAfinacoes gerenciador_{leitor_};
    fs::path pasta_;
};

TEST(EscritorAfinacoes, NamesOfEveryKindComeBackUnchanged) {
    // Markup characters, Windows-1252 letters and signs, a byte Windows-1252 leaves undefined,
    // and "#", which in a name of the user's is no language code.
    const std::vector<Afinacao> escritas = {
        Afinacao::deNotas("Viol\xE3o <7> & \"co.\"", "Drop C# 'baixo'", {36, 43, 48, 53, 57, 62}),
        Afinacao::deNotas("Guitarra espa\xF1ola \x80 \x8C\x9C \x81", "#VIO #PAD", {40, 45, 50, 55}),
        Afinacao::deNotas("Bass", "", {23, 28, 33, 38, 43}),
    };
    const std::string documento = documentoAfinacoes(escritas);
    EXPECT_EQ(documento.find("<7>"), std::string::npos);
    EXPECT_NE(documento.find("&lt;7&gt; &amp; &quot;co.&quot;"), std::string::npos);
    EXPECT_NE(documento.find("&#129;"), std::string::npos);

    const fs::path arquivo = fs::temp_directory_path() / ("escritor-" + std::to_string(::getpid()));
    gravarAfinacoes(arquivo.string(), escritas);
    XMLAfinacaoParser leitor;
    // Even with a text source, the user's texts are taken literally.
    leitor.setFonteTextos([](const std::string&, const std::string&) { return "[code]"; });
    const auto lidas = leitor.lerAfinacoesUsuario(arquivo.string());
    fs::remove(arquivo);
    EXPECT_EQ(lidas.descartadas, 0);
    ASSERT_EQ(lidas.afinacoes.size(), escritas.size());
    for (std::size_t i = 0; i < escritas.size(); ++i) {
        EXPECT_EQ(lidas.afinacoes[i], escritas[i]) << lidas.afinacoes[i].getDescricao();
        EXPECT_EQ(lidas.afinacoes[i].getNomeNota(0), escritas[i].getNomeNota(0));
        EXPECT_DOUBLE_EQ(lidas.afinacoes[i].getFrequencia(0), escritas[i].getFrequencia(0));
    }
}

TEST(EscritorAfinacoes, AnInterruptedSaveLeavesTheOldFileWhole) {
    const fs::path arquivo = fs::temp_directory_path() / ("interrompido-" + std::to_string(::getpid()));
    const std::string antigo = documentoAfinacoes({Afinacao::deNotas("Old", "", {40, 45, 50, 55})});
    escreverArquivo(arquivo, antigo);
    // The saving process dies after the new text is written, before the rename.
    const pid_t filho = ::fork();
    ASSERT_GE(filho, 0);
    if (filho == 0) {
        replaceFile(arquivo.string(), "<Afinacoes><Afinacao>cut", [] { ::_exit(0); });
        ::_exit(1);
    }
    int estado = 0;
    ::waitpid(filho, &estado, 0);
    ASSERT_TRUE(WIFEXITED(estado));
    EXPECT_EQ(WEXITSTATUS(estado), 0) << "the process did not stop before the rename";
    EXPECT_EQ(lerArquivo(arquivo), antigo);
    for (const auto& f : fs::directory_iterator(arquivo.parent_path()))
        if (f.path().filename().string().rfind(arquivo.filename().string() + ".", 0) == 0)
            fs::remove(f.path());  // the temporary file the dead process left
    fs::remove(arquivo);
}

TEST_F(AfinacoesUsuario, MadeChangedAndRemovedTuningsFollowTheShippedOnesAndPersist) {
    EXPECT_EQ(gerenciador_.carregarUsuario(arquivoUsuario().string()),
              GerenciadorAfinacoes::ArquivoUsuario::ausente);
    const Afinacao dropC = Afinacao::deNotas("Guitar", "Drop C", {36, 43, 48, 53, 57, 62});
    const Afinacao openE = Afinacao::deNotas("Guitar", "Open E", {40, 47, 52, 56, 59, 64});
    EXPECT_EQ(gerenciador_.adicionar(dropC), 2);
    EXPECT_EQ(gerenciador_.adicionar(openE), 3);
    EXPECT_TRUE(fs::exists(arquivoUsuario()));  // its folders made on the way
    EXPECT_FALSE(gerenciador_.doUsuario(1));
    EXPECT_TRUE(gerenciador_.doUsuario(2));
    EXPECT_THROW(gerenciador_.remover(0), EInvalidOperation);
    EXPECT_THROW(gerenciador_.substituir(1, dropC), EInvalidOperation);

    gerenciador_.setIndiceAtual(3);
    const Afinacao openD = Afinacao::deNotas("Guitar", "Open D", {38, 45, 50, 54, 57, 62});
    gerenciador_.substituir(3, openD);
    EXPECT_EQ(gerenciador_.getAfinacaoAtual(), openD);
    gerenciador_.remover(2);  // the current tuning stays current, one place up
    EXPECT_EQ(gerenciador_.getIndiceAtual(), 2);
    EXPECT_EQ(gerenciador_.getAfinacaoAtual(), openD);

    GerenciadorAfinacoes outro(leitor_);
    outro.carregar((pasta_ / "fabrica.xml").string());
    EXPECT_EQ(outro.carregarUsuario(arquivoUsuario().string()),
              GerenciadorAfinacoes::ArquivoUsuario::lido);
    ASSERT_EQ(outro.getNumeroAfinacoes(), 3);
    EXPECT_EQ(outro.getAfinacao(2), openD);
    // A saved index that pointed at a tuning since removed falls back to the first.
    outro.setIndiceAtual(3);
    EXPECT_EQ(outro.getIndiceAtual(), 0);
}

TEST_F(AfinacoesUsuario, ADamagedFileIsReadAsFarAsItGoesAndKeptAsideOnTheNextSave) {
    const std::string danificado =
        "<Afinacoes><Afinacao><instrumento>Mine</instrumento><numeroCordas>4</numeroCordas>"
        "<frequenciasMIDI><corda>40</corda><corda>45</corda><corda>50</corda><corda>55</corda>"
        "</frequenciasMIDI></Afinacao><Afinacao><numeroCordas>6</numeroCordas>"
        "<frequenciasMIDI><corda>40</corda></frequenciasMIDI></Afinacao>";
    fs::create_directories(arquivoUsuario().parent_path());
    escreverArquivo(arquivoUsuario(), danificado);
    EXPECT_EQ(gerenciador_.carregarUsuario(arquivoUsuario().string()),
              GerenciadorAfinacoes::ArquivoUsuario::danificado);
    EXPECT_EQ(gerenciador_.getNumeroAfinacoes(), 3);  // the shipped two and the usable one
    EXPECT_EQ(lerArquivo(arquivoUsuario()), danificado);

    gerenciador_.adicionar(Afinacao::deNotas("Guitar", "Open C", {36, 43, 48, 55, 60, 64}));
    int guardados = 0;
    for (const auto& f : fs::directory_iterator(arquivoUsuario().parent_path())) {
        if (f.path().filename().string().rfind("Afinacoes-damaged-", 0) != 0) continue;
        ++guardados;
        EXPECT_EQ(lerArquivo(f.path()), danificado);
    }
    EXPECT_EQ(guardados, 1);
    EXPECT_EQ(leitor_.lerAfinacoesUsuario(arquivoUsuario().string()).afinacoes.size(), 2u);

    // What is no whole tuning file is damaged too, even without a tuning in it: it is kept.
    for (const std::string& texto : {std::string(), std::string("\x01\xFE garbage"),
                                    std::string("<Outra><Afinacao/></Outra>"),
                                    std::string("<Afinacoes><Afinacao>")}) {
        escreverArquivo(arquivoUsuario(), texto);
        EXPECT_EQ(gerenciador_.carregarUsuario(arquivoUsuario().string()),
                  GerenciadorAfinacoes::ArquivoUsuario::danificado)
            << texto;
    }
    escreverArquivo(arquivoUsuario(), "<?xml version=\"1.0\"?><!-- none yet --><Afinacoes/>");
    EXPECT_EQ(gerenciador_.carregarUsuario(arquivoUsuario().string()),
              GerenciadorAfinacoes::ArquivoUsuario::lido);

    // Not an integer where a note must be: nothing of it is read, the shipped tunings stay.
    escreverArquivo(arquivoUsuario(), "<Afinacoes><Afinacao><numeroCordas>x</numeroCordas>");
    EXPECT_EQ(gerenciador_.carregarUsuario(arquivoUsuario().string()),
              GerenciadorAfinacoes::ArquivoUsuario::danificado);
    EXPECT_EQ(gerenciador_.getNumeroAfinacoes(), 2);
}

TEST_F(AfinacoesUsuario, ASaveThatFailsLeavesTheTuningsAsTheyWere) {
    gerenciador_.carregarUsuario((pasta_ / "arquivo" / "Afinacoes.xml").string());
    escreverArquivo(pasta_ / "arquivo", "a file where the folder should be");
    EXPECT_THROW(gerenciador_.adicionar(Afinacao::deNotas("G", "", {40, 45, 50, 55})),
                 EFCreateError);
    EXPECT_EQ(gerenciador_.getNumeroAfinacoes(), 2);
}

TEST_F(AfinacoesUsuario, TheShiftMovesTheCurrentTuningsNotesNamesAndFrequencies) {
    gerenciador_.setDeslocamento(-1);
    const Afinacao& meioTom = gerenciador_.getAfinacaoAtual();
    EXPECT_EQ(meioTom.getNotaMIDI(0), 39);
    EXPECT_EQ(meioTom.getNomeNota(0), "D#");
    EXPECT_NEAR(meioTom.getFrequencia(0), 77.78, 0.01);  // E flat 2
    EXPECT_EQ(gerenciador_.getAfinacao(0).getNotaMIDI(0), 40);  // the list shows it unshifted
    gerenciador_.setDeslocamento(2);
    gerenciador_.setIndiceAtual(1);
    EXPECT_EQ(gerenciador_.getAfinacaoAtual().getNotaMIDI(0), 30);
    gerenciador_.setDeslocamento(12);
    EXPECT_EQ(gerenciador_.getDeslocamento(), GerenciadorAfinacoes::kDeslocamentoMaior);
    gerenciador_.setDeslocamento(-40);
    EXPECT_EQ(gerenciador_.getDeslocamento(), GerenciadorAfinacoes::kDeslocamentoMenor);
    EXPECT_EQ(Afinacao::deNotas("", "", {2, 125}).deslocada(-5).getNotaMIDI(0), 0);
    EXPECT_EQ(Afinacao::deNotas("", "", {2, 125}).deslocada(7).getNotaMIDI(1), 126);
}

}  // namespace
