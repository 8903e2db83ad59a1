#include "texto_qt.h"

#include "codepage.h"

QString textoQt(const std::string& ansi) {
    QString texto = QString::fromStdString(cp1252::toUtf8(ansi));
    texto.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return texto;
}
