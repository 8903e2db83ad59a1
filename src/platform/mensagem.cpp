#include "mensagem.h"

#include <cstdio>
#include <utility>

#include "codepage.h"

namespace {
MostradorMensagem& substituto() {
    static MostradorMensagem mostrador;
    return mostrador;
}

MostradorMensagem& caixaPadrao() {
    static MostradorMensagem caixa;
    return caixa;
}
}  // namespace

void mostrarMensagem(const std::string& texto, const std::string& titulo) {
    if (substituto()) {
        substituto()(texto, titulo);
    } else if (caixaPadrao()) {
        caixaPadrao()(texto, titulo);
    } else {
        // No window system yet (or at all): the message still reaches the user.
        std::fprintf(stderr, "%s: %s\n", cp1252::toUtf8(titulo).c_str(),
                     cp1252::toUtf8(texto).c_str());
    }
}

MostradorMensagem setMostradorMensagem(MostradorMensagem mostrador) {
    return std::exchange(substituto(), std::move(mostrador));
}

void setCaixaMensagemPadrao(MostradorMensagem caixa) {
    caixaPadrao() = std::move(caixa);
}
