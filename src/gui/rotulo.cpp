#include "rotulo.h"

#include <QFontMetrics>
#include <QLabel>
#include <QStringList>
#include <algorithm>

void autoDimensionar(QLabel& rotulo) {
    // The width of the widest line and the height of all lines (an empty caption keeps the
    // height of one line, as an auto-sized label does).
    const QFontMetrics medidas(rotulo.font());
    const QStringList linhas = rotulo.text().split(QLatin1Char('\n'));
    int largura = 0;
    for (const QString& linha : linhas)
        largura = std::max(largura, medidas.horizontalAdvance(linha));
    rotulo.resize(largura, medidas.height() * static_cast<int>(linhas.size()));
}

void ajustarRotulo(QLabel& rotulo, int largura) {
    autoDimensionar(rotulo);
    const int x0 = rotulo.x();
    const QString reticencias = QStringLiteral("...");
    QString t = rotulo.text() + reticencias;
    if (rotulo.width() > largura) {
        while (rotulo.width() > largura && t != reticencias) {
            t = t.left(t.size() - 4) + reticencias;
            rotulo.setText(t);
            autoDimensionar(rotulo);
        }
        rotulo.move(x0 + (largura - rotulo.width()) / 2, rotulo.y());
    } else {
        rotulo.resize(largura, rotulo.height());
        rotulo.move(x0, rotulo.y());
    }
}
