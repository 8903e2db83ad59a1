#include "alsa_teste.h"

#include <alsa/asoundlib.h>
#include <stdlib.h>

#include <fstream>

#include "aplicacao_teste.h"

namespace {
PastaTemporaria& pasta() {
    static PastaTemporaria p;
    return p;
}

int serie = 0;
}  // namespace

void capturarConfiguracao(const std::string& texto) {
    const std::string nome = "asound" + std::to_string(++serie) + ".conf";
    pasta().escrever(nome, texto + "\n");
    const std::string caminho = "/usr/share/alsa/alsa.conf:" + pasta().arquivo(nome);
    ::setenv("ALSA_CONFIG_PATH", caminho.c_str(), 1);
    snd_config_update_free_global();
}

std::string pastaCaptura() {
    return pasta().caminho();
}

void capturarBytes(const std::string& bytes) {
    const std::string nome = "captura" + std::to_string(++serie) + ".raw";
    pasta().escrever(nome, bytes);
    capturarConfiguracao("pcm.!default { type file slave.pcm \"null\" file \"/dev/null\" infile \"" +
                         pasta().arquivo(nome) + "\" format \"raw\" }");
}

void capturarConstante(std::uint8_t valor) {
    capturarBytes(std::string(4096, static_cast<char>(valor)));
}
