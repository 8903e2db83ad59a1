#pragma once
// Generated test tones in the capture format: unsigned 8-bit samples centred on 128.

#include <cstdint>
#include <vector>

// `frames` samples of a sine of `hz` at `rate` Hz with the given peak amplitude (at most 127),
// starting at phase 0 of sample `start`.
std::vector<std::uint8_t> sineTone8(double hz, int rate, int frames, double amplitude = 100.0,
                                    long long start = 0);
