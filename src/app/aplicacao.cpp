#include "aplicacao.h"

#include "errors.h"
#include "utilgui.h"

namespace {

std::string& tituloAplicacao() {
    static std::string titulo;
    return titulo;
}

}  // namespace

TAplicacao::TAplicacao(int& argc, char** argv) : QApplication(argc, argv) {
    instalarCaixaMensagem();
}

void TAplicacao::setTitulo(const std::string& titulo) {
    tituloAplicacao() = titulo;
}

const std::string& TAplicacao::titulo() {
    return tituloAplicacao();
}

bool TAplicacao::notify(QObject* receiver, QEvent* event) {
    // No error may cross Qt's own frames: each one ends here, with its message shown.
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        mostrarExcecao(std::current_exception());
    }
    return false;
}

void TAplicacao::mostrarExcecao(std::exception_ptr erro) {
    const std::string& titulo = tituloAplicacao();
    try {
        std::rethrow_exception(erro);
    } catch (const Exception& e) {
        mostrarMensagem(e.message(), titulo);
    } catch (const std::exception& e) {
        mostrarMensagem(e.what(), titulo);
    } catch (...) {
        mostrarMensagem("Unknown error.", titulo);
    }
}
