#pragma once
// Decoding complete in-memory JPEG files into 24-bit RGB pixels with libjpeg.
//
// libjpeg reports errors by calling an exit routine; ours jumps back out of the library instead,
// so a picture it cannot decode is a failed decode and never ends the process. Its warnings
// (a file cut short in its pixel data, corrupt entropy data) are damage it mends: the picture
// decodes, grey where data is missing.
// Pictures wider or taller than kLadoMaximoJpeg are refused from their header, before any pixel
// memory is allocated.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr int kLadoMaximoJpeg = 4096;

// Pixels top row first, three bytes (red, green, blue) per pixel, rows without padding.
struct ImagemRgb {
    int largura = 0;
    int altura = 0;
    std::vector<std::uint8_t> pixels;
};

// The decoded picture, or nothing when the data is no JPEG file that libjpeg can decode (or one
// of an unacceptable size). When `erro` is given it receives the reason of a failure.
std::optional<ImagemRgb> decodificarJpeg(const std::uint8_t* dados, std::size_t tamanho,
                                         std::string* erro = nullptr);
