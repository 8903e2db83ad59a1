#include "notas_soundfont.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace testkit {

namespace {

struct Sintetizador {
    fluid_settings_t* ajustes = nullptr;
    fluid_synth_t* synth = nullptr;
    ~Sintetizador() {
        if (synth != nullptr) delete_fluid_synth(synth);
        if (ajustes != nullptr) delete_fluid_settings(ajustes);
    }
};

void tocar(fluid_synth_t* synth, std::vector<float>& saida, double segundos, int taxa) {
    const auto n = static_cast<std::size_t>(segundos * taxa);
    std::vector<float> esquerda(n), direita(n);
    std::size_t feito = 0;
    while (feito < n) {
        const int pedaco = static_cast<int>(std::min<std::size_t>(4096, n - feito));
        fluid_synth_write_float(synth, pedaco, esquerda.data() + feito, 0, 1, direita.data() + feito,
                                0, 1);
        feito += static_cast<std::size_t>(pedaco);
    }
    for (std::size_t i = 0; i < n; ++i) saida.push_back(0.5f * (esquerda[i] + direita[i]));
}

}  // namespace

std::vector<float> renderizar(const std::string& soundFont, const std::vector<NotaGravada>& notas,
                              int taxa, double silencioAntes, double silencioDepois,
                              double pico) {
    Sintetizador s;
    s.ajustes = new_fluid_settings();
    fluid_settings_setnum(s.ajustes, "synth.sample-rate", taxa);
    fluid_settings_setint(s.ajustes, "synth.reverb.active", 0);
    fluid_settings_setint(s.ajustes, "synth.chorus.active", 0);
    fluid_settings_setnum(s.ajustes, "synth.gain", 0.5);
    s.synth = new_fluid_synth(s.ajustes);
    if (s.synth == nullptr || fluid_synth_sfload(s.synth, soundFont.c_str(), 1) == FLUID_FAILED)
        return {};
    std::vector<float> saida;
    tocar(s.synth, saida, silencioAntes, taxa);
    fluid_synth_pitch_wheel_sens(s.synth, 0, 2);
    for (const NotaGravada& n : notas) {
        fluid_synth_program_change(s.synth, 0, n.programa);
        const int curva = std::clamp(static_cast<int>(std::lround(8192 + n.cents / 200.0 * 8192)), 0, 16383);
        fluid_synth_pitch_bend(s.synth, 0, curva);
        fluid_synth_noteon(s.synth, 0, n.nota, n.velocidade);
        tocar(s.synth, saida, n.segundos, taxa);
        fluid_synth_noteoff(s.synth, 0, n.nota);
        // The release is cut: the next note is the string struck again.
        fluid_synth_all_sounds_off(s.synth, 0);
    }
    tocar(s.synth, saida, silencioDepois, taxa);
    float maior = 1e-9f;
    for (float v : saida) maior = std::max(maior, std::fabs(v));
    for (float& v : saida) v = static_cast<float>(v * pico / maior);
    return saida;
}

}  // namespace testkit
