#pragma once
// Decoded JPEG pictures as QImages for the picture controls.

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "jpeg_decoder.h"

// A 24-bit (RGB888) copy of the pixels.
QImage paraQImage(const ImagemRgb& imagem);

// The decoded picture, or null when the data is no sound JPEG (see decodificarJpeg).
std::unique_ptr<QImage> decodificarJpegQImage(const std::uint8_t* dados, std::size_t tamanho);
