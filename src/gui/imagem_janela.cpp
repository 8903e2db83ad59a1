#include "imagem_janela.h"

#include <QString>

QPixmap imagemJanela(const char* janela, const char* nome) {
    return QPixmap(QStringLiteral(":/skin/%1/%2.png")
                       .arg(QString::fromLatin1(janela), QString::fromLatin1(nome)));
}
