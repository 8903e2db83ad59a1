#pragma once
// TformSplash: the picture shown while the windows are built. Borderless, 250 x 250, centred on
// the screen, in the program's blue, with the current language's splash picture filling it.

#include <QWidget>

class QLabel;

class TformSplash : public QWidget {
public:
    static constexpr int kLado = 250;

    explicit TformSplash(QWidget* parent = nullptr);

    // Shows the window and paints it at once.
    void mostrar();

    QLabel* imgEntrada() const { return imgEntrada_; }

private:
    QLabel* imgEntrada_;
};
