#include "controle_imagem.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

TImage::TImage(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NoSystemBackground);
}

void TImage::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void TImage::setPicture(const std::unique_ptr<QImage>& picture) {
    setPicture(picture ? QPixmap::fromImage(*picture) : QPixmap());
}

void TImage::setStretch(bool value) {
    stretch_ = value;
    update();
}

void TImage::setCenter(bool value) {
    center_ = value;
    update();
}

void TImage::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) return;
    QPainter painter(this);
    if (stretch_) {
        painter.drawPixmap(rect(), picture_);
    } else if (center_) {
        const QSize tamanho = picture_.deviceIndependentSize().toSize();
        painter.drawPixmap((width() - tamanho.width()) / 2, (height() - tamanho.height()) / 2,
                           picture_);
    } else {
        painter.drawPixmap(0, 0, picture_);
    }
}

void TImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) clicando_ = true;
    if (OnMouseDown) OnMouseDown(this, event->button(), event->globalPosition().toPoint());
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
    // A click needs the left button pressed and released over the control; the handler may
    // hide or close the window, so the control is re-checked through a guard.
    const bool clique = event->button() == Qt::LeftButton && clicando_ &&
                        rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) clicando_ = false;
    QPointer<TImage> vivo(this);
    if (clique && OnClick) OnClick(this);
    if (vivo && OnMouseUp) OnMouseUp(this, event->button());
}

void TImage::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click: the double click replaces the click, and the press
    // still shows (pressed pictures) until the release.
    if (event->button() == Qt::LeftButton) {
        clicando_ = false;
        QPointer<TImage> vivo(this);
        if (OnDblClick) OnDblClick(this);
        if (!vivo) return;
    }
    if (OnMouseDown) OnMouseDown(this, event->button(), event->globalPosition().toPoint());
}
