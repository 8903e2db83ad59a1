#pragma once
// TAplicacao: the application object. Besides running the message loop it is the default
// handler of errors raised by event handlers while the loop runs: the error's own message shows
// in a box captioned with the application title, and the program goes on.
//
// The application title (Windows-1252) is kept here rather than as Qt's application display
// name: the desktop would append that name to every window's caption, so the main window would
// read "Tessarin — Tessarin - Tuner".

#include <QApplication>
#include <exception>
#include <string>

class TAplicacao : public QApplication {
public:
    TAplicacao(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the error in flight (an event handler's) as the default handler does.
    static void mostrarExcecao(std::exception_ptr erro);

    // The application title; empty until the main window sets it.
    static void setTitulo(const std::string& titulo);
    static const std::string& titulo();
};
