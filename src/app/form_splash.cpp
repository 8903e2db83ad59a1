#include "form_splash.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QScreen>

#include "gerenciador_idiomas.h"

TformSplash::TformSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), imgEntrada_(new QLabel(this)) {
    setObjectName(QStringLiteral("formSplash"));
    setFixedSize(kLado, kLado);
    QPalette paleta = palette();
    paleta.setColor(QPalette::Window, QColor(33, 100, 173));
    setPalette(paleta);
    setAutoFillBackground(true);

    imgEntrada_->setObjectName(QStringLiteral("imgEntrada"));
    imgEntrada_->setGeometry(0, 0, kLado, kLado);
    imgEntrada_->setAlignment(Qt::AlignCenter);
    if (auto imagem = GerenciadorIdiomas::getInstancia()->getImagem("fmEntrada", "imgEntrada"))
        imgEntrada_->setPixmap(QPixmap::fromImage(*imagem));

    if (const QScreen* tela = QGuiApplication::primaryScreen())
        move(tela->availableGeometry().center() - rect().center());
}

void TformSplash::mostrar() {
    show();
    raise();
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
