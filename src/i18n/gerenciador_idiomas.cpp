#include "gerenciador_idiomas.h"

#include <QApplication>
#include <algorithm>
#include <numeric>

#include "dir_listing.h"
#include "form_lista_idiomas.h"
#include "ini_reader.h"
#include "program_path.h"
#include "terminacao.h"
#include "utilgui.h"

namespace {

std::string& pastaPadrao() {
    static std::string pasta;
    return pasta;
}

char minuscula(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool iguaisSemCaixa(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return minuscula(x) == minuscula(y);
           });
}

bool menorSemCaixa(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(minuscula(x)) < static_cast<unsigned char>(minuscula(y));
    });
}

}  // namespace

GerenciadorIdiomas* GerenciadorIdiomas::getInstancia() {
    // Deliberately never destroyed: it lives until the process ends.
    static GerenciadorIdiomas* const instancia =
        new GerenciadorIdiomas(pastaPadrao().empty() ? programDir() : pastaPadrao());
    return instancia;
}

void GerenciadorIdiomas::setPastaPadrao(const std::string& pasta) {
    pastaPadrao() = pasta;
}

GerenciadorIdiomas::GerenciadorIdiomas(std::string pasta) : pasta_(std::move(pasta)) {
    descobrir();
}

GerenciadorIdiomas::~GerenciadorIdiomas() = default;

void GerenciadorIdiomas::descobrir() {
    struct Encontrado {
        std::string nome;
        std::string base;
    };
    std::vector<Encontrado> encontrados;
    for (const std::string& arquivo : listarArquivos(pasta_, "idm")) {
        const std::string caminho = pasta_ + "/" + arquivo;
        const std::string nome = lerValorIni(caminho, "EspecificacaoIdioma", "nomeIdioma");
        const std::string codigo = lerValorIni(caminho, "EspecificacaoIdioma", "codAplicacao");
        if (nome.empty() || codigo != kCodigoAplicacao) continue;
        encontrados.push_back({nome, arquivo.substr(0, arquivo.size() - 4)});
    }
    // The listing is in file-name order; a stable sort by display name keeps that for equal names.
    std::stable_sort(
        encontrados.begin(), encontrados.end(),
        [](const Encontrado& a, const Encontrado& b) { return menorSemCaixa(a.nome, b.nome); });
    for (Encontrado& e : encontrados) {
        nomesIdiomas_.push_back(std::move(e.nome));
        arquivosIdiomas_.push_back(std::move(e.base));
    }
    if (nomesIdiomas_.empty()) {
        mostrarMensagem("No language files were found. Please, reinstall your software.",
                        kTituloInternacionalizacao);
        solicitarTerminacao();
    }
}

Idioma* GerenciadorIdiomas::selecionarIdioma(const std::string& nome) {
    const auto it = std::find_if(nomesIdiomas_.begin(), nomesIdiomas_.end(),
                                 [&](const std::string& n) { return iguaisSemCaixa(n, nome); });
    if (it != nomesIdiomas_.end())
        return carregarIdioma(static_cast<int>(it - nomesIdiomas_.begin()));

    // No name at all is a first start: the user has selected nothing yet, and the chooser comes
    // straight away.
    if (!nome.empty())
        mostrarMensagem(
            "The language you have selected was not found. Please, select another one.",
            kTituloInternacionalizacao);
    if (escolherIdioma()) return idiomaAtual_.get();
    if (!terminacaoSolicitada()) {
        mostrarMensagem(
            "The application could not be initialized because no language was selected.",
            kTituloInternacionalizacao);
        solicitarTerminacao();
    }
    return nullptr;
}

bool GerenciadorIdiomas::escolherIdioma() {
    const int indice = mostrarSeletor();
    if (indice < 0 || indice >= static_cast<int>(nomesIdiomas_.size())) return false;
    carregarIdioma(indice);
    return true;
}

Idioma* GerenciadorIdiomas::carregarIdioma(int indice) {
    if (indice < 0 || indice >= static_cast<int>(arquivosIdiomas_.size())) return nullptr;
    if (indice == indiceAtual_) return idiomaAtual_.get();
    const std::string& base = arquivosIdiomas_[static_cast<std::size_t>(indice)];
    // Built first: when it fails, the previous language stays current.
    // The name it was listed under (read by the settings file's rules, so a header in any case
    // counts) is the one the settings keep and the next start looks for.
    auto novo = std::make_unique<Idioma>(pasta_, base + ".idm", base + ".dat",
                                         nomesIdiomas_[static_cast<std::size_t>(indice)]);
    idiomaAtual_ = std::move(novo);
    indiceAtual_ = indice;
    return idiomaAtual_.get();
}

std::string GerenciadorIdiomas::getTexto(const std::string& secao, const std::string& chave) const {
    return idiomaAtual_ ? idiomaAtual_->getTexto(secao, chave) : std::string();
}

std::unique_ptr<QImage> GerenciadorIdiomas::getImagem(const std::string& secao,
                                                      const std::string& chave) const {
    return idiomaAtual_ ? idiomaAtual_->getImagem(secao, chave) : nullptr;
}

void GerenciadorIdiomas::setSeletor(Seletor seletor) {
    seletor_ = std::move(seletor);
}

int GerenciadorIdiomas::mostrarSeletor() {
    if (seletor_) return seletor_(nomesIdiomas_, indiceAtual_);
    // Without a window system there is no one to ask.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return -1;
    if (!formListaIdiomas_) formListaIdiomas_ = std::make_unique<TformListaIdiomas>();
    return formListaIdiomas_->executar(nomesIdiomas_, indiceAtual_);
}
