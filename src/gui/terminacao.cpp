#include "terminacao.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace {
bool solicitada = false;
}

void solicitarTerminacao() {
    solicitada = true;
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}

bool terminacaoSolicitada() {
    return solicitada;
}

void cancelarTerminacao() {
    solicitada = false;
}
