#pragma once
// What the windows expect of their pictures: every picture's size as the window layouts fix it,
// and small pixel measures the tests share.

#include <QImage>
#include <QSize>
#include <string>
#include <vector>

struct ImagemEsperada {
    std::string nome;  // resource path, or "section/key" of a language picture
    QSize tamanho;
};

// Pictures stored with the windows (":/skin/..."), sizes from the window layouts.
const std::vector<ImagemEsperada>& imagensJanelas();

// Picture keys of every language ("section/key") with their sizes.
const std::vector<ImagemEsperada>& imagensIdioma();

// Mean luminance (0..255) of a picture.
double luminanciaMedia(const QImage& imagem);

// Whether the pixel is exactly the key colour (black).
bool ehChave(QRgb pixel);
