#include "real_fft.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// A complex factor w = wr + i wi stored as (wr, wr) and (-wi, wi): then a * w is
// a * (wr, wr) + swap(a) * (-wi, wi), two multiplications, one swap and one addition.
struct alignas(16) RealFft::Twiddle {
    double rr[2];
    double ii[2];
};

namespace {
constexpr double kTwoPi = 6.283185307179586;

RealFft::Twiddle makeTwiddle(double angle) {
    const double c = std::cos(angle), s = -std::sin(angle);
    return RealFft::Twiddle{{c, c}, {-s, s}};
}

int log2Exact(int v) {
    int bits = 0;
    while ((1 << bits) < v) ++bits;
    return bits;
}

// One complex point and the few operations the butterflies need, on SSE2 registers where the
// processor has them, otherwise on two doubles.
#if defined(__SSE2__)
using Cx = __m128d;
inline Cx load(const double* p) {
    return _mm_load_pd(p);
}
inline void store(double* p, Cx a) {
    _mm_store_pd(p, a);
}
inline Cx add(Cx a, Cx b) {
    return _mm_add_pd(a, b);
}
inline Cx sub(Cx a, Cx b) {
    return _mm_sub_pd(a, b);
}
inline Cx timesI(Cx a) {  // i * a = (-im, re)
    return _mm_xor_pd(_mm_shuffle_pd(a, a, 1), _mm_set_pd(0.0, -0.0));
}
inline Cx mul(Cx a, const RealFft::Twiddle& w) {
    return _mm_add_pd(_mm_mul_pd(a, _mm_load_pd(w.rr)),
                      _mm_mul_pd(_mm_shuffle_pd(a, a, 1), _mm_load_pd(w.ii)));
}
#else
struct Cx {
    double re, im;
};
inline Cx load(const double* p) {
    return {p[0], p[1]};
}
inline void store(double* p, Cx a) {
    p[0] = a.re, p[1] = a.im;
}
inline Cx add(Cx a, Cx b) {
    return {a.re + b.re, a.im + b.im};
}
inline Cx sub(Cx a, Cx b) {
    return {a.re - b.re, a.im - b.im};
}
inline Cx timesI(Cx a) {
    return {-a.im, a.re};
}
inline Cx mul(Cx a, const RealFft::Twiddle& w) {
    return {a.re * w.rr[0] + a.im * w.ii[0], a.im * w.rr[1] + a.re * w.ii[1]};
}
#endif
}  // namespace

RealFft::RealFft(int n) : n_(n), half_(n >= 2 ? n / 2 : 1), bits_(log2Exact(half_)) {
    const int m = half_;
    bitReverse_ = std::make_unique<int[]>(static_cast<std::size_t>(m));
    for (int k = 0; k < m; ++k) {
        int r = 0;
        for (int b = 0; b < bits_; ++b) r |= ((k >> b) & 1) << (bits_ - 1 - b);
        bitReverse_[k] = r;
    }
    work_ = std::make_unique<double[]>(2 * static_cast<std::size_t>(m));

    // Radix-4 passes from the full length down; each combines four quarters of length q.
    for (int levels = bits_, length = m; levels >= 2; levels -= 2, length /= 4) {
        passQuarter_.push_back(length / 4);
        twiddleCount_ += 3 * static_cast<std::size_t>(length / 4);
    }
    twiddles_ = std::make_unique<Twiddle[]>(twiddleCount_ > 0 ? twiddleCount_ : 1);
    std::size_t t = 0;
    for (int q : passQuarter_) {
        const double length = 4.0 * q;
        for (int j = 0; j < q; ++j)
            for (int r = 1; r <= 3; ++r) twiddles_[t++] = makeTwiddle(j * r * kTwoPi / length);
    }

    const std::size_t unpackCount = static_cast<std::size_t>(m / 2 > 0 ? m / 2 : 1);
    unpackRe_ = std::make_unique<double[]>(unpackCount);
    unpackIm_ = std::make_unique<double[]>(unpackCount);
    for (int k = 0; k < m / 2; ++k) {
        const double angle = k * kTwoPi / n_;
        unpackRe_[k] = std::cos(angle);
        unpackIm_[k] = -std::sin(angle);
    }
    re_ = std::make_unique<double[]>(static_cast<std::size_t>(m) + 1);
    im_ = std::make_unique<double[]>(static_cast<std::size_t>(m) + 1);
}

RealFft::~RealFft() = default;

std::size_t RealFft::memoryBytes() const {
    const std::size_t m = static_cast<std::size_t>(half_);
    const std::size_t unpackCount = m / 2 > 0 ? m / 2 : 1;
    return sizeof(*this) + m * sizeof(int) + 2 * m * sizeof(double) +
           passQuarter_.capacity() * sizeof(int) +
           (twiddleCount_ > 0 ? twiddleCount_ : 1) * sizeof(Twiddle) +
           2 * unpackCount * sizeof(double) + 2 * (m + 1) * sizeof(double);
}

void RealFft::transform(const double* samples) {
    if (n_ == 1) {
        re_[0] = re_[1] = samples[0];
        im_[0] = im_[1] = 0.0;
        return;
    }
    std::memcpy(work_.get(), samples, static_cast<std::size_t>(n_) * sizeof(double));
    complexTransform();
    unpack();
}

void RealFft::complexTransform() {
    const int m = half_;
    double* z = work_.get();
    const Twiddle* w = twiddles_.get();
    // Decimation in frequency: the result ends in bit-reversed order.
    for (int q : passQuarter_) {
        for (int b = 0; b < m; b += 4 * q) {
            double* p0 = z + 2 * b;
            double* p1 = p0 + 2 * q;
            double* p2 = p1 + 2 * q;
            double* p3 = p2 + 2 * q;
            for (int j = 0; j < q; ++j) {
                const Cx a0 = load(p0 + 2 * j), a1 = load(p1 + 2 * j);
                const Cx a2 = load(p2 + 2 * j), a3 = load(p3 + 2 * j);
                const Cx s0 = add(a0, a2), s1 = sub(a0, a2);
                const Cx s2 = add(a1, a3), is3 = timesI(sub(a1, a3));
                const Twiddle* wj = w + 3 * j;
                store(p0 + 2 * j, add(s0, s2));
                store(p1 + 2 * j, mul(sub(s0, s2), wj[1]));
                store(p2 + 2 * j, mul(sub(s1, is3), wj[0]));
                store(p3 + 2 * j, mul(add(s1, is3), wj[2]));
            }
        }
        w += 3 * q;
    }
    if (bits_ % 2 == 1) {
        for (int t = 0; t < m; t += 2) {
            const Cx a = load(z + 2 * t), b = load(z + 2 * t + 2);
            store(z + 2 * t, add(a, b));
            store(z + 2 * t + 2, sub(a, b));
        }
    }
}

void RealFft::unpack() {
    // With Z the half-length transform of the packed points (stored bit-reversed):
    //   E[k] = (Z[k] + conj Z[m-k]) / 2,  O[k] = (Z[k] - conj Z[m-k]) / 2i,
    //   X[k] = E[k] + W^k O[k],  X[m-k] = conj(E[k] - W^k O[k]),  W = exp(-2*pi*i/n).
    const int m = half_;
    const double* z = work_.get();
    const int* rev = bitReverse_.get();
    double* re = re_.get();
    double* im = im_.get();
    re[0] = z[0] + z[1];
    im[0] = 0.0;
    re[m] = z[0] - z[1];
    im[m] = 0.0;
    for (int k = 1; k < m - k; ++k) {
        const int j = m - k;
        const double a = z[2 * rev[k]], b = z[2 * rev[k] + 1];
        const double c = z[2 * rev[j]], d = z[2 * rev[j] + 1];
        const double er = 0.5 * (a + c), ei = 0.5 * (b - d);
        const double orr = 0.5 * (b + d), oi = -0.5 * (a - c);
        const double wr = unpackRe_[k], wi = unpackIm_[k];
        const double tr = wr * orr - wi * oi;
        const double ti = wr * oi + wi * orr;
        re[k] = er + tr;
        im[k] = ei + ti;
        re[j] = er - tr;
        im[j] = ti - ei;
    }
    if (m >= 2) {  // X[m/2] = conj Z[m/2]
        re[m / 2] = z[2 * rev[m / 2]];
        im[m / 2] = -z[2 * rev[m / 2] + 1];
    }
}
