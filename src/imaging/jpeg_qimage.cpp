#include "jpeg_qimage.h"

#include <cstring>

QImage paraQImage(const ImagemRgb& imagem) {
    QImage q(imagem.largura, imagem.altura, QImage::Format_RGB888);
    if (q.isNull()) return q;
    const std::size_t bytesLinha = static_cast<std::size_t>(imagem.largura) * 3;
    for (int y = 0; y < imagem.altura; ++y)
        std::memcpy(q.scanLine(y), imagem.pixels.data() + static_cast<std::size_t>(y) * bytesLinha,
                    bytesLinha);
    return q;
}

std::unique_ptr<QImage> decodificarJpegQImage(const std::uint8_t* dados, std::size_t tamanho) {
    const auto imagem = decodificarJpeg(dados, tamanho);
    if (!imagem) return nullptr;
    auto q = std::make_unique<QImage>(paraQImage(*imagem));
    if (q->isNull()) return nullptr;
    return q;
}
