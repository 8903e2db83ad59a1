#include "idioma_teste.h"

#include <QBuffer>
#include <QImage>
#include <filesystem>
#include <fstream>
#include <map>
#include <utility>
#include <vector>

#include "aplicacao_teste.h"
#include "gerenciador_idiomas.h"

namespace {

// (section, key, width, height) of every picture the tested windows read from the language.
struct Figura {
    const char* secao;
    const char* chave;
    int largura, altura;
};
constexpr Figura kFiguras[] = {
    {"fmAssistente", "imgFundo", 379, 273},
    {"fmAssistente", "imgBtnAnterior", 91, 25},
    {"fmAssistente", "imgBtnAnteriorI", 91, 25},
    {"fmAssistente", "imgBtnProximo", 89, 25},
    {"fmAssistente", "imgBtnProximoI", 89, 25},
    {"fmAssistente", "imgBtnConfiguracoes", 130, 25},
    {"fmAssistente", "imgBtnConfiguracoesI", 130, 25},
    {"fmAfinacoes", "imgBtnOk", 88, 20},
    {"fmAfinacoes", "imgBtnOkI", 88, 20},
    {"fmAfinacoes", "imgBtnCancelar", 88, 20},
    {"fmAfinacoes", "imgBtnCancelarI", 88, 20},
};

const char* const kTextos =
    "[EspecificacaoIdioma]\r\n"
    "nomeIdioma=Teste\r\n"
    "codAplicacao=Tessarin 2.0\r\n"
    "[geral]\r\n"
    "nomeAplicacao=Tessarin de teste\r\n"
    "tituloAtencao=Aten\xE7\xE3o\r\n"
    "erroAbrirNavegador=Sem navegador\r\n"
    "[parametros]\r\n"
    "caminhoAjuda=ajuda/teste/index.html\r\n"
    "urlVelmora=https://example.org/tessarin?a=1&b=2\r\n"
    "[fmPrincipal]\r\n"
    "erroAbrirAjuda=Ajuda ausente\r\n"
    "erroIOSO=Dispositivo recusado\r\n"
    "erroIOOcupado=Dispositivo ocupado\r\n"
    "[fmAfinacoes]\r\n"
    "lblSelecione=Escolha a afina\xE7\xE3o:\r\n"
    "[fmAssistente]\r\n"
    "lblTextoTab0=P\xE1gina zero#segunda linha\r\n"
    "lblTextoTab1=P\xE1gina um\r\n"
    "lblTexto1Tab2=P\xE1gina dois\r\n"
    "lblTexto2Tab2=Observa\xE7\xE3o\r\n"
    "lblTextoTab3=P\xE1gina tr\xEAs\r\n"
    "lblTextoTab4=P\xE1gina quatro\r\n"
    "erroAbrirConfiguracoes=Sem mixer\r\n";

QColor corDaFigura(int i) {
    return QColor::fromHsv((i * 360 / static_cast<int>(std::size(kFiguras))) % 360, 255, 230);
}

std::string jpeg(int largura, int altura, const QColor& cor) {
    QImage imagem(largura, altura, QImage::Format_RGB32);
    imagem.fill(cor);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    imagem.save(&buffer, "JPG", 95);
    return bytes.toStdString();
}

}  // namespace

const std::string& usarIdiomaTeste() {
    // Lives until the test program ends, and is removed then like every other scratch folder.
    static PastaTemporaria pasta;
    static const bool pronta = [] {
        aplicacaoTeste();
        std::string textos = kTextos;
        std::string dados;
        std::map<std::string, std::string> secoes;
        for (std::size_t i = 0; i < std::size(kFiguras); ++i) {
            const Figura& f = kFiguras[i];
            const std::string bytes = jpeg(f.largura, f.altura, corDaFigura(static_cast<int>(i)));
            secoes[f.secao] += std::string(f.chave) + "=" + std::to_string(dados.size()) + "," +
                               std::to_string(bytes.size()) + "\r\n";
            dados += bytes;
        }
        // The picture entries join their window's section (only a section's first occurrence
        // is read).
        for (const auto& [secao, linhas] : secoes) {
            const std::string cabecalho = "[" + secao + "]\r\n";
            const std::size_t onde = textos.find(cabecalho);
            if (onde == std::string::npos)
                textos += cabecalho + linhas;
            else
                textos.insert(onde + cabecalho.size(), linhas);
        }
        pasta.escrever("Teste.idm", textos);
        pasta.escrever("Teste.dat", dados);
        GerenciadorIdiomas::setPastaPadrao(pasta.caminho());
        GerenciadorIdiomas::getInstancia()->selecionarIdioma("Teste");
        return true;
    }();
    (void)pronta;
    return pasta.caminho();
}

QColor corImagemTeste(const std::string& secao, const std::string& chave) {
    for (std::size_t i = 0; i < std::size(kFiguras); ++i)
        if (secao == kFiguras[i].secao && chave == kFiguras[i].chave)
            return corDaFigura(static_cast<int>(i));
    return {};
}

QColor corCentral(const QPixmap& imagem) {
    if (imagem.isNull()) return {};
    const QImage quadro = imagem.toImage();
    return quadro.pixelColor(quadro.width() / 2, quadro.height() / 2);
}

bool mesmaCor(const QColor& a, const QColor& b) {
    if (!a.isValid() || !b.isValid()) return false;
    return std::abs(a.red() - b.red()) <= 12 && std::abs(a.green() - b.green()) <= 12 &&
           std::abs(a.blue() - b.blue()) <= 12;
}
