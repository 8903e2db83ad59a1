// tessarin-idiomas: builds "<Name>.idm" and "<Name>.dat" from the language source "<Name>.lang".
//
// Usage: tessarin-idiomas --fonte SOURCE.lang --saida FOLDER [--chaves KEYS.txt]
//                         [--figuras FOLDER]... [--exigir-figuras] [--depfile FILE]
// Picture paths in the source are looked up in each --figuras folder in turn (absolute paths as
// they are). The outputs are replaced only once both are complete.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "pacote_idioma.h"

namespace fs = std::filesystem;

namespace {

std::optional<std::string> lerTudo(const fs::path& caminho) {
    std::ifstream entrada(caminho, std::ios::binary);
    if (!entrada) return std::nullopt;
    std::string conteudo((std::istreambuf_iterator<char>(entrada)),
                         std::istreambuf_iterator<char>());
    if (entrada.bad()) return std::nullopt;
    return conteudo;
}

void escreverSubstituindo(const fs::path& destino, const char* dados, std::size_t tamanho) {
    const fs::path temporario = destino.string() + ".tmp";
    {
        std::ofstream saida(temporario, std::ios::binary | std::ios::trunc);
        saida.write(dados, static_cast<std::streamsize>(tamanho));
        saida.close();
        if (!saida) throw ErroFonte("cannot write " + temporario.string());
    }
    fs::rename(temporario, destino);
}

// A path for a Makefile-style dependency file: blanks and '#' escaped.
std::string paraDepfile(const std::string& caminho) {
    std::string r;
    for (char c : caminho) {
        if (c == ' ' || c == '#') r += '\\';
        if (c == '$') r += '$';
        r += c;
    }
    return r;
}

int uso() {
    std::cerr << "usage: tessarin-idiomas --fonte SOURCE.lang --saida FOLDER [--chaves KEYS]"
                 " [--figuras FOLDER]... [--exigir-figuras] [--depfile FILE]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string fonteArg, saidaArg, chavesArg, depfileArg;
    std::vector<fs::path> pastasFiguras;
    bool exigirFiguras = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto valor = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
        if (a == "--fonte")
            fonteArg = valor();
        else if (a == "--saida")
            saidaArg = valor();
        else if (a == "--chaves")
            chavesArg = valor();
        else if (a == "--figuras")
            pastasFiguras.emplace_back(valor());
        else if (a == "--exigir-figuras")
            exigirFiguras = true;
        else if (a == "--depfile")
            depfileArg = valor();
        else
            return uso();
    }
    if (fonteArg.empty() || saidaArg.empty()) return uso();

    try {
        const fs::path fonte = fs::absolute(fonteArg);
        const auto texto = lerTudo(fonte);
        if (!texto) throw ErroFonte("cannot read " + fonte.string());
        const FonteIdioma idioma = lerFonteIdioma(*texto, fonte.string());
        std::vector<std::string> dependencias = {fonte.string()};
        if (!chavesArg.empty()) {
            const fs::path chaves = fs::absolute(chavesArg);
            const auto lista = lerTudo(chaves);
            if (!lista) throw ErroFonte("cannot read " + chaves.string());
            verificarFonte(idioma, lerListaChaves(*lista, chaves.string()), exigirFiguras,
                           fonte.string());
            dependencias.push_back(chaves.string());
        }
        const LeitorFigura lerFigura =
            [&](const std::string& caminho,
                std::string& resolvido) -> std::optional<std::vector<std::uint8_t>> {
            std::vector<fs::path> candidatos;
            if (fs::path(caminho).is_absolute())
                candidatos.emplace_back(caminho);
            else
                for (const fs::path& pasta : pastasFiguras) candidatos.push_back(pasta / caminho);
            for (const fs::path& c : candidatos) {
                std::error_code erro;
                if (!fs::is_regular_file(c, erro)) continue;
                const auto bytes = lerTudo(c);
                if (!bytes) continue;
                resolvido = fs::absolute(c).lexically_normal().string();
                return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
            }
            return std::nullopt;
        };
        const PacoteIdioma pacote = montarPacote(idioma, lerFigura, fonte.string());

        const fs::path saida = fs::absolute(saidaArg);
        fs::create_directories(saida);
        const std::string base = fonte.stem().string();
        const fs::path idm = saida / (base + ".idm");
        escreverSubstituindo(saida / (base + ".dat"),
                             reinterpret_cast<const char*>(pacote.dat.data()), pacote.dat.size());
        escreverSubstituindo(idm, pacote.idm.data(), pacote.idm.size());

        if (!depfileArg.empty()) {
            dependencias.insert(dependencias.end(), pacote.figuras.begin(), pacote.figuras.end());
            std::string dep = paraDepfile(idm.string()) + ":";
            for (const std::string& d : dependencias) dep += " \\\n  " + paraDepfile(d);
            dep += "\n";
            escreverSubstituindo(fs::absolute(depfileArg), dep.data(), dep.size());
        }
    } catch (const ErroFonte& e) {
        std::cerr << "tessarin-idiomas: " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "tessarin-idiomas: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
