#pragma once
// Recorded instrument notes for tests and benchmarks: a General MIDI SoundFont's instrument
// rendered offline by FluidSynth (no audio driver, reverb and chorus off), mono at `taxa` Hz.

#include <string>
#include <vector>

namespace testkit {

struct NotaGravada {
    int programa = 24;    // General MIDI program, bank 0
    int nota = 40;        // MIDI key
    double cents = 0.0;   // bent this far from the key (pitch wheel, 2 semitones of range)
    double segundos = 2.0;  // held; the key is then released
    int velocidade = 100;
};

// Renders the notes one after another, each starting when the previous one is released (its
// release cut off), after `silencioAntes` seconds of silence and with `silencioDepois` after the
// last; peaks scaled to `pico`. Empty when the SoundFont cannot be loaded.
std::vector<float> renderizar(const std::string& soundFont, const std::vector<NotaGravada>& notas,
                              int taxa, double silencioAntes, double silencioDepois,
                              double pico = 0.4);

}  // namespace testkit
