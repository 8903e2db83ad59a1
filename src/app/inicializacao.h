#pragma once
// The program's start-up and lifecycle: the user's language, the screen check, the splash, the
// windows in their order, the message loop, and the last-resort handler around all of it.

#include <exception>
#include <functional>

#include "form_principal.h"

class TAplicacao;

// What the start-up can be given besides the program's own defaults (for tests).
struct OpcoesInicializacao {
    // The screen's logical resolution in dots per inch; empty: the primary screen's.
    std::function<double()> resolucaoTela;
    // How long the splash stays, in milliseconds.
    int esperaSplashMs = 1000;
    TformPrincipal::Opcoes principal;
    // Called with the main window once it is shown, before the message loop runs.
    std::function<void(TformPrincipal&)> aoMostrar;
};

// Whether the screen's logical resolution lets the windows show as drawn: 96 dots per inch or
// less (97 or more is refused).
bool resolucaoAceita(double pontosPorPolegada);

// Reports an error that nothing else handled with the last-resort box.
void tratarUltimoRecurso(std::exception_ptr erro);

// The start-up sequence and the message loop. Answers the process's exit status: 0 after a
// normal run or when the user chose no language, 1 when the program could not run (no
// language installed, a screen set above 96 dots per inch, an unreadable tuning file, or an
// error that reached the last-resort handler).
int executarAplicacao(TAplicacao& aplicacao, const OpcoesInicializacao& opcoes = {});
