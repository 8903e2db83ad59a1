#pragma once
// EspectroFundo: what the band holds while no note sounds: a fan, the room, mains hum and its
// harmonics, another string still ringing. While the fine reading has no note it transforms
// the latest frame's worth of samples, under the same window as a frame, every kPassoS, and
// keeps a running mean of each bin's magnitude (about a second long, and quick to come down: a
// string still ringing when the reading started fades out of it), scaled as a frame's
// magnitude is. A note's partial is told from the background by standing well above what the
// background holds at the partial's own frequency: a partial that sinks to a hum line, or that
// the reading followed onto one, is no longer the note.
//
// Prepared once; updating allocates nothing.

#include <cstdint>
#include <memory>
#include <vector>

#include "anel_amostras.h"

class RealFft;

class EspectroFundo {
public:
    static constexpr double kPassoS = 0.1;
    static constexpr double kPeso = 0.1;          // of each new spectrum in the running mean...
    static constexpr double kPesoDescendo = 0.5;  // ...and of one below it

    EspectroFundo();
    ~EspectroFundo();

    // `taxa`: the analysis rate; `maxComprimento`: the longest frame.
    void preparar(int taxa, int maxComprimento);
    // The frame's window (its length and coefficients) and the gain that makes a frame's
    // magnitude an amplitude; forgets what was measured.
    void configurar(const std::vector<double>& janela, int comprimento, double ganho);
    void limpar() { medidas_ = 0; }

    // Measures the `comprimento` samples of `anel` that end at sample `fim`.
    void medir(const AnelAmostras& anel, std::int64_t fim);
    bool medido() const { return medidas_ > 0; }
    // The background's magnitude at `hz` (the greater of the two bins around it); 0 before the
    // first measurement.
    double magnitude(double hz) const;

private:
    int taxa_ = 0;
    int tamanho_ = 0;
    int comprimento_ = 0;
    double ganho_ = 1.0;
    std::vector<double> janela_;
    std::unique_ptr<RealFft> fft_;
    std::vector<double> entrada_;
    std::vector<double> media_;
    int medidas_ = 0;
};
