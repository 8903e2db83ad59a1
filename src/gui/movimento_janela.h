#pragma once
// Moving a borderless window by dragging its background, as if its caption were dragged.
//
// The window manager is asked to run the move itself (QWindow::startSystemMove). Where it cannot
// (no window manager, a platform without interactive moves), the window follows the mouse here
// until the button is released, so dragging works everywhere.

#include <QObject>
#include <QPoint>
#include <QPointer>

class QWidget;

class MovimentoJanela : public QObject {
public:
    explicit MovimentoJanela(QObject* parent = nullptr) : QObject(parent) {}

    // Starts moving the window of `origem`, on whose area the left button was just pressed at
    // the screen position `posGlobal`. Other buttons call nothing here (the callers check).
    void iniciar(QWidget* origem, QPoint posGlobal);

    // Whether the window currently follows the mouse from here.
    bool ativo() const { return !origem_.isNull(); }

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    void terminar();

    QPointer<QWidget> origem_;
    QPoint deslocamento_;  // mouse position minus window position when the drag began
};
