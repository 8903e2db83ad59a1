#include "escritor_afinacoes.h"

#include <cerrno>
#include <cstring>

#include "atomic_file.h"
#include "errors.h"
#include "user_folders.h"

namespace {

// The bytes Windows-1252 assigns no character.
bool indefinido(unsigned char c) {
    return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

std::string escapar(const std::string& texto) {
    std::string saida;
    for (const char ch : texto) {
        const auto c = static_cast<unsigned char>(ch);
        switch (ch) {
            case '<': saida += "&lt;"; break;
            case '>': saida += "&gt;"; break;
            case '&': saida += "&amp;"; break;
            case '"': saida += "&quot;"; break;
            case '\'': saida += "&apos;"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    saida += ' ';
                } else if (indefinido(c)) {
                    saida += "&#" + std::to_string(c) + ";";
                } else {
                    saida += ch;
                }
        }
    }
    return saida;
}

}  // namespace

std::string documentoAfinacoes(const std::vector<Afinacao>& afinacoes) {
    std::string d =
        "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n"
        "<!-- Tunings of one's own, made in Tessarin's tuning chooser. frequenciasMIDI holds one\n"
        "     MIDI note per string, first string first (60 is middle C, 69 is A). -->\n"
        "<Afinacoes>\n";
    for (const Afinacao& a : afinacoes) {
        d += "  <Afinacao>\n";
        d += "    <instrumento>" + escapar(a.getInstrumento()) + "</instrumento>\n";
        d += "    <tipoAfinacao>" + escapar(a.getTipoAfinacao()) + "</tipoAfinacao>\n";
        d += "    <numeroCordas>" + std::to_string(a.getNumeroCordas()) + "</numeroCordas>\n";
        d += "    <frequenciasMIDI>\n";
        for (int nota : a.getNotasMIDI())
            d += "      <corda>" + std::to_string(nota) + "</corda>\n";
        d += "    </frequenciasMIDI>\n";
        d += "  </Afinacao>\n";
    }
    d += "</Afinacoes>\n";
    return d;
}

void gravarAfinacoes(const std::string& caminho, const std::vector<Afinacao>& afinacoes) {
    const std::size_t barra = caminho.rfind('/');
    if (barra != std::string::npos && barra > 0 && !makeFolders(caminho.substr(0, barra)))
        throw EFCreateError("Cannot create the folder of " + caminho);
    if (replaceFile(caminho, documentoAfinacoes(afinacoes)) != ReplaceResult::replaced)
        throw EFCreateError("Cannot write " + caminho + ": " + std::strerror(errno));
}
