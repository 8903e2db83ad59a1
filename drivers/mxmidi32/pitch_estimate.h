#pragma once
// The fundamental frequency of a steady tone: what the synthesiser really plays for a key.

#include <cstddef>

namespace mxmidi {

// The frequency in Hz of the strongest component within `spanCents` of `expected` (a semitone
// unless told) in the `count` samples (at `rate` Hz): the top of its peak in the spectrum of the
// samples under one Hann window, to a small fraction of a cent; 0 when nothing sounds there.
// A narrower span, when the pitch is known to be close, costs less.
double estimateFundamental(const float* samples, std::size_t count, double rate, double expected,
                           double spanCents = 100.0);

}  // namespace mxmidi
