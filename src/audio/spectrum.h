#pragma once
// TSpectrum: read access to the magnitudes of a spectrum, as the pitch estimator needs it.

class TSpectrum {
public:
    virtual ~TSpectrum() = default;
    // Magnitude of bin i (non-negative); 0.0 for a bin the spectrum does not have.
    virtual double Magnitude(int i) const = 0;
};
