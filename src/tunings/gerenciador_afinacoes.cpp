#include "gerenciador_afinacoes.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "errors.h"
#include "escritor_afinacoes.h"
#include "program_path.h"
#include "user_folders.h"
#include "xml_afinacao_parser.h"

namespace {

std::string& pastaPadrao() {
    static std::string pasta;
    return pasta;
}

std::string& arquivoUsuarioPadrao() {
    static std::string arquivo;
    return arquivo;
}

// "<file without .xml>-damaged-<date and time>.xml" beside it, a name not taken yet.
std::string nomeDanificado(const std::string& arquivo) {
    std::string base = arquivo;
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".xml") == 0) base.resize(base.size() - 4);
    char data[32];
    const std::time_t agora = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&agora, &local);
    std::strftime(data, sizeof data, "%Y%m%d-%H%M%S", &local);
    std::string nome = base + "-damaged-" + data + ".xml";
    for (int n = 2; std::FILE* f = std::fopen(nome.c_str(), "r"); ++n) {
        std::fclose(f);
        nome = base + "-damaged-" + data + "-" + std::to_string(n) + ".xml";
    }
    return nome;
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

void GerenciadorAfinacoes::setArquivoUsuarioPadrao(const std::string& arquivo) {
    arquivoUsuarioPadrao() = arquivo;
}

std::string GerenciadorAfinacoes::caminhoArquivoUsuario() {
    if (!arquivoUsuarioPadrao().empty()) return arquivoUsuarioPadrao();
    const std::string dados = userDataDir();
    return dados.empty() ? std::string() : dados + "/tessarin/" + kArquivoAfinacoes;
}

void GerenciadorAfinacoes::carregar() {
    carregar(caminhoArquivoPadrao());
}

void GerenciadorAfinacoes::carregar(const std::string& nomeArquivo) {
    std::vector<Afinacao> lidas = leitor_.lerAfinacoes(nomeArquivo);
    if (lidas.empty()) throw Exception("");
    afinacoes_ = std::move(lidas);
    fabrica_ = getNumeroAfinacoes();
    indiceAtual_ = 0;
    atualizarAtual();
}

GerenciadorAfinacoes::ArquivoUsuario GerenciadorAfinacoes::carregarUsuario() {
    return carregarUsuario(caminhoArquivoUsuario());
}

GerenciadorAfinacoes::ArquivoUsuario GerenciadorAfinacoes::carregarUsuario(
    const std::string& nomeArquivo) {
    afinacoes_.erase(afinacoes_.begin() + fabrica_, afinacoes_.end());
    arquivoUsuario_ = nomeArquivo;
    usuarioDanificado_ = false;
    ArquivoUsuario estado = ArquivoUsuario::ausente;
    if (!nomeArquivo.empty()) {
        try {
            XMLAfinacaoParser::LeituraUsuario lidas = leitor_.lerAfinacoesUsuario(nomeArquivo);
            for (Afinacao& a : lidas.afinacoes) {
                // The neck shows four to six strings; the chooser makes no other.
                if (a.getNumeroCordas() >= 4 && a.getNumeroCordas() <= 6) {
                    afinacoes_.push_back(std::move(a));
                } else {
                    ++lidas.descartadas;
                }
            }
            estado = lidas.descartadas == 0 && lidas.inteiro ? ArquivoUsuario::lido
                                                             : ArquivoUsuario::danificado;
        } catch (const EFOpenError&) {
            estado = ArquivoUsuario::ausente;
        } catch (const Exception&) {
            estado = ArquivoUsuario::danificado;
        }
    }
    usuarioDanificado_ = estado == ArquivoUsuario::danificado;
    setIndiceAtual(indiceAtual_);
    return estado;
}

void GerenciadorAfinacoes::exigirDoUsuario(int indice) const {
    if (!doUsuario(indice)) throw EInvalidOperation("Only the user's own tunings can be changed");
}

void GerenciadorAfinacoes::gravarUsuario(const std::vector<Afinacao>& afinacoes) {
    if (arquivoUsuario_.empty()) throw EFCreateError("No folder for the user's tunings");
    if (usuarioDanificado_) {
        // What could not be read is kept as it was, beside the new file.
        const std::string guardado = nomeDanificado(arquivoUsuario_);
        if (std::rename(arquivoUsuario_.c_str(), guardado.c_str()) != 0)
            throw EFCreateError("Cannot keep the damaged " + arquivoUsuario_ + " as " + guardado);
        usuarioDanificado_ = false;
    }
    gravarAfinacoes(arquivoUsuario_,
                    std::vector<Afinacao>(afinacoes.begin() + fabrica_, afinacoes.end()));
}

int GerenciadorAfinacoes::adicionar(const Afinacao& afinacao) {
    std::vector<Afinacao> novas = afinacoes_;
    novas.push_back(afinacao);
    gravarUsuario(novas);
    afinacoes_ = std::move(novas);
    atualizarAtual();
    return getNumeroAfinacoes() - 1;
}

void GerenciadorAfinacoes::substituir(int indice, const Afinacao& afinacao) {
    exigirDoUsuario(indice);
    std::vector<Afinacao> novas = afinacoes_;
    novas[static_cast<std::size_t>(indice)] = afinacao;
    gravarUsuario(novas);
    afinacoes_ = std::move(novas);
    atualizarAtual();
}

void GerenciadorAfinacoes::remover(int indice) {
    exigirDoUsuario(indice);
    std::vector<Afinacao> novas = afinacoes_;
    novas.erase(novas.begin() + indice);
    gravarUsuario(novas);
    afinacoes_ = std::move(novas);
    if (indiceAtual_ == indice) {
        indiceAtual_ = 0;
    } else if (indiceAtual_ > indice) {
        --indiceAtual_;
    }
    atualizarAtual();
}

const Afinacao& GerenciadorAfinacoes::getAfinacao(int indice) const {
    if (afinacoes_.empty()) throw Exception("No tunings loaded");
    return afinacoes_[static_cast<std::size_t>(indiceValido(indice) ? indice : 0)];
}

const Afinacao& GerenciadorAfinacoes::getAfinacaoAtual() const {
    if (atual_.empty()) throw Exception("No tunings loaded");
    return atual_.front();
}

void GerenciadorAfinacoes::setIndiceAtual(int indice) {
    indiceAtual_ = indiceValido(indice) ? indice : 0;
    atualizarAtual();
}

void GerenciadorAfinacoes::setDeslocamento(int semitons) {
    deslocamento_ = std::clamp(semitons, kDeslocamentoMenor, kDeslocamentoMaior);
    atualizarAtual();
}

void GerenciadorAfinacoes::atualizarAtual() {
    if (afinacoes_.empty()) return;
    if (!indiceValido(indiceAtual_)) indiceAtual_ = 0;
    const Afinacao deslocada = getAfinacao(indiceAtual_).deslocada(deslocamento_);
    // Assigned in place: whoever holds the current tuning's address sees the new one.
    if (atual_.empty()) {
        atual_.push_back(deslocada);
    } else {
        atual_.front() = deslocada;
    }
}
