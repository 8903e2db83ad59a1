#include "gerenciador_afinacoes.h"

#include "errors.h"
#include "program_path.h"
#include "xml_afinacao_parser.h"

namespace {

std::string& pastaPadrao() {
    static std::string pasta;
    return pasta;
}

}  // namespace

GerenciadorAfinacoes* GerenciadorAfinacoes::getInstancia() {
    // Deliberately never destroyed: it lives until the process ends.
    static GerenciadorAfinacoes* const instancia =
        new GerenciadorAfinacoes(*XMLAfinacaoParser::getInstancia());
    return instancia;
}

GerenciadorAfinacoes::GerenciadorAfinacoes(const XMLAfinacaoParser& leitor) : leitor_(leitor) {}

void GerenciadorAfinacoes::setPastaPadrao(const std::string& pasta) {
    pastaPadrao() = pasta;
}

std::string GerenciadorAfinacoes::caminhoArquivoPadrao() {
    const std::string pasta = pastaPadrao().empty() ? programDir() : pastaPadrao();
    return pasta + "/" + kArquivoAfinacoes;
}

void GerenciadorAfinacoes::carregar() {
    carregar(caminhoArquivoPadrao());
}

void GerenciadorAfinacoes::carregar(const std::string& nomeArquivo) {
    std::vector<Afinacao> lidas = leitor_.lerAfinacoes(nomeArquivo);
    if (lidas.empty()) throw Exception("");
    afinacoes_ = std::move(lidas);
    indiceAtual_ = 0;
}

const Afinacao& GerenciadorAfinacoes::getAfinacao(int indice) const {
    if (afinacoes_.empty()) throw Exception("No tunings loaded");
    return afinacoes_[static_cast<std::size_t>(indiceValido(indice) ? indice : 0)];
}

void GerenciadorAfinacoes::setIndiceAtual(int indice) {
    indiceAtual_ = indiceValido(indice) ? indice : 0;
}
