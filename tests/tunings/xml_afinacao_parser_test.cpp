// The tuning file reader and the tuning manager.

#include "xml_afinacao_parser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "errors.h"
#include "gerenciador_afinacoes.h"
#include "program_path.h"

namespace {

// Language texts of section "xmlAfinacao" for the tests.
std::string textoDeTeste(const std::string& secao, const std::string& chave) {
    static const std::map<std::string, std::string> textos = {
        {"VIO", "Guitar"}, {"PAD", "Standard"}, {"BAI", "Bass"}, {"DRD", "Drop D"}};
    if (secao != "xmlAfinacao") return "";
    const auto it = textos.find(chave);
    return it == textos.end() ? "" : it->second;
}

std::string afinacao(const std::string& corpo) {
    return "<Afinacao>" + corpo + "</Afinacao>";
}

std::string notas(std::initializer_list<const char*> valores) {
    std::string texto = "<frequenciasMIDI>";
    for (const char* v : valores) texto += std::string("<n>") + v + "</n>";
    return texto + "</frequenciasMIDI>";
}

std::string documento(const std::string& corpo) {
    return "<?xml version=\"1.0\"?>\n<Afinacoes>\n" + corpo + "\n</Afinacoes>\n";
}

class LeitorAfinacoes : public ::testing::Test {
protected:
    LeitorAfinacoes() { leitor.setFonteTextos(textoDeTeste); }

    std::vector<Afinacao> ler(const std::string& corpo) {
        return leitor.lerAfinacoesDoTexto(documento(corpo));
    }
    std::vector<std::string> descricoes(const std::string& corpo) {
        std::vector<std::string> resultado;
        for (const Afinacao& a : ler(corpo)) resultado.push_back(a.getDescricao());
        return resultado;
    }

    XMLAfinacaoParser leitor;
};

// A scratch folder, removed with its files.
class PastaTemporaria {
public:
    PastaTemporaria() {
        char modelo[] = "/tmp/tessarin-afinacoes-XXXXXX";
        caminho_ = ::mkdtemp(modelo);
    }
    ~PastaTemporaria() { std::filesystem::remove_all(caminho_); }
    void escrever(const std::string& nome, const std::string& conteudo) const {
        std::ofstream(caminho_ + "/" + nome, std::ios::binary) << conteudo;
    }
    const std::string& caminho() const { return caminho_; }

private:
    std::string caminho_;
};

// A scratch folder that is the current directory while the test runs.
class PastaCorrente : public PastaTemporaria {
public:
    PastaCorrente() : anterior_(std::filesystem::current_path()) {
        std::filesystem::current_path(caminho());
    }
    ~PastaCorrente() { std::filesystem::current_path(anterior_); }

private:
    std::filesystem::path anterior_;
};

// The manager's tuning folder while the test runs.
class PastaDasAfinacoes : public PastaTemporaria {
public:
    PastaDasAfinacoes() { GerenciadorAfinacoes::setPastaPadrao(caminho()); }
    ~PastaDasAfinacoes() { GerenciadorAfinacoes::setPastaPadrao(""); }
};

}  // namespace

TEST_F(LeitorAfinacoes, BuildsTuningsWhoseNoteCountMatchesAndSkipsTheOthers) {
    const auto lidas =
        ler(afinacao("<instrumento>Six</instrumento><numeroCordas>6</numeroCordas>" +
                     notas({"40", "45", "50", "55", "59", "64"})) +
            afinacao("<instrumento>Five</instrumento><numeroCordas>6</numeroCordas>" +
                     notas({"40", "45", "50", "55", "59"})) +
            afinacao("<instrumento>Seven</instrumento><numeroCordas>6</numeroCordas>" +
                     notas({"40", "45", "50", "55", "59", "64", "69"})) +
            afinacao("<instrumento>None</instrumento><numeroCordas>4</numeroCordas>") +
            afinacao("<instrumento>Next</instrumento><numeroCordas>2</numeroCordas>" +
                     notas({"69", "64"})));
    ASSERT_EQ(lidas.size(), 2u);
    EXPECT_EQ(lidas[0].getInstrumento(), "Six");
    EXPECT_EQ(lidas[0].getNumeroCordas(), 6);
    EXPECT_EQ(lidas[0].getNotaMIDI(0), 40);
    EXPECT_EQ(lidas[0].getNotaMIDI(5), 64);
    EXPECT_EQ(lidas[1].getInstrumento(), "Next");
    // Names and frequencies come from the MIDI notes.
    EXPECT_EQ(lidas[1].getNomeNota(0), "A");
    EXPECT_DOUBLE_EQ(lidas[1].getFrequencia(0), 440.0);
    EXPECT_EQ(lidas[1].getNomeNota(1), "E");
    EXPECT_NEAR(lidas[1].getFrequencia(1), 329.63, 0.005);
    EXPECT_EQ(lidas[1].getDescricao(), "Next - A, E");
}

TEST_F(LeitorAfinacoes, TypeMayBeMissingOrEmptyAndTheInstrumentMissing) {
    EXPECT_THAT(descricoes(afinacao("<instrumento>A</instrumento><tipoAfinacao></tipoAfinacao>"
                                    "<numeroCordas>1</numeroCordas>" +
                                    notas({"40"})) +
                           afinacao("<instrumento>B</instrumento><tipoAfinacao>  </tipoAfinacao>"
                                    "<numeroCordas>1</numeroCordas>" +
                                    notas({"41"})) +
                           afinacao("<instrumento>C</instrumento><numeroCordas>1</numeroCordas>" +
                                    notas({"42"})) +
                           afinacao("<tipoAfinacao>T</tipoAfinacao><numeroCordas>1</numeroCordas>" +
                                    notas({"43"}))),
                ::testing::ElementsAre("A - E", "B - F", "C - F#", " (T) - G"));
}

TEST_F(LeitorAfinacoes, NumbersMayHaveBlanksAndLineBreaksAroundThem) {
    const auto lidas = ler(
        afinacao("<numeroCordas>\n  3\r\n</numeroCordas>" + notas({"40", " 45 ", "\n\t50\r\n"})));
    ASSERT_EQ(lidas.size(), 1u);
    EXPECT_EQ(lidas[0].getNotaMIDI(1), 45);
    EXPECT_EQ(lidas[0].getNotaMIDI(2), 50);
}

TEST_F(LeitorAfinacoes, ANumberThatIsNotAnIntegerFailsTheWholeLoad) {
    // All notes in one text: one value "40 45 50", which is not an integer.
    const std::string umTexto =
        afinacao("<numeroCordas>3</numeroCordas><frequenciasMIDI>40 45 50</frequenciasMIDI>");
    for (const std::string& corpo :
         {umTexto, afinacao("<numeroCordas>seis</numeroCordas>"),
          afinacao("<numeroCordas>2</numeroCordas>" + notas({"40", "4O"})),
          afinacao("<numeroCordas>2.0</numeroCordas>"),
          afinacao("<numeroCordas>99999999999</numeroCordas>")}) {
        SCOPED_TRACE(corpo);
        try {
            ler(corpo);
            ADD_FAILURE() << "no exception";
        } catch (const EConvertError& e) {
            EXPECT_STREQ(e.className(), "EConvertError");
        }
    }
    EXPECT_EQ(ler(afinacao("<numeroCordas>+1</numeroCordas>" + notas({"-0"}))).size(), 1u);
}

TEST_F(LeitorAfinacoes, CodesAreExpandedFromTheLanguage) {
    const auto lidas =
        ler(afinacao("<instrumento>#VIO (#BAI)</instrumento><tipoAfinacao>#PAD</tipoAfinacao>"
                     "<numeroCordas>1</numeroCordas>" +
                     notas({"40"})) +
            afinacao("<instrumento>#XYZ Bass</instrumento><tipoAfinacao>C#m</tipoAfinacao>"
                     "<numeroCordas>1</numeroCordas>" +
                     notas({"40"})));
    ASSERT_EQ(lidas.size(), 2u);
    EXPECT_EQ(lidas[0].getDescricao(), "Guitar (Bass) (Standard) - E");
    // A code without a text leaves nothing; a sharp sign always starts a code.
    EXPECT_EQ(lidas[1].getInstrumento(), " Bass");
    EXPECT_EQ(lidas[1].getTipoAfinacao(), "C");

    EXPECT_EQ(leitor.traduzir("#DRD"), "Drop D");
    EXPECT_EQ(leitor.traduzir("x #PA"), "x ");  // a code cut short by the end of the text
    EXPECT_EQ(leitor.traduzir("end#"), "end");
    EXPECT_EQ(leitor.traduzir("#VIO#PAD"), "GuitarStandard");
    EXPECT_EQ(leitor.traduzir("plain"), "plain");

    // Without a text source every code disappears; a text that brings its own "#" ends too.
    XMLAfinacaoParser semTextos;
    EXPECT_EQ(semTextos.traduzir("#VIO guitar"), " guitar");
    semTextos.setFonteTextos(
        [](const std::string&, const std::string& chave) { return "<#" + chave + ">"; });
    EXPECT_EQ(semTextos.traduzir("#ABC"), "<#ABC>");
}

TEST_F(LeitorAfinacoes, OnlyTheExactElementNamesCount) {
    const auto lidas =
        ler("<afinacao><numeroCordas>1</numeroCordas>" + notas({"40"}) + "</afinacao>" +
            "<AFINACAO><numeroCordas>1</numeroCordas>" + notas({"40"}) + "</AFINACAO>" +
            afinacao("<Instrumento>X</Instrumento><numeroCordas>1</numeroCordas>"
                     "<FrequenciasMIDI><n>41</n></FrequenciasMIDI>" +
                     notas({"42"})) +
            // Deeper nesting, comments and CDATA are fine; empty-element tags are ignored.
            "<grupo>" +
            afinacao("<!-- c --><instrumento>Deep</instrumento><numeroCordas>1</numeroCordas>"
                     "<frequenciasMIDI><![CDATA[77]]><n>43</n></frequenciasMIDI>") +
            "<Afinacao/></grupo>");
    ASSERT_EQ(lidas.size(), 2u);
    EXPECT_EQ(lidas[0].getInstrumento(), "");
    EXPECT_EQ(lidas[0].getNotaMIDI(0), 42);
    EXPECT_EQ(lidas[1].getInstrumento(), "Deep");
    EXPECT_EQ(lidas[1].getNotaMIDI(0), 43);
}

TEST_F(LeitorAfinacoes, NotesAndCountsOutsideTheTablesNeverMakeATuning) {
    const auto lidas =
        ler(afinacao("<instrumento>high</instrumento><numeroCordas>2</numeroCordas>" +
                     notas({"40", "127"})) +
            afinacao("<instrumento>negative</instrumento><numeroCordas>2</numeroCordas>" +
                     notas({"-1", "40"})) +
            afinacao("<instrumento>zero</instrumento><numeroCordas>0</numeroCordas>" + notas({})) +
            afinacao("<instrumento>below</instrumento><numeroCordas>-2</numeroCordas>" +
                     notas({"40", "45"})) +
            afinacao("<instrumento>huge</instrumento><numeroCordas>2000000000</numeroCordas>" +
                     notas({"40"})) +
            afinacao("<instrumento>edges</instrumento><numeroCordas>2</numeroCordas>" +
                     notas({"0", "126"})));
    ASSERT_EQ(lidas.size(), 1u);
    EXPECT_EQ(lidas[0].getInstrumento(), "edges");
    EXPECT_EQ(lidas[0].getNomeNota(0), "C");
    EXPECT_EQ(lidas[0].getNomeNota(1), "F#");
    EXPECT_NEAR(lidas[0].getFrequencia(1), 11839.8, 0.05);
}

TEST_F(LeitorAfinacoes, NotesWithNowhereToGoAreDropped) {
    const auto lidas = ler(
        // outside any tuning
        notas({"40", "bad"}) +
        // before the count: counted, so the count no longer matches
        afinacao("<instrumento>early</instrumento>" + notas({"40"}) +
                 "<numeroCordas>1</numeroCordas>") +
        // a second count starts a new value array: the notes before it are gone
        afinacao("<instrumento>recount</instrumento><numeroCordas>1</numeroCordas>" +
                 notas({"40"}) + "<numeroCordas>1</numeroCordas>") +
        afinacao("<instrumento>fine</instrumento><numeroCordas>1</numeroCordas>" + notas({"50"})) +
        // a tuning the file never closes
        "<Afinacao><instrumento>open</instrumento><numeroCordas>1</numeroCordas>" + notas({"40"}));
    ASSERT_EQ(lidas.size(), 1u);
    EXPECT_EQ(lidas[0].getInstrumento(), "fine");
}

TEST(LeitorAfinacoesArquivo, MissingFileRaisesFileOpenErrorWithoutMessage) {
    PastaCorrente pasta;
    XMLAfinacaoParser leitor;
    for (const char* nome : {"Afinacoes.xml", "."}) {
        try {
            leitor.lerAfinacoes(nome);
            ADD_FAILURE() << "no exception";
        } catch (const EFOpenError& e) {
            EXPECT_EQ(e.message(), "");
        }
    }
    pasta.escrever("vazio.xml", "");
    EXPECT_TRUE(leitor.lerAfinacoes("vazio.xml").empty());
}

TEST(GerenciadorAfinacoes, ReadsTheProgramsFolderWhateverTheCurrentDirectory) {
    GerenciadorAfinacoes::setPastaPadrao("");
    EXPECT_EQ(GerenciadorAfinacoes::caminhoArquivoPadrao(), programDir() + "/Afinacoes.xml");

    // A tuning file in the current directory is not the program's.
    PastaCorrente corrente;
    corrente.escrever("Afinacoes.xml",
                      documento(afinacao("<instrumento>alheia</instrumento><numeroCordas>1"
                                         "</numeroCordas>" + notas({"40"}))));
    PastaDasAfinacoes pasta;
    pasta.escrever("Afinacoes.xml",
                   documento(afinacao("<instrumento>propria</instrumento><numeroCordas>1"
                                      "</numeroCordas>" + notas({"40"}))));
    XMLAfinacaoParser leitor;
    GerenciadorAfinacoes gerenciador(leitor);
    gerenciador.carregar();
    EXPECT_EQ(gerenciador.getAfinacaoAtual().getInstrumento(), "propria");
}

TEST(GerenciadorAfinacoes, LoadsItsFileAndKeepsIndexesInRange) {
    PastaDasAfinacoes pasta;
    XMLAfinacaoParser leitor;
    GerenciadorAfinacoes gerenciador(leitor);
    EXPECT_THROW(gerenciador.getAfinacaoAtual(), Exception);  // nothing loaded yet

    pasta.escrever(
        "Afinacoes.xml",
        documento(
            afinacao("<instrumento>a</instrumento><numeroCordas>1</numeroCordas>" + notas({"40"})) +
            afinacao("<instrumento>b</instrumento><numeroCordas>1</numeroCordas>" + notas({"45"})) +
            afinacao("<instrumento>c</instrumento><numeroCordas>1</numeroCordas>" +
                     notas({"50"}))));
    gerenciador.carregar();
    EXPECT_EQ(gerenciador.getNumeroAfinacoes(), 3);
    EXPECT_EQ(gerenciador.getIndiceAtual(), 0);
    EXPECT_EQ(gerenciador.getAfinacaoAtual().getInstrumento(), "a");
    gerenciador.setIndiceAtual(2);
    EXPECT_EQ(gerenciador.getAfinacaoAtual().getInstrumento(), "c");
    for (int fora : {-1, 3, 1000}) {
        gerenciador.setIndiceAtual(2);
        gerenciador.setIndiceAtual(fora);
        EXPECT_EQ(gerenciador.getIndiceAtual(), 0);
        EXPECT_EQ(gerenciador.getAfinacao(fora).getInstrumento(), "a");
    }
    EXPECT_EQ(gerenciador.getAfinacao(1).getInstrumento(), "b");

    // A file without usable tunings is the general error, not the file error; a missing file is
    // the file error. Either way the tunings loaded before stay.
    gerenciador.setIndiceAtual(1);
    pasta.escrever("Afinacoes.xml", documento(afinacao("<numeroCordas>2</numeroCordas>")));
    try {
        gerenciador.carregar();
        ADD_FAILURE() << "no exception";
    } catch (const EFOpenError&) {
        ADD_FAILURE() << "file error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.className(), "Exception");
        EXPECT_EQ(e.message(), "");
    }
    EXPECT_THROW(gerenciador.carregar("missing.xml"), EFOpenError);
    EXPECT_EQ(gerenciador.getNumeroAfinacoes(), 3);
    EXPECT_EQ(gerenciador.getIndiceAtual(), 1);
}
