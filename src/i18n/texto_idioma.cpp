#include "texto_idioma.h"

#include "ini_reader.h"

namespace {

std::string quebrasDeLinha(std::string_view valor) {
    std::string resultado;
    resultado.reserve(valor.size());
    for (char c : valor) {
        if (c == '#')
            resultado += "\r\n";
        else
            resultado += c;
    }
    return resultado;
}

}  // namespace

TextoIdioma::TextoIdioma(std::string_view conteudo) {
    unsigned long secoes = 0;
    std::size_t pos = 0;
    while (pos < conteudo.size()) {
        std::size_t fim = conteudo.find_first_of("\r\n", pos);
        if (fim == std::string_view::npos) fim = conteudo.size();
        const std::string_view linha = aparar(conteudo.substr(pos, fim - pos));
        pos = fim;
        if (pos < conteudo.size())
            pos += (conteudo[pos] == '\r' && pos + 1 < conteudo.size() && conteudo[pos + 1] == '\n')
                       ? 2
                       : 1;
        if (linha.empty()) continue;
        if (linha.front() == '[') {
            ++secoes;
            const std::string_view nome =
                linha.size() >= 2 ? linha.substr(1, linha.size() - 2) : std::string_view{};
            adicionar(std::string(nome), "CS" + std::to_string(secoes));
            continue;
        }
        // Lines with blanks at their ends are taken like unindented ones: the key and the value
        // come from the trimmed line.
        const std::size_t igual = linha.find('=');
        const std::string_view chave =
            igual == std::string_view::npos ? std::string_view{} : linha.substr(0, igual);
        const std::string_view valor =
            igual == std::string_view::npos ? linha : linha.substr(igual + 1);
        adicionar("CS" + std::to_string(secoes) + std::string(chave), quebrasDeLinha(valor));
    }
}

void TextoIdioma::adicionar(std::string nome, std::string valor) {
    entradas_.push_back(nome + "=" + valor);
    // The lookup takes the text before the entry's first '=' as its name: a section name holding
    // '=' is found by its part before it, as the flattened list reads.
    const std::size_t igual = nome.find('=');
    if (igual != std::string::npos) {
        // No text may hold '#' (the tuning names' code expansion relies on it), so the part of
        // the header that becomes a value is read like any value.
        valor = quebrasDeLinha(nome.substr(igual + 1)) + "=" + valor;
        nome.resize(igual);
    }
    primeiros_.emplace(std::move(nome), std::move(valor));
}

std::string TextoIdioma::valorEntrada(std::string_view nome) const {
    const auto it = primeiros_.find(std::string(nome));
    return it == primeiros_.end() ? std::string() : it->second;
}

std::string TextoIdioma::getTexto(std::string_view secao, std::string_view chave) const {
    // A missing section finds nothing (an empty prefix would otherwise let the key match an entry
    // of its own name, such as another section's marker).
    const std::string prefixo = valorEntrada(secao);
    if (prefixo.empty()) return {};
    return valorEntrada(prefixo + std::string(chave));
}
