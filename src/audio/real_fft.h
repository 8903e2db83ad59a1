#pragma once
// RealFft: the forward discrete Fourier transform of n real samples, n a power of two,
//   X[k] = sum over t of x[t] * exp(-2*pi*i*k*t/n), unscaled.
// It packs the n real samples into n/2 complex points, runs an iterative radix-2 transform of
// that half length on split real/imaginary arrays, and unpacks the n/2 + 1 distinct bins (the
// others are their complex conjugates). All trigonometry happens once, in the constructor;
// transform() allocates nothing.

#include <cstddef>
#include <memory>

class RealFft {
public:
    explicit RealFft(int n);

    int size() const { return n_; }
    // Transforms n samples.
    void transform(const double* samples);

    // Bin k of the latest transform, 0 <= k < n.
    double real(int k) const { return k <= half_ ? re_[k] : re_[n_ - k]; }
    double imag(int k) const { return k <= half_ ? im_[k] : -im_[n_ - k]; }
    double magnitudeSquared(int k) const {
        const int j = k <= half_ ? k : n_ - k;
        return re_[j] * re_[j] + im_[j] * im_[j];
    }

    // Bytes held by the tables and work arrays.
    std::size_t memoryBytes() const;

private:
    void complexTransform();
    void unpack();

    int n_;
    int half_;  // m = n / 2 complex points (1 when n is 1)
    int bits_;  // log2(m)
    std::unique_ptr<int[]> bitReverse_;         // m entries
    std::unique_ptr<double[]> re_, im_;         // m + 1 entries: work array, then the spectrum
    std::unique_ptr<double[]> stageRe_, stageIm_;  // m - 1 entries: per-stage twiddles, back to back
    std::unique_ptr<double[]> unpackRe_, unpackIm_;  // m / 2 entries: exp(-2*pi*i*k/n)
};
