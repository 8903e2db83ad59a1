#include "idioma.h"

#include <fstream>
#include <iterator>
#include <utility>

#include "errors.h"
#include "faixa_imagem.h"
#include "jpeg_qimage.h"
#include "produto.h"
#include "utilgui.h"

namespace {

std::string lerArquivo(const std::string& caminho) {
    std::ifstream arquivo(caminho, std::ios::binary);
    if (!arquivo) throw EFOpenError("Cannot open file \"" + caminho + "\".");
    std::string conteudo((std::istreambuf_iterator<char>(arquivo)),
                         std::istreambuf_iterator<char>());
    if (arquivo.bad()) throw EFOpenError("Cannot read file \"" + caminho + "\".");
    return conteudo;
}

}  // namespace

std::string mensagemArquivoCorrompido() {
    return std::string(
               "The file of the language you have selected is corrupted. Try to reinstall your "
               "software.\r\nIf the problem persist, please contact us: ") +
           kEmailSuporte + ".";
}

Idioma::Idioma(const std::string& pasta, const std::string& arquivoTexto,
               const std::string& arquivoDados, std::string nome)
    : texto_(lerArquivo(pasta + "/" + arquivoTexto)),
      caminhoDados_(pasta + "/" + arquivoDados),
      nome_(std::move(nome)) {}

std::string Idioma::getTexto(const std::string& secao, const std::string& chave) const {
    return texto_.getTexto(secao, chave);
}

std::string Idioma::getNome() const {
    return nome_.empty() ? getTexto("EspecificacaoIdioma", "nomeIdioma") : nome_;
}

std::unique_ptr<QImage> Idioma::getImagem(const std::string& secao, const std::string& chave) {
    const std::string valor = getTexto(secao, chave);
    if (valor.empty()) return nullptr;
    std::unique_ptr<QImage> imagem;
    if (const auto faixa = lerFaixaImagem(valor)) {
        if (const auto bytes = lerBytesFaixa(caminhoDados_, *faixa))
            imagem = decodificarJpegQImage(bytes->data(), bytes->size());
    }
    if (!imagem) reportarArquivoCorrompido();
    return imagem;
}

void Idioma::reportarArquivoCorrompido() {
    if (erroReportado_) return;
    erroReportado_ = true;
    mostrarMensagem(mensagemArquivoCorrompido(), kTituloInternacionalizacao);
}
