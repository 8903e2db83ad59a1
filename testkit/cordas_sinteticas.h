#pragma once
// Synthetic plucked strings for tests and benchmarks: a harmonic series that decays as a
// string's does (the upper partials sooner), with an exact, known pitch. Optional: an attack
// that starts sharp and relaxes to the pitch (a pick pulling the string), a weak fundamental
// (a bass string through a small loudspeaker), and the room: broadband noise, mains hum with its
// harmonics, another string ringing.

#include <cstdint>
#include <random>
#include <vector>

namespace testkit {

struct Pluck {
    double hz = 82.4069;         // the pitch the note settles at
    double segundos = 2.5;       // how long it rings
    double amplitude = 0.5;      // peak of the first cycle, full scale 1
    int harmonicos = 8;
    double decaimento = 1.5;     // time constant of the fundamental's decay, seconds
    double glideCents = 0.0;     // the attack's excess pitch, relaxing exponentially...
    double glideTau = 0.05;      // ...with this time constant (gone within about 150 ms)
    bool fundamentalFraca = false;  // the fundamental 12 dB below the second partial
};

// The note at `taxa` Hz, starting at sample 0 with the stroke.
std::vector<float> pluck(const Pluck& p, int taxa, std::mt19937& aleatorio);

// Adds `b` to `a` from sample `inicio` of `a` on, times `ganho` (a grows as needed).
void misturar(std::vector<float>& a, const std::vector<float>& b, std::size_t inicio,
              double ganho = 1.0);

// The root mean square of the samples from `inicio`, `n` of them (all when n is 0).
double rms(const std::vector<float>& x, std::size_t inicio = 0, std::size_t n = 0);

// Room conditions, each added to a note whose rms is `nivel`:
// white noise `snrDb` below it;
std::vector<float> ruido(std::size_t n, double nivel, double snrDb, std::mt19937& aleatorio);
// mains hum at `redeHz` (50 or 60) with its harmonics 2 to 7, `dbAbaixo` below it;
std::vector<float> zumbido(std::size_t n, int taxa, double nivel, double dbAbaixo, double redeHz);

// MIDI note n's equal-tempered frequency, A4 = 440 Hz.
double hzNota(int nota);

}  // namespace testkit
