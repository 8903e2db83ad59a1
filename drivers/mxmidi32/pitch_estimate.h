#pragma once
// The fundamental frequency of a steady tone: what the synthesiser really plays for a key.

#include <cstddef>

namespace mxmidi {

// The frequency in Hz of the strongest component within a semitone of `expected` in the `count`
// samples (at `rate` Hz): the top of its peak in the spectrum of the samples under one Hann
// window, to a small fraction of a cent; 0 when nothing sounds there. The coarse place comes
// from a fast transform, the exact one from a golden-section search of the spectrum.
double estimateFundamental(const float* samples, std::size_t count, double rate, double expected);

}  // namespace mxmidi
