#include "real_fft.h"

#include <cmath>

namespace {
constexpr double kTwoPi = 6.283185307179586;

int log2Exact(int v) {
    int bits = 0;
    while ((1 << bits) < v) ++bits;
    return bits;
}
}  // namespace

RealFft::RealFft(int n) : n_(n), half_(n >= 2 ? n / 2 : 1), bits_(log2Exact(half_)) {
    const int m = half_;
    bitReverse_ = std::make_unique<int[]>(m);
    for (int k = 0; k < m; ++k) {
        int r = 0;
        for (int b = 0; b < bits_; ++b) r |= ((k >> b) & 1) << (bits_ - 1 - b);
        bitReverse_[k] = r;
    }
    re_ = std::make_unique<double[]>(m + 1);
    im_ = std::make_unique<double[]>(m + 1);

    // Stage with half-width h uses exp(-2*pi*i*j/(2h)) for j < h, stored from offset h - 1.
    const int stageCount = m > 1 ? m - 1 : 1;
    stageRe_ = std::make_unique<double[]>(stageCount);
    stageIm_ = std::make_unique<double[]>(stageCount);
    for (int h = 1; h < m; h *= 2) {
        for (int j = 0; j < h; ++j) {
            const double angle = j * kTwoPi / (2.0 * h);
            stageRe_[h - 1 + j] = std::cos(angle);
            stageIm_[h - 1 + j] = -std::sin(angle);
        }
    }

    const int unpackCount = m / 2 > 0 ? m / 2 : 1;
    unpackRe_ = std::make_unique<double[]>(unpackCount);
    unpackIm_ = std::make_unique<double[]>(unpackCount);
    for (int k = 0; k < m / 2; ++k) {
        const double angle = k * kTwoPi / n_;
        unpackRe_[k] = std::cos(angle);
        unpackIm_[k] = -std::sin(angle);
    }
}

std::size_t RealFft::memoryBytes() const {
    const std::size_t m = static_cast<std::size_t>(half_);
    const std::size_t stageCount = m > 1 ? m - 1 : 1;
    const std::size_t unpackCount = m / 2 > 0 ? m / 2 : 1;
    return sizeof(*this) + m * sizeof(int) + 2 * (m + 1) * sizeof(double) +
           2 * stageCount * sizeof(double) + 2 * unpackCount * sizeof(double);
}

void RealFft::transform(const double* samples) {
    if (n_ == 1) {
        re_[0] = samples[0];
        im_[0] = 0.0;
        re_[1] = samples[0];
        im_[1] = 0.0;
        return;
    }
    // Pack: z[t] = x[2t] + i x[2t+1], stored in bit-reversed order.
    const int* rev = bitReverse_.get();
    double* re = re_.get();
    double* im = im_.get();
    for (int t = 0; t < half_; ++t) {
        re[rev[t]] = samples[2 * t];
        im[rev[t]] = samples[2 * t + 1];
    }
    complexTransform();
    unpack();
}

void RealFft::complexTransform() {
    const int m = half_;
    double* __restrict re = re_.get();
    double* __restrict im = im_.get();

    // First two stages as one radix-4 pass: twiddles 1 and -i need no multiplication.
    int h = 1;
    if (m >= 4) {
        for (int k = 0; k < m; k += 4) {
            const double r0 = re[k] + re[k + 1], i0 = im[k] + im[k + 1];
            const double r1 = re[k] - re[k + 1], i1 = im[k] - im[k + 1];
            const double r2 = re[k + 2] + re[k + 3], i2 = im[k + 2] + im[k + 3];
            const double r3 = re[k + 2] - re[k + 3], i3 = im[k + 2] - im[k + 3];
            re[k] = r0 + r2;
            im[k] = i0 + i2;
            re[k + 2] = r0 - r2;
            im[k + 2] = i0 - i2;
            // (r3 + i i3) * (-i) = i3 - i r3
            re[k + 1] = r1 + i3;
            im[k + 1] = i1 - r3;
            re[k + 3] = r1 - i3;
            im[k + 3] = i1 + r3;
        }
        h = 4;
    }
    for (; h < m; h *= 2) {
        const double* __restrict wr = stageRe_.get() + (h - 1);
        const double* __restrict wi = stageIm_.get() + (h - 1);
        for (int k = 0; k < m; k += 2 * h) {
            double* __restrict ar = re + k;
            double* __restrict ai = im + k;
            double* __restrict br = re + k + h;
            double* __restrict bi = im + k + h;
            for (int j = 0; j < h; ++j) {
                const double tr = br[j] * wr[j] - bi[j] * wi[j];
                const double ti = br[j] * wi[j] + bi[j] * wr[j];
                br[j] = ar[j] - tr;
                bi[j] = ai[j] - ti;
                ar[j] += tr;
                ai[j] += ti;
            }
        }
    }
}

void RealFft::unpack() {
    // With Z the half-length transform of the packed points:
    //   E[k] = (Z[k] + conj Z[m-k]) / 2,  O[k] = (Z[k] - conj Z[m-k]) / 2i,
    //   X[k] = E[k] + W^k O[k],  X[m-k] = conj(E[k] - W^k O[k]),  W = exp(-2*pi*i/n).
    const int m = half_;
    double* re = re_.get();
    double* im = im_.get();
    const double z0r = re[0], z0i = im[0];
    re[0] = z0r + z0i;
    im[0] = 0.0;
    re[m] = z0r - z0i;
    im[m] = 0.0;
    for (int k = 1; k < m - k; ++k) {
        const int j = m - k;
        const double a = re[k], b = im[k], c = re[j], d = im[j];
        const double er = 0.5 * (a + c), ei = 0.5 * (b - d);
        const double orr = 0.5 * (b + d), oi = -0.5 * (a - c);
        const double wr = unpackRe_[k], wi = unpackIm_[k];
        const double tr = wr * orr - wi * oi;
        const double ti = wr * oi + wi * orr;
        re[k] = er + tr;
        im[k] = ei + ti;
        re[j] = er - tr;
        im[j] = -(ei - ti);
    }
    if (m >= 2) im[m / 2] = -im[m / 2];  // X[m/2] = conj Z[m/2]
}
