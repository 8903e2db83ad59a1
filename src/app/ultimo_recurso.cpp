#include "ultimo_recurso.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "produto.h"

namespace {
const std::string kContato =
    "An error has occurred in your application.\nIf the problem persist, please contact us: ";
}

std::string inicioMensagemSemIdioma() {
    return kContato + kEmailSuporte + ".\n\nError information:";
}

MensagemErro mensagemErroPrograma(const std::string& nomeClasse, const std::string& mensagem,
                                  const std::optional<TextosErroIdioma>& idioma,
                                  const std::string& versao) {
    MensagemErro m;
    if (idioma) {
        m.texto = idioma->erroGeral;
        m.titulo = idioma->nomeAplicacao;
    } else {
        m.texto = inicioMensagemSemIdioma();
        m.titulo = kTituloProduto;
    }
    m.texto += "\n\" " + nomeClasse + " (" + mensagem + ")";
    if (!versao.empty()) m.texto += ", v" + versao;
    m.texto += " \"";
    return m;
}

std::string nomeClasseExcecao(const std::exception& erro) {
    const char* nome = typeid(erro).name();
    int estado = 0;
    const std::unique_ptr<char, decltype(&std::free)> legivel(
        abi::__cxa_demangle(nome, nullptr, nullptr, &estado), &std::free);
    return estado == 0 && legivel ? std::string(legivel.get()) : std::string(nome);
}

MensagemErro mensagemErroDesconhecido(const std::string& versao) {
    MensagemErro m;
    m.texto = kContato + kEmailSuporte + ".";
    if (!versao.empty()) m.texto += "\n\nError information:\n\" v" + versao + " \"";
    m.titulo = kTituloProduto;
    return m;
}
