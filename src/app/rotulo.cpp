#include "rotulo.h"

#include <QFontMetrics>
#include <QLabel>

#include "codepage.h"

QString textoTela(const std::string& texto) {
    QString s = QString::fromStdString(cp1252::toUtf8(texto));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

void autoDimensionar(QLabel& rotulo) {
    const QFontMetrics medidas(rotulo.font());
    const QString texto = rotulo.text();
    // An empty caption keeps the height of one line, as an auto-sized label does.
    const QRect caixa = medidas.boundingRect(QRect(0, 0, 0, 0), Qt::AlignLeft | Qt::TextExpandTabs,
                                             texto.isEmpty() ? QStringLiteral(" ") : texto);
    const int largura = texto.isEmpty() ? 0 : caixa.width();
    rotulo.resize(largura, caixa.height());
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
