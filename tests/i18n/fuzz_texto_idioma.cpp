// Language text files from outside: flattening and lookups must cope with any bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "texto_idioma.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dados, std::size_t tamanho) {
    const std::string_view conteudo(reinterpret_cast<const char*>(dados), tamanho);
    const TextoIdioma texto(conteudo);
    // Look up every section under every key name the file holds (bounded).
    std::size_t passos = 0;
    for (const std::string& a : texto.entradas()) {
        const std::string_view nomeA(a.data(), a.find('='));
        for (const std::string& b : texto.entradas()) {
            if (++passos > 256) return 0;
            const std::string_view nomeB(b.data(), b.find('='));
            const std::string valor = texto.getTexto(nomeA, nomeB.substr(nomeB.size() > 2 ? 3 : 0));
            if (valor.find('#') != std::string::npos) __builtin_trap();  // '#' is always a break
        }
    }
    return 0;
}
