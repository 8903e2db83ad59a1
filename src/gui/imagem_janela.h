#pragma once
// Pictures stored with the windows (the skin's Qt resource, ":/skin/<window>/<name>.png").

#include <QPixmap>

// The picture `nome` of window `janela` ("fmAssistente", "imgBtnFechar"); a null picture when
// the skin does not have it, which leaves its control empty.
QPixmap imagemJanela(const char* janela, const char* nome);

// Starts decoding every picture of window `janela` on a worker thread, so that a window built
// later (the main window, while the splash shows) finds its pictures ready instead of decoding
// them on the way to showing itself. imagemJanela hands each picture decoded ahead out once,
// waiting for the worker when it has not finished; a picture asked for again is decoded anew.
// Calling it again for a window whose pictures are pending or unclaimed does nothing.
void anteciparImagensJanela(const char* janela);
