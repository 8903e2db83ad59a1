#pragma once
// Message boxes: the toolkit's way of showing what mostrarMensagem (mensagem.h) is given, a modal
// box with the caption and a single OK button.

#include "mensagem.h"

// Makes the message box the default way of showing messages. The application object calls it
// once it exists.
void instalarCaixaMensagem();
