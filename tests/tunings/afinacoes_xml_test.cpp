// The tuning file we ship: every tuning is present with the right notes, and every code it uses
// has a text in each shipped language.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "texto_idioma.h"
#include "xml_afinacao_parser.h"

namespace {

const std::string kPasta = TESSARIN_APP_DIR;

// "E2", "F#3", "Bb0": the MIDI note (middle C, C4, is 60).
int notaMIDI(const std::string& nome) {
    static const std::string letras = "C D EF G A B";
    int nota = static_cast<int>(letras.find(nome[0]));
    std::size_t i = 1;
    if (nome[i] == '#') ++nota, ++i;
    if (nome[i] == 'b') --nota, ++i;
    return nota + 12 * (std::stoi(nome.substr(i)) + 1);
}

std::vector<int> notasMIDI(const std::string& nomes) {
    std::istringstream in(nomes);
    std::vector<int> notas;
    for (std::string nome; in >> nome;) notas.push_back(notaMIDI(nome));
    return notas;
}

struct Esperada {
    const char* instrumento;
    const char* tipo;
    const char* notas;
};

// Codes stand in the texts as [XYZ].
const Esperada kAfinacoes[] = {
    {"[VIO]", "[PAD]", "E2 A2 D3 G3 B3 E4"},
    {"[VIO]", "[DRD]", "D2 A2 D3 G3 B3 E4"},
    {"[VIO]", "[MTA]", "Eb2 Ab2 Db3 Gb3 Bb3 Eb4"},
    {"[VIO]", "[ASO]", "D2 G2 D3 G3 B3 D4"},
    {"[VIO]", "[ARE]", "D2 A2 D3 F#3 A3 D4"},
    {"[VIO]", "[DAD]", "D2 A2 D3 G3 A3 D4"},
    {"[V7C]", "[PAD]", "B1 E2 A2 D3 G3 B3 E4"},
    {"[BAI]", "[PAD]", "E1 A1 D2 G2"},
    {"[BAI]", "[DRD]", "D1 A1 D2 G2"},
    {"[B5C]", "[PAD]", "B0 E1 A1 D2 G2"},
    {"[UKE]", "[SOP]", "G4 C4 E4 A4"},
    {"[UKE]", "[BAR]", "D3 G3 B3 E4"},
    {"[CAV]", "[PAD]", "D4 G4 B4 D5"},
    {"[BND]", "[PAD], [PAR]", "G3 D4 A4 E5"},
    {"[BAN]", "[ASO]", "G4 D3 G3 B3 D4"},
    {"[VLN]", "", "G3 D4 A4 E5"},
    {"[VLA]", "", "C3 G3 D4 A4"},
    {"[VCL]", "", "C2 G2 D3 A3"},
};

class AfinacoesXml : public ::testing::Test {
protected:
    AfinacoesXml() {
        leitor.setFonteTextos([this](const std::string& secao, const std::string& chave) {
            codigos.insert(chave);
            return secao == "xmlAfinacao" ? "[" + chave + "]" : "";
        });
    }
    XMLAfinacaoParser leitor;
    std::set<std::string> codigos;
};

}  // namespace

TEST_F(AfinacoesXml, HoldsTheShippedTuningsWithTheirNotes) {
    const auto afinacoes = leitor.lerAfinacoes(kPasta + "/Afinacoes.xml");
    ASSERT_EQ(afinacoes.size(), std::size(kAfinacoes));
    for (std::size_t i = 0; i < afinacoes.size(); ++i) {
        const Afinacao& a = afinacoes[i];
        const Esperada& e = kAfinacoes[i];
        SCOPED_TRACE(a.getDescricao());
        EXPECT_EQ(a.getInstrumento(), e.instrumento);
        EXPECT_EQ(a.getTipoAfinacao(), e.tipo);
        const std::vector<int> notas = notasMIDI(e.notas);
        ASSERT_EQ(a.getNumeroCordas(), static_cast<int>(notas.size()));
        for (int c = 0; c < a.getNumeroCordas(); ++c) EXPECT_EQ(a.getNotaMIDI(c), notas[c]);
    }
    // Spot checks of the note arithmetic itself.
    EXPECT_EQ(notaMIDI("A4"), 69);
    EXPECT_EQ(notaMIDI("E2"), 40);
    EXPECT_EQ(notaMIDI("B0"), 23);
}

TEST_F(AfinacoesXml, EveryCodeHasATextInEachShippedLanguage) {
    leitor.lerAfinacoes(kPasta + "/Afinacoes.xml");
    ASSERT_FALSE(codigos.empty());
    int idiomas = 0;
    for (const auto& entrada : std::filesystem::directory_iterator(kPasta)) {
        if (entrada.path().extension() != ".idm") continue;
        ++idiomas;
        std::ifstream in(entrada.path(), std::ios::binary);
        const std::string conteudo((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
        const TextoIdioma texto(conteudo);
        for (const std::string& codigo : codigos) {
            EXPECT_NE(texto.getTexto("xmlAfinacao", codigo), "")
                << entrada.path().filename() << " lacks " << codigo;
        }
    }
    if (idiomas == 0) GTEST_SKIP() << "no language files built beside the program";
    EXPECT_GE(idiomas, 3);
}
