#pragma once
// The texts of the last-resort error box: the box start-up shows for an error that nothing else
// handled, before the program ends. Qt-free, so the exact wording is testable on its own.

#include <exception>
#include <optional>
#include <string>

struct MensagemErro {
    std::string texto;
    std::string titulo;
};

// The texts of the current language that the box uses, when a language is current.
struct TextosErroIdioma {
    std::string erroGeral;      // geral / erroGeral: the start of the message
    std::string nomeAplicacao;  // geral / nomeAplicacao: the caption
};

// The fixed English start of the message when no language can be consulted.
std::string inicioMensagemSemIdioma();

// An error with its class name and message: one of the program's own family, or any other
// std::exception. Without a language the message starts with the fixed English text and the
// caption is the product title. The version is left out when empty.
MensagemErro mensagemErroPrograma(const std::string& nomeClasse, const std::string& mensagem,
                                  const std::optional<TextosErroIdioma>& idioma,
                                  const std::string& versao);

// The class name of an exception as the program's source writes it ("std::bad_alloc").
std::string nomeClasseExcecao(const std::exception& erro);

// Anything else that was thrown: fixed English text, the product title, and the version when
// there is one. The language is not consulted.
MensagemErro mensagemErroDesconhecido(const std::string& versao);
