#pragma once
// Message boxes: every message the program shows goes through mostrarMensagem, a box with one OK
// button. Tests replace the way it is shown to read what would have appeared without blocking.

#include <functional>
#include <string>

// Texts are Windows-1252.
using MostradorMensagem = std::function<void(const std::string& texto, const std::string& titulo)>;

// Shows the text in a modal box with the caption and a single OK button.
void mostrarMensagem(const std::string& texto, const std::string& titulo);

// Replaces the way messages are shown (an empty function restores the message box) and returns
// the previous one.
MostradorMensagem setMostradorMensagem(MostradorMensagem mostrador);
