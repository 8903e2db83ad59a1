#pragma once
// A scratch folder for one test, removed with everything in it when the test ends.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class PastaTemporaria {
public:
    PastaTemporaria() {
        std::string modelo =
            (std::filesystem::temp_directory_path() / "tessarin-i18n-XXXXXX").string();
        if (::mkdtemp(modelo.data()) == nullptr) std::abort();
        caminho_ = modelo;
    }
    ~PastaTemporaria() {
        std::error_code erro;
        std::filesystem::remove_all(caminho_, erro);
    }
    PastaTemporaria(const PastaTemporaria&) = delete;
    PastaTemporaria& operator=(const PastaTemporaria&) = delete;

    const std::string& caminho() const { return caminho_; }
    std::string arquivo(const std::string& nome) const { return caminho_ + "/" + nome; }

    void escrever(const std::string& nome, const std::string& conteudo) const {
        std::ofstream(arquivo(nome), std::ios::binary) << conteudo;
    }
    std::string ler(const std::string& nome) const {
        std::ifstream entrada(arquivo(nome), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(entrada)),
                           std::istreambuf_iterator<char>());
    }

private:
    std::string caminho_;
};
