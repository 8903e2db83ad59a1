#include "imagens_janela.h"

#include <QString>

QImage imagemJanela(const char* janela, const char* nome) {
    return QImage(QStringLiteral(":/skin/%1/%2.png")
                      .arg(QLatin1String(janela), QLatin1String(nome)));
}
