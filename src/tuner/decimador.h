#pragma once
// Decimador: brings captured samples down to the fine reading's analysis rate. It keeps every
// `fator`-th sample of the input after a linear-phase low-pass filter (a windowed sinc, cut off
// at 0.4 of the output rate, so that nothing above the output's Nyquist frequency folds onto
// the strings' partials). With a factor of 1 the samples pass unchanged.
//
// Prepared once; processing allocates nothing.

#include <vector>

class Decimador {
public:
    // The factor (1 .. 16); the filter state starts silent.
    void preparar(int fator);
    int fator() const { return fator_; }
    // Samples of delay the filter adds, in output samples.
    double atraso() const { return static_cast<double>(coeficientes_.size() - 1) / 2.0 / fator_; }

    // Filters `n` input samples and writes the output samples they complete into `saida`, which
    // must have room for n / fator + 1 of them; returns how many were written.
    int processar(const float* entrada, int n, float* saida);

private:
    int fator_ = 1;
    std::vector<float> coeficientes_;
    // The latest inputs twice over (a doubled ring), so that each output reads one contiguous
    // stretch.
    std::vector<float> atraso_;
    int posicao_ = 0;
    int fase_ = 0;
};
