// tessarin: the tuner.

#include "aplicacao.h"
#include "inicializacao.h"

int main(int argc, char** argv) {
    TAplicacao aplicacao(argc, argv);
    return executarAplicacao(aplicacao);
}
