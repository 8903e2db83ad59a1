#include "versao_programa.h"

// TESSARIN_VERSAO_PROGRAMA comes from the build (the project's version); a build that does not
// give it leaves the program without a version, which the error box then leaves out.
#ifndef TESSARIN_VERSAO_PROGRAMA
#define TESSARIN_VERSAO_PROGRAMA ""
#endif

namespace {
// Kept in its own read-only section so the version can also be read from the program file with
// `objcopy --dump-section .tessarin_versao=/dev/stdout tessarin`.
[[gnu::used, gnu::section(".tessarin_versao")]] const char kVersao[] = TESSARIN_VERSAO_PROGRAMA;
}  // namespace

std::string versaoPrograma() {
    return std::string(kVersao);
}
