#pragma once
// The pictures stored with the windows (no text in them): compiled into the program as a Qt
// resource, one folder per window.

#include <QImage>

// The picture `nome` of window `janela`, or a null image when the program carries none.
QImage imagemJanela(const char* janela, const char* nome);
