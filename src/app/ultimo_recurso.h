#pragma once
// The texts of the last-resort error box: the box start-up shows for an error that nothing else
// handled, before the program ends. Qt-free, so the exact wording is testable on its own.

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

// An error of the program's own family, with its class name and message. Without a language the
// message starts with the fixed English text and the caption is the product title. The version
// is left out when empty.
MensagemErro mensagemErroPrograma(const std::string& nomeClasse, const std::string& mensagem,
                                  const std::optional<TextosErroIdioma>& idioma,
                                  const std::string& versao);

// Anything else that was thrown: fixed English text, the product title, and the version when
// there is one. The language is not consulted.
MensagemErro mensagemErroDesconhecido(const std::string& versao);
