#include "ultimo_recurso.h"

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

MensagemErro mensagemErroDesconhecido(const std::string& versao) {
    MensagemErro m;
    m.texto = kContato + kEmailSuporte + ".";
    if (!versao.empty()) m.texto += "\n\nError information:\n\" v" + versao + " \"";
    m.titulo = kTituloProduto;
    return m;
}
