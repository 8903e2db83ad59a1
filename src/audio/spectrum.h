#pragma once
// TSpectrum: read access to a spectrum, as the pitch estimator needs it: the magnitude of each
// bin for the peak search, and the complex bins and the transform's length for the fine reading
// between bins.

#include <complex>

class TSpectrum {
public:
    virtual ~TSpectrum() = default;
    // Magnitude of bin i (non-negative); 0.0 for a bin the spectrum does not have.
    virtual double Magnitude(int i) const = 0;
    // Bin i as a complex value, scaled as Magnitude is (its modulus is Magnitude(i)); 0 for a
    // bin the spectrum does not have.
    virtual std::complex<double> Bin(int i) const = 0;
    // Number of samples transformed: bin i stands for i × sample rate / Length() Hz.
    virtual int Length() const = 0;
};
