// Random bytes as a picture: the decoder must refuse or decode, never crash, hang or exit.
#include <cstddef>
#include <cstdint>

#include "jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dados, std::size_t tamanho) {
    const auto imagem = decodificarJpeg(dados, tamanho);
    if (imagem && imagem->pixels.size() != static_cast<std::size_t>(imagem->largura) *
                                               static_cast<std::size_t>(imagem->altura) * 3)
        __builtin_trap();
    return 0;
}
