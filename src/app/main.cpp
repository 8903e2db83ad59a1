// tessarin: the tuner.

#include <malloc.h>

#include "aplicacao.h"
#include "inicializacao.h"

int main(int argc, char** argv) {
    // The program's threads (capture, the synthesiser's, the start-up workers) allocate little
    // and seldom: two heaps serve them, instead of one more per thread, each keeping what it
    // once held.
    mallopt(M_ARENA_MAX, 2);
    TAplicacao aplicacao(argc, argv);
    return executarAplicacao(aplicacao);
}
