#pragma once
// Starting other programs for the user: the desktop's volume mixer and the web browser. Both go
// through one replaceable launcher, so tests can see what would have been started. A launch
// result is only reported, never shown: the callers ignore it, as a program the desktop refuses
// to start has already told the user why, if anything.

#include <memory>
#include <string>
#include <vector>

class Lancador {
public:
    virtual ~Lancador() = default;
    // Starts `programa` detached with its arguments. False when it could not be started.
    virtual bool executar(const std::string& programa, const std::vector<std::string>& argumentos);
    // Opens a path or an address (Windows-1252, passed as given) in the desktop's default web
    // browser. False when the desktop refused.
    virtual bool abrirNoNavegador(const std::string& texto);
    // Opens a local file, named by its path as the file system spells it (UTF-8), in the
    // desktop's default web browser. False when the desktop refused.
    virtual bool abrirArquivoNoNavegador(const std::string& caminho);
};

// The launcher in use.
Lancador& lancador();
// Replaces the launcher (null restores the desktop's) and returns the previous replacement.
std::unique_ptr<Lancador> setLancador(std::unique_ptr<Lancador> novo);

// The desktop's volume mixer, opened on its recording devices: the program and its
// arguments; the program is named as the search path finds it, and empty when the desktop has
// none.
struct ProgramaMixer {
    std::string programa;
    std::vector<std::string> argumentos;
};
ProgramaMixer localizarMixer();
