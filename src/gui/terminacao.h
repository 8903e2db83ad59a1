#pragma once
// Asking the application to end: the message loop ends at its next turn (at once when it starts
// later), and code that runs before the loop can see that the end was asked for and stop.

// Marks the application as ending and, when a Qt application object exists, queues its quit.
void solicitarTerminacao();

// Whether solicitarTerminacao was called in this process.
bool terminacaoSolicitada();

// Forgets an earlier request (for tests that run several start-ups in one process).
void cancelarTerminacao();
