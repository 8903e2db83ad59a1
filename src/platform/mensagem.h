#pragma once
// Messages to the user: every message the program shows goes through mostrarMensagem, a box with
// one OK button. The box itself belongs to the window toolkit, which installs it when the
// application starts (instalarCaixaMensagem); until then, and in programs without windows, the
// message goes to standard error. Tests replace the way it is shown to read what would have
// appeared without blocking.

#include <functional>
#include <string>

// Texts are Windows-1252.
using MostradorMensagem = std::function<void(const std::string& texto, const std::string& titulo)>;

// Shows the text with the caption: through the replacement when one is set, else through the
// installed box, else as a line on standard error.
void mostrarMensagem(const std::string& texto, const std::string& titulo);

// Replaces the way messages are shown (an empty function restores the default) and returns the
// previous one.
MostradorMensagem setMostradorMensagem(MostradorMensagem mostrador);

// Sets the default way of showing messages (the toolkit's message box).
void setCaixaMensagemPadrao(MostradorMensagem caixa);
