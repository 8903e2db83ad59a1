#include "pitch_estimate.h"

#include <algorithm>
#include <bit>
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

// Calls `f(i, w)` with the Hann window's weight w for each of `n` samples, the cosine taken by
// rotation rather than one call per sample.
template <typename F>
void forHann(std::size_t n, F&& f) {
    const Complex turn = std::polar(1.0, kTwoPi / static_cast<double>(n - 1));
    Complex phasor = 1.0;
    for (std::size_t i = 0; i < n; ++i) {
        f(i, 0.5 - 0.5 * phasor.real());
        phasor *= turn;
        if ((i & 4095) == 4095) phasor /= std::abs(phasor);  // keeps it on the unit circle
    }
}

// The spectrum of the windowed samples near one frequency, at the cost of a few operations per
// block of samples instead of per sample. The samples are shifted down by the centre frequency
// once; within a block, the remaining small turn e^(-i d u) (u the distance from the block's
// middle) is taken from its Taylor series up to the third power: the first term left out is
// below 0.1^4 / 24 (4e-6) of the magnitude for every offset `d` up to the one the blocks were
// sized for.
class NearSpectrum {
public:
    NearSpectrum(const float* samples, std::size_t count, double centre, double maxOffset)
        : count_(count) {
        // |d * u| <= 0.1 within a block: the first term left out is below 0.1^4 / 24.
        block_ = static_cast<std::size_t>(std::clamp(0.2 / std::max(maxOffset, 1e-12), 1.0, 256.0));
        const std::size_t blocks = (count + block_ - 1) / block_;
        sums_.assign(blocks, {});
        const Complex turn = std::polar(1.0, -centre);
        const Complex hannTurn = std::polar(1.0, kTwoPi / static_cast<double>(count - 1));
        Complex phasor = 1.0, hann = 1.0;
        for (std::size_t b = 0; b < blocks; ++b) {
            const std::size_t first = b * block_, last = std::min(first + block_, count);
            const double mid = middle(b);
            Sums s;
            for (std::size_t i = first; i < last; ++i) {
                const double v = (0.5 - 0.5 * hann.real()) * samples[i];
                energy_ += v * v;
                const Complex z = phasor * v;
                const double u = static_cast<double>(i) - mid;
                s.a += z;
                s.b += u * z;
                s.c += (u * u) * z;
                s.d += (u * u * u) * z;
                phasor *= turn;
                hann *= hannTurn;
            }
            sums_[b] = s;
            // Both turning phasors back onto the unit circle now and then.
            if ((b & 63) == 63) {
                phasor /= std::abs(phasor);
                hann /= std::abs(hann);
            }
        }
    }

    // |spectrum| at the centre frequency plus `offset` (radians per sample).
    double magnitude(double offset) const {
        const Complex step = std::polar(1.0, -offset * static_cast<double>(block_));
        Complex phasor = std::polar(1.0, -offset * middle(0));
        const double d2 = offset * offset / 2.0, d3 = offset * offset * offset / 6.0;
        Complex sum = 0.0;
        for (const Sums& s : sums_) {
            const Complex inner(
                s.a.real() + offset * s.b.imag() - d2 * s.c.real() - d3 * s.d.imag(),
                s.a.imag() - offset * s.b.real() - d2 * s.c.imag() + d3 * s.d.real());
            sum += phasor * inner;
            phasor *= step;
        }
        return std::abs(sum);
    }

    double energy() const { return energy_; }
    std::size_t blocks() const { return sums_.size(); }

private:
    struct Sums {
        Complex a, b, c, d;  // sums of z, u z, u^2 z, u^3 z
    };
    double middle(std::size_t b) const {
        const std::size_t first = b * block_;
        const std::size_t last = std::min(first + block_, count_) - 1;
        return 0.5 * static_cast<double>(first + last);
    }

    std::size_t count_;
    std::size_t block_ = 1;
    std::vector<Sums> sums_;
    double energy_ = 0.0;
};

// The strongest bin within [low, high] Hz of one fast transform of the first power-of-two
// samples: its frequency, and whether it stands out of the noise. 0 when nothing does.
double coarsePeakByTransform(const float* samples, std::size_t count, double rate, double low,
                             double high) {
    std::size_t size = 1;
    while (size * 2 <= count) size *= 2;
    std::vector<Complex> spectrum(size);
    double energy = 0.0;
    forHann(size, [&](std::size_t i, double w) {
        spectrum[i] = w * samples[i];
        energy += std::norm(spectrum[i]);
    });
    if (energy <= 0.0) return 0.0;
    transform(spectrum);
    const double binWidth = rate / static_cast<double>(size);
    const auto first = static_cast<std::size_t>(std::floor(low / binWidth));
    const auto last = static_cast<std::size_t>(std::ceil(high / binWidth));
    std::size_t peak = 0;
    double peakPower = 0.0;
    for (std::size_t k = std::max<std::size_t>(first, 1); k <= last && k < size / 2; ++k) {
        if (std::norm(spectrum[k]) > peakPower) {
            peakPower = std::norm(spectrum[k]);
            peak = k;
        }
    }
    // Silence or only noise there: a tone's bin holds a fair share of the window's energy
    // (Parseval: total spectral power is size * energy).
    if (peak == 0 || peakPower < 1e-6 * static_cast<double>(size) * energy) return 0.0;
    return static_cast<double>(peak) * binWidth;
}

}  // namespace

double estimateFundamental(const float* samples, std::size_t count, double rate, double expected,
                           double spanCents) {
    if (count < 1024 || expected <= 0.0 || expected >= rate / 2 || !(spanCents > 0.0)) return 0.0;
    const double spread = std::exp2(std::min(spanCents, 1200.0) / 1200.0);
    const double low = expected / spread, high = std::min(expected * spread, rate / 2);
    const double toRadians = kTwoPi / rate;
    const double bin = rate / static_cast<double>(count);  // of the whole window, in Hz

    // The coarse place: on a grid of half bins over the span when that costs less than one fast
    // transform (a low note, or a narrow span), else the transform's strongest bin. The fine
    // search then looks within a bin either side of it (the peak's main lobe is two bins wide
    // either side of its top).
    const double centre = 0.5 * (low + high);
    const std::size_t gridPoints = static_cast<std::size_t>((high - low) / (0.5 * bin)) + 1;
    const double gridOffset = (0.5 * (high - low) + bin) * toRadians;
    const double blockCost = std::max(1.0, static_cast<double>(count) * gridOffset / 0.2);
    const double gridCost = static_cast<double>(gridPoints) * blockCost;
    const double transformCost =
        6.0 * static_cast<double>(count) * std::log2(static_cast<double>(count));

    double peak = 0.0;
    const bool onGrid = gridCost <= transformCost;
    double around = centre;
    if (!onGrid) {
        peak = coarsePeakByTransform(samples, count, rate, low, high);
        if (peak <= 0.0) return 0.0;
        around = peak;
    }
    const double width = onGrid ? bin : rate / static_cast<double>(std::bit_floor(count));
    const double reach = onGrid ? gridOffset : 2.0 * width * toRadians;
    const NearSpectrum spectrum(samples, count, around * toRadians, reach);
    if (spectrum.energy() <= 0.0) return 0.0;
    const auto at = [&](double hz) { return spectrum.magnitude((hz - around) * toRadians); };
    if (onGrid) {
        double best = 0.0;
        for (std::size_t k = 0; k < gridPoints; ++k) {
            const double hz = low + 0.5 * bin * static_cast<double>(k);
            if (const double m = at(hz); m > best) {
                best = m;
                peak = hz;
            }
        }
        // Silence or only noise there: a tone's peak holds a fair share of the window's energy
        // (Parseval: total spectral power is count * energy).
        if (best * best < 1e-6 * static_cast<double>(count) * spectrum.energy()) return 0.0;
    }

    // Fine: the top of the component's peak in the spectrum of all the samples under one Hann
    // window, found by golden-section search. For a tone whose pitch moves a little this is the
    // pitch the whole stretch is heard at, its louder parts weighing more.
    const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
    double a = std::max(peak - width, 0.0);
    double b = peak + width;
    double c = b - ratio * (b - a), d = a + ratio * (b - a);
    double fc = at(c), fd = at(d);
    while (b - a > expected * 1e-7) {  // well below a thousandth of a cent
        if (fc > fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - ratio * (b - a);
            fc = at(c);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + ratio * (b - a);
            fd = at(d);
        }
    }
    return (a + b) / 2;
}

}  // namespace mxmidi
