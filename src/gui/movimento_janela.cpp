#include "movimento_janela.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

void MovimentoJanela::iniciar(QWidget* origem, QPoint posGlobal) {
    terminar();
    QWidget* janela = origem->window();
    // The press gave the control an implicit mouse grab; the window manager takes the pointer
    // over only once that grab is gone.
    if (QWidget* comCaptura = QWidget::mouseGrabber()) comCaptura->releaseMouse();
    if (QWindow* nativa = janela->windowHandle(); nativa != nullptr && nativa->startSystemMove())
        return;
    origem_ = origem;
    deslocamento_ = posGlobal - janela->pos();
    origem->installEventFilter(this);
}

bool MovimentoJanela::eventFilter(QObject* objeto, QEvent* evento) {
    if (objeto != origem_) return false;
    switch (evento->type()) {
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(evento);
            if (!(mouse->buttons() & Qt::LeftButton)) {
                terminar();
                return false;
            }
            origem_->window()->move(mouse->globalPosition().toPoint() - deslocamento_);
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(evento)->button() == Qt::LeftButton) terminar();
            return false;
        case QEvent::Hide:
            terminar();
            return false;
        default:
            return false;
    }
}

void MovimentoJanela::terminar() {
    if (origem_) origem_->removeEventFilter(this);
    origem_ = nullptr;
}
