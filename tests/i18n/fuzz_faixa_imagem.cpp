// Picture entries from outside: "<offset,length>\n<data file bytes>". The range must stay inside
// the data, and whatever it covers goes through the JPEG decoder.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "faixa_imagem.h"
#include "jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dados, std::size_t tamanho) {
    const std::string_view texto(reinterpret_cast<const char*>(dados), tamanho);
    const std::size_t fim = texto.find('\n');
    if (fim == std::string_view::npos) return 0;
    const auto faixa = lerFaixaImagem(texto.substr(0, fim));
    if (!faixa) return 0;
    const std::uint8_t* arquivo = dados + fim + 1;
    const auto tamanhoArquivo = static_cast<std::int64_t>(tamanho - fim - 1);
    const auto limitada = limitarFaixa(*faixa, tamanhoArquivo);
    if (!limitada) return 0;
    if (limitada->inicio < 0 || limitada->tamanho <= 0 ||
        limitada->inicio + limitada->tamanho > tamanhoArquivo)
        __builtin_trap();
    decodificarJpeg(arquivo + limitada->inicio, static_cast<std::size_t>(limitada->tamanho));
    return 0;
}
