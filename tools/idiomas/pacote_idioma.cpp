#include "pacote_idioma.h"

#include <map>
#include <set>
#include <sstream>

#include "codepage.h"
#include "ini_reader.h"
#include "jpeg_decoder.h"

namespace {

constexpr const char* kCodigoAplicacao = "Tessarin 2.0";

std::vector<std::string> linhas(const std::string& texto) {
    std::vector<std::string> resultado;
    std::string atual;
    for (std::size_t i = 0; i < texto.size(); ++i) {
        const char c = texto[i];
        if (c == '\r' || c == '\n') {
            resultado.push_back(atual);
            atual.clear();
            if (c == '\r' && i + 1 < texto.size() && texto[i + 1] == '\n') ++i;
        } else {
            atual += c;
        }
    }
    if (!atual.empty()) resultado.push_back(atual);
    return resultado;
}

std::string onde(const std::string& arquivo, int linha) {
    return arquivo + ":" + std::to_string(linha) + ": ";
}

bool nomeValido(const std::string& nome) {
    if (nome.empty()) return false;
    for (unsigned char c : nome)
        if (c <= ' ' || c == '=' || c == '[' || c == ']' || c >= 0x80) return false;
    return true;
}

// Windows-1252 of a UTF-8 text, or nothing when a character has no place in the code page.
std::optional<std::string> paraAnsi(const std::string& utf8) {
    const std::string ansi = cp1252::fromUtf8(utf8, '\x01');
    if (ansi.find('\x01') != std::string::npos || cp1252::toUtf8(ansi) != utf8) return std::nullopt;
    return ansi;
}

}  // namespace

const EntradaFonte* FonteIdioma::procurar(const std::string& secao,
                                          const std::string& chave) const {
    for (const SecaoFonte& s : secoes) {
        if (s.nome != secao) continue;
        for (const EntradaFonte& e : s.entradas)
            if (e.chave == chave) return &e;
    }
    return nullptr;
}

FonteIdioma lerFonteIdioma(const std::string& conteudoUtf8, const std::string& nomeArquivo) {
    FonteIdioma fonte;
    std::set<std::string> secoesVistas;
    std::set<std::string> chavesDaSecao;
    std::string texto = conteudoUtf8;
    if (texto.rfind("\xEF\xBB\xBF", 0) == 0) texto.erase(0, 3);  // a byte-order mark
    int numero = 0;
    for (const std::string& bruta : linhas(texto)) {
        ++numero;
        const std::string linha(aparar(bruta));
        if (linha.empty() || linha[0] == ';') continue;
        if (linha[0] == '[') {
            if (linha.back() != ']')
                throw ErroFonte(onde(nomeArquivo, numero) + "section header without ']'");
            const std::string nome(aparar(std::string_view(linha).substr(1, linha.size() - 2)));
            if (!nomeValido(nome))
                throw ErroFonte(onde(nomeArquivo, numero) + "bad section name \"" + nome + "\"");
            if (!secoesVistas.insert(nome).second)
                throw ErroFonte(onde(nomeArquivo, numero) + "section [" + nome +
                                "] given twice (a later one would never be read)");
            fonte.secoes.push_back({nome, {}});
            chavesDaSecao.clear();
            continue;
        }
        const std::size_t igual = linha.find('=');
        if (igual == std::string::npos)
            throw ErroFonte(onde(nomeArquivo, numero) + "expected \"key = value\"");
        if (fonte.secoes.empty())
            throw ErroFonte(onde(nomeArquivo, numero) + "key before the first section");
        EntradaFonte entrada;
        entrada.linha = numero;
        entrada.chave = std::string(aparar(std::string_view(linha).substr(0, igual)));
        const std::string valor(aparar(std::string_view(linha).substr(igual + 1)));
        if (!nomeValido(entrada.chave))
            throw ErroFonte(onde(nomeArquivo, numero) + "bad key \"" + entrada.chave + "\"");
        if (!chavesDaSecao.insert(entrada.chave).second)
            throw ErroFonte(onde(nomeArquivo, numero) + "key \"" + entrada.chave +
                            "\" given twice in [" + fonte.secoes.back().nome + "]");
        if (!valor.empty() && valor[0] == '@') {
            entrada.figura = true;
            entrada.valor = std::string(aparar(std::string_view(valor).substr(1)));
            if (entrada.valor.empty())
                throw ErroFonte(onde(nomeArquivo, numero) + "picture without a path");
        } else {
            const auto ansi = paraAnsi(valor);
            if (!ansi)
                throw ErroFonte(onde(nomeArquivo, numero) +
                                "a character that Windows-1252 cannot hold");
            for (unsigned char c : *ansi)
                if (c < ' ') throw ErroFonte(onde(nomeArquivo, numero) + "a control character");
            entrada.valor = *ansi;
        }
        fonte.secoes.back().entradas.push_back(std::move(entrada));
    }
    return fonte;
}

std::vector<ChaveConhecida> lerListaChaves(const std::string& conteudo,
                                           const std::string& nomeArquivo) {
    std::vector<ChaveConhecida> chaves;
    int numero = 0;
    for (const std::string& bruta : linhas(conteudo)) {
        ++numero;
        const std::string linha(aparar(bruta));
        if (linha.empty() || linha[0] == ';') continue;
        std::istringstream campos(linha);
        std::string tipo, secao, chave, resto;
        campos >> tipo >> secao >> chave >> resto;
        if ((tipo != "T" && tipo != "I") || chave.empty() || !resto.empty())
            throw ErroFonte(onde(nomeArquivo, numero) + "expected \"T|I section key\"");
        chaves.push_back({tipo == "I", secao, chave});
    }
    return chaves;
}

void verificarFonte(const FonteIdioma& fonte, const std::vector<ChaveConhecida>& chaves,
                    bool exigirFiguras, const std::string& nomeArquivo) {
    std::vector<std::string> problemas;
    const EntradaFonte* codigo = fonte.procurar("EspecificacaoIdioma", "codAplicacao");
    if (!codigo || codigo->figura || codigo->valor != kCodigoAplicacao)
        problemas.push_back(std::string("[EspecificacaoIdioma] codAplicacao must be \"") +
                            kCodigoAplicacao + "\"");
    const EntradaFonte* nome = fonte.procurar("EspecificacaoIdioma", "nomeIdioma");
    if (!nome || nome->figura || nome->valor.empty())
        problemas.push_back("[EspecificacaoIdioma] nomeIdioma must name the language");
    else if (nome->valor.find('#') != std::string::npos)
        problemas.push_back("[EspecificacaoIdioma] nomeIdioma cannot hold '#'");

    std::set<std::pair<std::string, std::string>> conhecidas = {
        {"EspecificacaoIdioma", "codAplicacao"}, {"EspecificacaoIdioma", "nomeIdioma"}};
    for (const ChaveConhecida& c : chaves) {
        conhecidas.insert({c.secao, c.chave});
        const EntradaFonte* e = fonte.procurar(c.secao, c.chave);
        const std::string nomeChave = "[" + c.secao + "] " + c.chave;
        if (!e) {
            if (!c.figura || exigirFiguras) problemas.push_back(nomeChave + " is missing");
        } else if (e->figura != c.figura) {
            problemas.push_back(nomeChave + (c.figura ? " must be a picture (@path)"
                                                      : " must be a text, not a picture"));
        } else if (!c.figura && e->valor.empty()) {
            problemas.push_back(nomeChave + " is empty");
        }
    }
    for (const SecaoFonte& s : fonte.secoes)
        for (const EntradaFonte& e : s.entradas)
            if (!conhecidas.count({s.nome, e.chave}))
                problemas.push_back(onde(nomeArquivo, e.linha) + "[" + s.nome + "] " + e.chave +
                                    " is not a key the program reads");
    if (problemas.empty()) return;
    std::string mensagem = nomeArquivo + ": " + std::to_string(problemas.size()) + " problem(s):";
    for (const std::string& p : problemas) mensagem += "\n  " + p;
    throw ErroFonte(mensagem);
}

PacoteIdioma montarPacote(const FonteIdioma& fonte, const LeitorFigura& lerFigura,
                          const std::string& nomeArquivo) {
    PacoteIdioma pacote;
    std::map<std::vector<std::uint8_t>, std::size_t> guardadas;  // picture bytes -> offset
    for (const SecaoFonte& s : fonte.secoes) {
        // Sections named "_..." hold texts for the build only (the artwork's captions).
        if (s.nome[0] == '_') continue;
        if (!pacote.idm.empty()) pacote.idm += "\r\n";
        pacote.idm += "[" + s.nome + "]\r\n";
        for (const EntradaFonte& e : s.entradas) {
            if (!e.figura) {
                pacote.idm += e.chave + "=" + e.valor + "\r\n";
                continue;
            }
            std::string resolvido;
            const auto bytes = lerFigura(e.valor, resolvido);
            if (!bytes)
                throw ErroFonte(onde(nomeArquivo, e.linha) + "picture \"" + e.valor +
                                "\" not found");
            std::string erro;
            if (!decodificarJpeg(bytes->data(), bytes->size(), &erro))
                throw ErroFonte(onde(nomeArquivo, e.linha) + "picture \"" + resolvido +
                                "\" is not a JPEG this program reads: " + erro);
            pacote.figuras.push_back(resolvido);
            auto [lugar, nova] = guardadas.emplace(*bytes, pacote.dat.size());
            if (nova) pacote.dat.insert(pacote.dat.end(), bytes->begin(), bytes->end());
            pacote.idm += e.chave + "=" + std::to_string(lugar->second) + "," +
                          std::to_string(bytes->size()) + "\r\n";
        }
    }
    return pacote;
}
