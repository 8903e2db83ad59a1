#pragma once
// Encodes pictures as baseline JPEG files with libjpeg: full-resolution colour (no chroma
// subsampling, so small coloured text stays crisp). libjpeg errors become exceptions.

#include <QImage>
#include <string>

std::string encodeJpeg(const QImage& picture, int quality);
