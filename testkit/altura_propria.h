#pragma once
// The pitch a recorded note really has, for judging a reading against it: a slow, precise
// estimator, independent of the tuner's own. Around each instant asked for, half a second of the
// note under a Hann window; the fundamental's peak is found in a transform zero-padded to twice
// its length and placed by maximising the window's Fourier sum directly (golden-section
// search), which is exact for a steady partial. A fundamental more than 20 dB below the second
// partial is taken from that partial (halved) instead.

#include <vector>

namespace testkit {

struct AlturaPropria {
    double t;   // seconds
    double hz;  // 0 where nothing could be measured
};

// The pitch of the note in `x` (at `taxa` Hz) near `alvoHz` (within 3 % of it) at the instants
// de, de + passo, ... up to ate, each from the half second centred on it but inside [de, ate].
std::vector<AlturaPropria> alturaPropria(const std::vector<float>& x, int taxa, double alvoHz,
                                         double de, double ate, double passo);

// The frequency of the strongest peak within 3 % of `hz` in samples [inicio, inicio + n) of `x`,
// under a Hann window; 0 when there is none. `amplitude`, when given, receives its amplitude.
double picoPreciso(const std::vector<float>& x, int taxa, std::size_t inicio, std::size_t n,
                   double hz, double* amplitude = nullptr);

}  // namespace testkit
