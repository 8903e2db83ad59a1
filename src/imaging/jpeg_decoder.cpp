#include "jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace {

// More scans than this is no picture a program would write; it only costs time to decode.
constexpr int kMaximoVarreduras = 500;

struct GerenteErro {
    jpeg_error_mgr base;
    std::jmp_buf retorno;
    char mensagem[JMSG_LENGTH_MAX];
};

[[noreturn]] void sairComErro(j_common_ptr cinfo) {
    auto* gerente = reinterpret_cast<GerenteErro*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, gerente->mensagem);
    std::longjmp(gerente->retorno, 1);
}

void emitirMensagem(j_common_ptr cinfo, int nivel) {
    // Level -1 is a warning: the data is damaged but libjpeg went on (a file cut short ends in
    // grey, corrupt data is skipped), so the picture still shows; it is only counted. Trace
    // messages are dropped.
    if (nivel < 0) ++cinfo->err->num_warnings;
}

void semSaida(j_common_ptr) {}

void vigiarProgresso(j_common_ptr cinfo) {
    if (cinfo->is_decompressor) {
        auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
        if (d->input_scan_number > kMaximoVarreduras) {
            auto* gerente = reinterpret_cast<GerenteErro*>(cinfo->err);
            std::snprintf(gerente->mensagem, sizeof gerente->mensagem, "too many scans");
            std::longjmp(gerente->retorno, 1);
        }
    }
}

// Decodes into `saida`; returns false with `mensagem` set on any failure. Nothing with a
// destructor lives in this frame, so leaving it by longjmp skips no clean-up.
bool decodificar(const std::uint8_t* dados, std::size_t tamanho, ImagemRgb* saida, char* mensagem,
                 std::size_t tamanhoMensagem) {
    jpeg_decompress_struct cinfo;
    GerenteErro gerente;
    jpeg_progress_mgr progresso;
    cinfo.err = jpeg_std_error(&gerente.base);
    gerente.base.error_exit = sairComErro;
    gerente.base.emit_message = emitirMensagem;
    gerente.base.output_message = semSaida;
    gerente.mensagem[0] = '\0';
    if (setjmp(gerente.retorno) != 0) {
        jpeg_destroy_decompress(&cinfo);
        std::snprintf(mensagem, tamanhoMensagem, "%s", gerente.mensagem);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    progresso.progress_monitor = vigiarProgresso;
    cinfo.progress = &progresso;
    jpeg_mem_src(&cinfo, dados, static_cast<unsigned long>(tamanho));
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > kLadoMaximoJpeg ||
        cinfo.image_height > kLadoMaximoJpeg) {
        jpeg_destroy_decompress(&cinfo);
        std::snprintf(mensagem, tamanhoMensagem, "picture size %ux%u refused",
                      static_cast<unsigned>(cinfo.image_width),
                      static_cast<unsigned>(cinfo.image_height));
        return false;
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3) {
        jpeg_destroy_decompress(&cinfo);
        std::snprintf(mensagem, tamanhoMensagem, "unexpected colour layout");
        return false;
    }
    const std::size_t largura = cinfo.output_width;
    const std::size_t altura = cinfo.output_height;
    saida->largura = static_cast<int>(largura);
    saida->altura = static_cast<int>(altura);
    saida->pixels.assign(largura * altura * 3, 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW linha = saida->pixels.data() + std::size_t{cinfo.output_scanline} * largura * 3;
        jpeg_read_scanlines(&cinfo, &linha, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

}  // namespace

std::optional<ImagemRgb> decodificarJpeg(const std::uint8_t* dados, std::size_t tamanho,
                                         std::string* erro) {
    if (dados == nullptr || tamanho == 0) {
        if (erro) *erro = "no picture data";
        return std::nullopt;
    }
    ImagemRgb imagem;
    char mensagem[JMSG_LENGTH_MAX] = {};
    if (!decodificar(dados, tamanho, &imagem, mensagem, sizeof mensagem)) {
        if (erro) *erro = mensagem;
        return std::nullopt;
    }
    return imagem;
}
