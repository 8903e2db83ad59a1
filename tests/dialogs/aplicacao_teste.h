#pragma once
// What the window tests share: one QApplication for the process, running the event loop for a
// while or until something happened, and a scratch folder.

#include <QApplication>
#include <functional>
#include <string>

// The process's application object (offscreen platform), created on first use.
QApplication& aplicacaoTeste();

// Runs the event loop until `feito` is true or `limiteMs` passed; false on timeout.
bool rodarAte(const std::function<bool()>& feito, int limiteMs = 10000);
// Runs the event loop for `ms` milliseconds.
void rodarPor(int ms);

// A double click as the window system delivers it: press, release, double-click press, release.
void cliqueDuplo(QWidget* alvo, QPoint pos);

// A folder removed with its contents when the object goes.
class PastaTemporaria {
public:
    PastaTemporaria();
    ~PastaTemporaria();
    PastaTemporaria(const PastaTemporaria&) = delete;
    PastaTemporaria& operator=(const PastaTemporaria&) = delete;

    const std::string& caminho() const { return caminho_; }
    std::string arquivo(const std::string& nome) const { return caminho_ + "/" + nome; }
    // Writes `conteudo` as the whole file `nome` (folders below are created).
    void escrever(const std::string& nome, const std::string& conteudo) const;
    std::string ler(const std::string& nome) const;

private:
    std::string caminho_;
};
