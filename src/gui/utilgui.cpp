#include "utilgui.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "codepage.h"

namespace {
void caixaDeMensagem(const std::string& texto, const std::string& titulo) {
    const QString t = QString::fromStdString(cp1252::toUtf8(texto));
    const QString c = QString::fromStdString(cp1252::toUtf8(titulo));
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        // No window system (any more): the message still reaches the user.
        std::fprintf(stderr, "%s: %s\n", c.toLocal8Bit().constData(), t.toLocal8Bit().constData());
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, c, t, QMessageBox::Ok);
    box.exec();
}
}  // namespace

void instalarCaixaMensagem() {
    setCaixaMensagemPadrao(caixaDeMensagem);
}
