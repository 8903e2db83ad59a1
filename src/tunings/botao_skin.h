#pragma once
// A button of the skin: a picture control showing its normal picture, the pressed one while any
// mouse button is down on it, and calling its action on a left click. Its pictures belong to
// the window, which may decode them when it shows and let them go when it closes.

#include <QPixmap>
#include <QRect>
#include <functional>

class QWidget;
class TImage;

struct FigurasBotao {
    QPixmap normal, pressionada;
};

// The control, owned by `pai`; `figuras` must last as long as it (the window holds both). It
// shows no picture until mostrarFiguras.
TImage* criarBotaoSkin(QWidget* pai, const char* nome, const QRect& lugar,
                       const FigurasBotao& figuras, std::function<void()> acao);
// The button's normal picture, as `figuras` holds it now.
void mostrarFiguras(TImage* botao, const FigurasBotao& figuras);
// The two pictures "<chave>" and "<chave>I" of the section in the current language.
FigurasBotao figurasIdioma(const char* secao, const char* chave);

// The picture of (section, key) in the current language; empty when it has none.
QPixmap imagemIdioma(const char* secao, const char* chave);
