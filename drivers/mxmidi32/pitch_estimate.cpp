#include "pitch_estimate.h"

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace mxmidi {
namespace {

using Complex = std::complex<double>;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// In-place radix-2 transform; `x.size()` is a power of two.
void transform(std::vector<Complex>& x) {
    const std::size_t n = x.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(x[i], x[j]);
    }
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const Complex step = std::polar(1.0, -kTwoPi / static_cast<double>(length));
        for (std::size_t start = 0; start < n; start += length) {
            Complex w = 1.0;
            for (std::size_t k = 0; k < length / 2; ++k) {
                const Complex a = x[start + k];
                const Complex b = x[start + k + length / 2] * w;
                x[start + k] = a + b;
                x[start + k + length / 2] = a - b;
                w *= step;
            }
        }
    }
}

double hann(std::size_t i, std::size_t n) {
    return 0.5 - 0.5 * std::cos(kTwoPi * static_cast<double>(i) / static_cast<double>(n - 1));
}

// Magnitude at `frequency` of the already windowed samples.
double magnitudeAt(const std::vector<double>& windowed, double rate, double frequency) {
    const Complex turn = std::polar(1.0, -kTwoPi * frequency / rate);
    Complex phasor = 1.0, sum = 0.0;
    for (double v : windowed) {
        sum += phasor * v;
        phasor *= turn;
    }
    return std::abs(sum);
}

}  // namespace

double estimateFundamental(const float* samples, std::size_t count, double rate, double expected) {
    if (count < 1024 || expected <= 0.0 || expected >= rate / 2) return 0.0;
    std::size_t size = 1;
    while (size * 2 <= count) size *= 2;

    // Coarse: the strongest bin within a semitone of the expected frequency.
    std::vector<Complex> spectrum(size);
    double energy = 0.0;
    for (std::size_t i = 0; i < size; ++i) {
        spectrum[i] = hann(i, size) * samples[i];
        energy += std::norm(spectrum[i]);
    }
    if (energy <= 0.0) return 0.0;
    transform(spectrum);
    const double binWidth = rate / static_cast<double>(size);
    const auto low = static_cast<std::size_t>(std::floor(expected / 1.0595 / binWidth));
    const auto high = static_cast<std::size_t>(std::ceil(expected * 1.0595 / binWidth));
    std::size_t peak = 0;
    double peakPower = 0.0;
    for (std::size_t k = std::max<std::size_t>(low, 1); k <= high && k < size / 2; ++k) {
        if (std::norm(spectrum[k]) > peakPower) {
            peakPower = std::norm(spectrum[k]);
            peak = k;
        }
    }
    // Silence or only noise there: a tone's bin holds a fair share of the window's energy
    // (Parseval: total spectral power is size * energy).
    if (peak == 0 || peakPower < 1e-6 * static_cast<double>(size) * energy) return 0.0;

    // Fine: the top of the component's peak in the spectrum of all the samples under one Hann
    // window, found by golden-section search within a bin either side of the coarse place (the
    // peak's main lobe is wider than that). For a tone whose pitch moves a little this is the
    // pitch the whole stretch is heard at, its louder parts weighing more.
    std::vector<double> windowed(count);
    for (std::size_t i = 0; i < count; ++i) windowed[i] = hann(i, count) * samples[i];
    const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
    double a = (static_cast<double>(peak) - 1.0) * binWidth;
    double b = (static_cast<double>(peak) + 1.0) * binWidth;
    double c = b - ratio * (b - a), d = a + ratio * (b - a);
    double fc = magnitudeAt(windowed, rate, c), fd = magnitudeAt(windowed, rate, d);
    while (b - a > expected * 1e-7) {  // well below a thousandth of a cent
        if (fc > fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - ratio * (b - a);
            fc = magnitudeAt(windowed, rate, c);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + ratio * (b - a);
            fd = magnitudeAt(windowed, rate, d);
        }
    }
    const double frequency = (a + b) / 2;
    return frequency;
}

}  // namespace mxmidi
