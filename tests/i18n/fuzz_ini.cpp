// Settings files from outside: "<section>\n<key>\n<file content>" through the profile reader.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "configuracoes_usuario.h"
#include "ini_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dados, std::size_t tamanho) {
    std::string_view resto(reinterpret_cast<const char*>(dados), tamanho);
    auto campo = [&]() {
        const std::size_t fim = resto.find('\n');
        const std::string_view c = resto.substr(0, fim);
        resto = fim == std::string_view::npos ? std::string_view{} : resto.substr(fim + 1);
        return c;
    };
    const std::string_view secao = campo();
    const std::string_view chave = campo();
    const std::string valor = lerValorIniTexto(resto, secao, chave, "\x01padrao");
    if (valor != "\x01padrao" && valor != std::string(aparar(valor))) __builtin_trap();
    int numero = 0;
    converterInteiro(valor, numero);
    // A concert pitch read from the value is always one the tuner offers.
    int decimos = ConfiguracoesUsuario::kDiapasaoPadrao;
    if (ConfiguracoesUsuario::lerDiapasao(valor, decimos) &&
        (decimos < ConfiguracoesUsuario::kDiapasaoMenor ||
         decimos > ConfiguracoesUsuario::kDiapasaoMaior))
        __builtin_trap();
    return 0;
}
