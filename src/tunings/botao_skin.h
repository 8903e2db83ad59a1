#pragma once
// A button of the skin: a picture control showing its normal picture, the pressed one while any
// mouse button is down on it, and calling its action on a left click.

#include <QPixmap>
#include <QRect>
#include <functional>

class QWidget;
class TImage;

// The control, owned by `pai`.
TImage* criarBotaoSkin(QWidget* pai, const char* nome, const QRect& lugar, const QPixmap& normal,
                       const QPixmap& pressionado, std::function<void()> acao);

// The picture of (section, key) in the current language; empty when it has none.
QPixmap imagemIdioma(const char* secao, const char* chave);
