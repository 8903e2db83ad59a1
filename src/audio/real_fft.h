#pragma once
// RealFft: the forward discrete Fourier transform of n real samples, n a power of two,
//   X[k] = sum over t of x[t] * exp(-2*pi*i*k*t/n), unscaled.
// The n real samples are read as n/2 complex points z[t] = x[2t] + i x[2t+1] (their memory
// layout already is), transformed by an in-place radix-4 decimation-in-frequency transform of
// that half length (one radix-2 pass when the number of levels is odd), and unpacked into the
// n/2 + 1 distinct bins; the other bins are their complex conjugates. All trigonometry happens
// in the constructor; transform() allocates nothing.

#include <cstddef>
#include <memory>
#include <vector>

class RealFft {
public:
    explicit RealFft(int n);
    ~RealFft();
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

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

    struct Twiddle;  // one complex factor, laid out for the butterfly arithmetic

private:
    void complexTransform();
    void unpack();

    int n_;
    int half_;                             // m = n / 2 complex points (1 when n is 1)
    int bits_;                             // log2(m)
    std::unique_ptr<int[]> bitReverse_;    // m entries
    std::unique_ptr<double[]> work_;       // m complex points, interleaved
    std::vector<int> passQuarter_;         // quarter length q of each radix-4 pass, longest first
    std::unique_ptr<Twiddle[]> twiddles_;  // per pass, per j < q: w^j, w^2j, w^3j
    std::size_t twiddleCount_ = 0;
    std::unique_ptr<double[]> unpackRe_, unpackIm_;  // m / 2 entries: exp(-2*pi*i*k/n)
    std::unique_ptr<double[]> re_, im_;              // m + 1 entries: the spectrum
};
