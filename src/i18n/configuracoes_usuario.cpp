#include "configuracoes_usuario.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "atomic_file.h"
#include "ini_reader.h"
#include "program_path.h"
#include "user_folders.h"

namespace {

constexpr const char* kSecao = "geral";
// The settings' folder inside the user's configuration folder.
constexpr const char* kPastaUsuario = "tessarin";

struct Local {
    std::string pasta;
    std::string nomePrograma;
};

Local& local() {
    static Local l;
    return l;
}

std::string& idiomaClasse() {
    static std::string idioma;
    return idioma;
}

std::string nomePrograma() {
    if (!local().nomePrograma.empty()) return local().nomePrograma;
    const std::string caminho = programPath();
    const auto barra = caminho.rfind('/');
    return barra == std::string::npos ? caminho : caminho.substr(barra + 1);
}

std::string pastaPrograma() {
    return local().pasta.empty() ? programDir() : local().pasta;
}

}  // namespace

bool converterInteiro(const std::string& texto, int& valor) {
    const char* inicio = texto.data();
    const char* fim = texto.data() + texto.size();
    // from_chars takes a '-' sign only; a '+' is skipped here, but not in front of a '-'.
    if (inicio != fim && *inicio == '+') {
        ++inicio;
        if (inicio != fim && *inicio == '-') return false;
    }
    int lido = 0;
    const auto [ptr, ec] = std::from_chars(inicio, fim, lido, 10);
    if (ec != std::errc() || ptr != fim) return false;
    valor = lido;
    return true;
}

void ConfiguracoesUsuario::setLocal(const std::string& pasta, const std::string& nomePrograma) {
    local().pasta = pasta;
    local().nomePrograma = nomePrograma;
}

std::string ConfiguracoesUsuario::caminhoArquivo() {
    // The program file has no extension on Linux: the settings file is its name plus ".ini".
    // Appended piece by piece: "/" + a string trips a false -Wrestrict in GCC 12's optimiser.
    std::string nome = "/";
    nome += nomePrograma();
    nome += ".ini";
    const std::string programa = pastaPrograma();
    if (folderWritable(programa)) return programa + nome;
    return userConfigDir() + "/" + kPastaUsuario + nome;
}

std::string ConfiguracoesUsuario::getNomeArquivo() const {
    return nomePrograma() + ".ini";
}

std::string ConfiguracoesUsuario::lerIdioma() {
    idiomaClasse() = lerValorIni(caminhoArquivo(), kSecao, "idioma");
    return idiomaClasse();
}

const std::string& ConfiguracoesUsuario::getIdioma() {
    return idiomaClasse();
}

ConfiguracoesUsuario::ConfiguracoesUsuario() {
    const std::string caminho = caminhoArquivo();
    int afinacao = 0;
    int tipo = 0;
    if (converterInteiro(lerValorIni(caminho, kSecao, "afinacaoSelecionada", "0"), afinacao) &&
        converterInteiro(lerValorIni(caminho, kSecao, "tipoSistema", "0"), tipo)) {
        afinacaoSelecionada_ = afinacao;
        tipoSistema_ = tipo;
    }
    const auto ligado = [&caminho](const char* chave) {
        int valor = 0;
        return converterInteiro(lerValorIni(caminho, kSecao, chave, "0"), valor) && valor == 1;
    };
    leituraFina_ = ligado("leituraFina");
    cordaAutomatica_ = ligado("cordaAutomatica");
    leituraCromatica_ = ligado("leituraCromatica");
    int diapasao = kDiapasaoPadrao;
    if (lerDiapasao(lerValorIni(caminho, kSecao, "diapasao", "440.0"), diapasao))
        diapasao_ = diapasao;
    int deslocamento = 0;
    if (converterInteiro(lerValorIni(caminho, kSecao, "deslocamento", "0"), deslocamento) &&
        deslocamento >= kDeslocamentoMenor && deslocamento <= kDeslocamentoMaior)
        deslocamento_ = deslocamento;
}

void ConfiguracoesUsuario::setDeslocamento(int semitons) {
    deslocamento_ = std::clamp(semitons, kDeslocamentoMenor, kDeslocamentoMaior);
}

void ConfiguracoesUsuario::setDiapasao(int decimos) {
    diapasao_ = std::clamp(decimos, kDiapasaoMenor, kDiapasaoMaior);
}

std::string ConfiguracoesUsuario::textoDiapasao(int decimos) {
    const int d = std::clamp(decimos, kDiapasaoMenor, kDiapasaoMaior);
    return std::to_string(d / 10) + "." + std::to_string(d % 10);
}

bool ConfiguracoesUsuario::lerDiapasao(const std::string& texto, int& decimos) {
    // Digits, then optionally a point and one digit: "442", "442.0", "415.3".
    const std::size_t ponto = texto.find('.');
    const std::string inteira = texto.substr(0, ponto);
    const std::string fracao = ponto == std::string::npos ? "0" : texto.substr(ponto + 1);
    const auto digitos = [](const std::string& s, std::size_t maximo) {
        return !s.empty() && s.size() <= maximo &&
               s.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!digitos(inteira, 3) || !digitos(fracao, 1)) return false;
    const int valor = std::stoi(inteira) * 10 + (fracao[0] - '0');
    if (valor < kDiapasaoMenor || valor > kDiapasaoMaior) return false;
    decimos = valor;
    return true;
}

bool ConfiguracoesUsuario::salvar(int afinacaoSelecionada, int tipoSistema,
                                  const std::string& idioma) {
    afinacaoSelecionada_ = afinacaoSelecionada;
    tipoSistema_ = tipoSistema;
    idiomaClasse() = idioma;
    const std::string texto = "[geral]\r\nidioma=" + idioma +
                              "\r\nafinacaoSelecionada=" + std::to_string(afinacaoSelecionada) +
                              "\r\ntipoSistema=" + std::to_string(tipoSistema) + "\r\n" +
                              (leituraFina_ ? "leituraFina=1\r\n" : "") +
                              (cordaAutomatica_ ? "cordaAutomatica=1\r\n" : "") +
                              (leituraCromatica_ ? "leituraCromatica=1\r\n" : "") +
                              (diapasao_ != kDiapasaoPadrao
                                   ? "diapasao=" + textoDiapasao(diapasao_) + "\r\n"
                                   : std::string()) +
                              (deslocamento_ != 0
                                   ? "deslocamento=" + std::to_string(deslocamento_) + "\r\n"
                                   : std::string());
    const std::string caminho = caminhoArquivo();
    // The user's configuration folder may not exist yet.
    if (!makeFolders(caminho.substr(0, caminho.rfind('/')))) return false;
    // A settings file that may not be written stays as it is.
    if (::access(caminho.c_str(), F_OK) == 0 && ::access(caminho.c_str(), W_OK) != 0) return false;
    // Written beside the file and renamed over it, so a failed write never leaves a cut file.
    const ReplaceResult substituido = replaceFile(caminho, texto);
    if (substituido == ReplaceResult::replaced) return true;
    if (substituido == ReplaceResult::failed) return false;  // the file itself cannot be replaced
    // No new file can be made in the folder: write in place when the file itself is writable.
    const int fd = ::open(caminho.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return false;
    const bool escrito = writeAll(fd, texto);
    return ::close(fd) == 0 && escrito;
}
