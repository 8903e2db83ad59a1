#pragma once
// The tests' own pitch reading, independent of the library's: the Hann-windowed spectrum of a
// long stretch of sound, scanned in steps of a quarter of its resolution around the expected
// pitch, with the peak placed between the scanned points by a parabola through the logarithms
// of the three highest, twice (the second time at a sixteenth).

#include <cmath>
#include <cstddef>
#include <vector>

namespace tonepitch {

constexpr double kPi = 3.14159265358979323846;

inline double equalTempered(int key) {
    return 440.0 * std::pow(2.0, (key - 69) / 12.0);
}

// Magnitude of the windowed stretch x[from, to) at `frequency` (rate in Hz).
inline double magnitude(const std::vector<double>& x, long from, long to, double frequency,
                        double rate) {
    const double w = 2 * kPi * frequency / rate;
    const long n = to - from;
    // A rotating phasor instead of a sine and cosine per sample.
    double c = 1.0, s = 0.0, re = 0.0, im = 0.0;
    const double dc = std::cos(w), ds = std::sin(w);
    for (long i = 0; i < n; ++i) {
        const double window = 0.5 - 0.5 * std::cos(2 * kPi * i / (n - 1));
        re += x[from + i] * window * c;
        im += x[from + i] * window * s;
        const double nc = c * dc - s * ds;
        s = s * dc + c * ds;
        c = nc;
    }
    return std::hypot(re, im);
}

// Cents from `expected` of the strongest component within ±100 cents of it in x[from, to).
inline double centsFrom(const std::vector<double>& x, long from, long to, double expected,
                        double rate) {
    auto at = [&](double f) { return magnitude(x, from, to, f, rate); };
    const double resolution = rate / static_cast<double>(to - from);
    double step = resolution / 4;
    double best = -1.0, peak = expected;
    for (double f = expected * std::pow(2.0, -100.0 / 1200);
         f <= expected * std::pow(2.0, 100.0 / 1200); f += step) {
        const double m = at(f);
        if (m > best) {
            best = m;
            peak = f;
        }
    }
    for (int round = 0; round < 2; ++round) {
        const double a = std::log(at(peak - step)), b = std::log(at(peak)),
                     d = std::log(at(peak + step));
        peak += step * 0.5 * (a - d) / (a - 2 * b + d);
        step /= 4;
    }
    return 1200 * std::log2(peak / expected);
}

}  // namespace tonepitch
