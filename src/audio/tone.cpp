#include "tone.h"

#include <cmath>

std::vector<std::uint8_t> sineTone8(double hz, int rate, int frames, double amplitude,
                                    long long start) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(frames));
    const double w = 2.0 * M_PI * hz / rate;
    for (int i = 0; i < frames; ++i) {
        const double v = 128.0 + amplitude * std::sin(w * static_cast<double>(start + i));
        out[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, v))));
    }
    return out;
}
