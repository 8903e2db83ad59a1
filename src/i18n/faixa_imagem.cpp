#include "faixa_imagem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "ini_reader.h"

namespace {

std::optional<std::int64_t> lerInteiro(std::string_view texto) {
    texto = aparar(texto);
    bool negativo = false;
    if (!texto.empty() && (texto.front() == '-' || texto.front() == '+')) {
        negativo = texto.front() == '-';
        texto.remove_prefix(1);
    }
    if (texto.empty()) return std::nullopt;
    std::int64_t valor = 0;
    for (char c : texto) {
        if (c < '0' || c > '9') return std::nullopt;
        const int digito = c - '0';
        if (valor > (std::numeric_limits<std::int64_t>::max() - digito) / 10) return std::nullopt;
        valor = valor * 10 + digito;
    }
    return negativo ? -valor : valor;
}

struct Descritor {
    int fd;
    ~Descritor() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

std::optional<FaixaImagem> lerFaixaImagem(std::string_view valor) {
    const std::size_t virgula = valor.find(',');
    if (virgula == std::string_view::npos) return std::nullopt;
    const auto inicio = lerInteiro(valor.substr(0, virgula));
    const auto tamanho = lerInteiro(valor.substr(virgula + 1));
    if (!inicio || !tamanho) return std::nullopt;
    return FaixaImagem{*inicio, *tamanho};
}

std::optional<FaixaImagem> limitarFaixa(const FaixaImagem& faixa, std::int64_t tamanhoArquivo) {
    if (faixa.tamanho == 0) {
        if (tamanhoArquivo <= 0) return std::nullopt;
        return FaixaImagem{0, tamanhoArquivo};
    }
    if (faixa.inicio < 0 || faixa.tamanho < 0 || faixa.inicio > tamanhoArquivo ||
        faixa.tamanho > tamanhoArquivo - faixa.inicio)
        return std::nullopt;
    return faixa;
}

std::optional<std::vector<std::uint8_t>> lerBytesFaixa(const std::string& caminho,
                                                       const FaixaImagem& faixa) {
    const Descritor arquivo{::open(caminho.c_str(), O_RDONLY | O_CLOEXEC)};
    if (arquivo.fd < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(arquivo.fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    const auto limitada = limitarFaixa(faixa, static_cast<std::int64_t>(info.st_size));
    if (!limitada) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(limitada->tamanho));
    std::size_t lidos = 0;
    while (lidos < bytes.size()) {
        const ssize_t n =
            ::pread(arquivo.fd, bytes.data() + lidos, bytes.size() - lidos,
                    static_cast<off_t>(limitada->inicio + static_cast<std::int64_t>(lidos)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;  // an error, or the file shrank under us
        lidos += static_cast<std::size_t>(n);
    }
    return bytes;
}
