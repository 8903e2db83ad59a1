#pragma once
// TAplicacao: the application object. Besides running the message loop it is the default
// handler of errors raised by event handlers while the loop runs: the error's own message shows
// in a box captioned with the application title, and the program goes on.

#include <QApplication>
#include <exception>

class TAplicacao : public QApplication {
public:
    TAplicacao(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the error in flight (an event handler's) as the default handler does.
    static void mostrarExcecao(std::exception_ptr erro);
};
