#pragma once
// The fine reading benchmark's material: plucked notes on the strings of a guitar, a bass and a
// violin, each heard from silence and struck again 10 to 15 cents away while it rings. Each item
// knows, for each of its two strokes, when it was struck and what pitch the note has (exact for
// synthetic plucks, measured for recorded ones).

#include <string>
#include <vector>

#include "altura_propria.h"

namespace bench {

constexpr int kTaxa = 44100;

struct Toque {
    double inicio = 0.0;  // seconds into the item: the stroke
    double fim = 0.0;     // until when it is judged (the next stroke, or the note's end)
    double centsExatos = 0.0;  // the pitch from the target, for synthetic notes
    std::vector<testkit::AlturaPropria> altura;  // measured, for recorded ones (empty otherwise)
    // The note's own pitch in cents from `alvoHz` at `t` seconds into the item.
    double centsEm(double t, double alvoHz) const;
    // How far the own pitch moves over the note (max - min, cents).
    double variacao(double alvoHz) const;
};

struct Item {
    std::string nome;      // "E2 plain", "FluidR3_GM nylon A2", ...
    std::string grupo;     // "synthetic", "recorded", "room"
    std::string condicao;  // room condition, or empty
    int afinacao = 0;      // tuning index in the benchmark's tuning file
    int corda = 0;         // string index in it
    double alvoHz = 0.0;
    std::vector<float> x;  // mono, kTaxa
    Toque toques[2];
};

// The benchmark's tuning file: 0 standard guitar, 1 four-string bass, 2 violin.
extern const char* const kAfinacoes;

// Every item: synthetic plucks (each string of guitar and bass, with and without a gliding
// attack, the bass also with a weak fundamental), recorded notes of each SoundFont found (nylon
// and steel guitar, acoustic and electric bass, violin), and the room conditions (noise, hum at
// 50 and 60 Hz, a quiet string, another string ringing) on a few of both. `soundFonts` receives
// the names of those used.
std::vector<Item> material(std::vector<std::string>& soundFonts);

}  // namespace bench
