#include "jpeg_amostra.h"

#include <cstdio>
#include <cstdlib>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

std::vector<std::uint8_t> jpegAmostra(int largura, int altura, bool progressivo) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr erro;
    cinfo.err = jpeg_std_error(&erro);
    jpeg_create_compress(&cinfo);
    unsigned char* saida = nullptr;
    unsigned long tamanho = 0;
    jpeg_mem_dest(&cinfo, &saida, &tamanho);
    cinfo.image_width = static_cast<JDIMENSION>(largura);
    cinfo.image_height = static_cast<JDIMENSION>(altura);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (progressivo) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<std::uint8_t> linha(static_cast<std::size_t>(largura) * 3);
    for (int x = 0; x < largura; ++x) {
        const bool esquerda = x < largura / 2;
        linha[static_cast<std::size_t>(x) * 3 + 0] = esquerda ? 255 : 0;
        linha[static_cast<std::size_t>(x) * 3 + 1] = 0;
        linha[static_cast<std::size_t>(x) * 3 + 2] = esquerda ? 0 : 255;
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW p = linha.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<std::uint8_t> bytes(saida, saida + tamanho);
    std::free(saida);
    return bytes;
}
