// libFuzzer target: any bytes as a tuning file. Every tuning the reader builds must be sound.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "errors.h"
#include "xml_afinacao_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static XMLAfinacaoParser* leitor = [] {
        auto* l = new XMLAfinacaoParser();
        l->setFonteTextos([](const std::string&, const std::string& chave) { return "T" + chave; });
        return l;
    }();
    try {
        const auto afinacoes =
            leitor->lerAfinacoesDoTexto(std::string(reinterpret_cast<const char*>(data), size));
        for (const Afinacao& a : afinacoes) {
            if (a.getNumeroCordas() < 1) std::abort();
            for (int c = 0; c < a.getNumeroCordas(); ++c) {
                if (a.getNotaMIDI(c) < 0 || a.getNotaMIDI(c) > 126) std::abort();
                if (a.getNomeNota(c) != nomeNotaMIDI(a.getNotaMIDI(c))) std::abort();
            }
            (void)a.getDescricao();
        }
    } catch (const EConvertError&) {
        // a number that is not an integer: the documented failure
    }
    return 0;
}
