#pragma once
// Pictures stored with the windows (the skin's Qt resource, ":/skin/<window>/<name>.png").

#include <QPixmap>

// The picture `nome` of window `janela` ("fmAssistente", "imgBtnFechar"); a null picture when
// the skin does not have it, which leaves its control empty.
QPixmap imagemJanela(const char* janela, const char* nome);
