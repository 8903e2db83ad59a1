#include "ini_reader.h"

#include <fstream>

namespace {

bool igualSemCaixa(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The next line of `texto` from `pos` (without its end), advancing `pos` past CR LF, LF or CR.
std::string_view proximaLinha(std::string_view texto, std::size_t& pos) {
    const std::size_t inicio = pos;
    std::size_t fim = texto.find_first_of("\r\n", inicio);
    if (fim == std::string_view::npos) fim = texto.size();
    pos = fim;
    if (pos < texto.size()) {
        const bool crlf = texto[pos] == '\r' && pos + 1 < texto.size() && texto[pos + 1] == '\n';
        pos += crlf ? 2 : 1;
    }
    return texto.substr(inicio, fim - inicio);
}

}  // namespace

std::string_view aparar(std::string_view texto) {
    std::size_t i = 0;
    std::size_t j = texto.size();
    while (i < j && static_cast<unsigned char>(texto[i]) <= ' ') ++i;
    while (j > i && static_cast<unsigned char>(texto[j - 1]) <= ' ') --j;
    return texto.substr(i, j - i);
}

std::string lerValorIniTexto(std::string_view conteudo, std::string_view secao,
                             std::string_view chave, const std::string& padrao) {
    const std::string_view secaoProcurada = aparar(secao);
    const std::string_view chaveProcurada = aparar(chave);
    bool naSecao = false;
    bool secaoVista = false;
    std::size_t pos = 0;
    while (pos < conteudo.size()) {
        const std::string_view linha = aparar(proximaLinha(conteudo, pos));
        if (linha.empty()) continue;
        if (linha.front() == '[') {
            // Only the first section of that name is read.
            if (naSecao) return padrao;
            std::string_view nome = linha.substr(1);
            const std::size_t fecha = nome.find(']');
            if (fecha != std::string_view::npos) nome = nome.substr(0, fecha);
            naSecao = !secaoVista && igualSemCaixa(aparar(nome), secaoProcurada);
            secaoVista = secaoVista || naSecao;
            continue;
        }
        if (!naSecao) continue;
        const std::size_t igual = linha.find('=');
        if (igual == std::string_view::npos) continue;
        if (igualSemCaixa(aparar(linha.substr(0, igual)), chaveProcurada))
            return std::string(aparar(linha.substr(igual + 1)));
    }
    return padrao;
}

std::string lerValorIni(const std::string& caminho, std::string_view secao, std::string_view chave,
                        const std::string& padrao) {
    std::ifstream arquivo(caminho, std::ios::binary);
    if (!arquivo) return padrao;
    // Read through the stream, which turns a read error (such as a folder in the file's place)
    // into its bad state instead of an exception.
    std::string conteudo;
    char bloco[4096];
    while (arquivo.read(bloco, sizeof bloco) || arquivo.gcount() > 0)
        conteudo.append(bloco, static_cast<std::size_t>(arquivo.gcount()));
    if (arquivo.bad()) return padrao;
    return lerValorIniTexto(conteudo, secao, chave, padrao);
}
