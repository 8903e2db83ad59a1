#pragma once
// Small JPEG files made on the spot for tests: a picture of known colours, encoded with libjpeg.

#include <cstdint>
#include <vector>

// A baseline JPEG of `largura` x `altura` pixels: the left half red, the right half blue.
std::vector<std::uint8_t> jpegAmostra(int largura, int altura, bool progressivo = false);
