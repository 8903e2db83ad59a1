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
}  // namespace

void capturarBytes(const std::string& bytes) {
    static int serie = 0;
    ++serie;
    const std::string bruto = pasta().arquivo("captura" + std::to_string(serie) + ".raw");
    const std::string conf = pasta().arquivo("asound" + std::to_string(serie) + ".conf");
    pasta().escrever("captura" + std::to_string(serie) + ".raw", bytes);
    pasta().escrever("asound" + std::to_string(serie) + ".conf",
                     "pcm.!default { type file slave.pcm \"null\" file \"/dev/null\" infile \"" +
                         bruto + "\" format \"raw\" }\n");
    const std::string caminho = "/usr/share/alsa/alsa.conf:" + conf;
    ::setenv("ALSA_CONFIG_PATH", caminho.c_str(), 1);
    snd_config_update_free_global();
}

void capturarConstante(std::uint8_t valor) {
    capturarBytes(std::string(4096, static_cast<char>(valor)));
}
