#pragma once
// RastreadorFase: measures one partial's frequency from the advance of its phase, as a strobe
// tuner does.
//
// Each frame is the partial's complex amplitude at one instant: the samples around that instant
// under a Blackman window, turned down by a reference frequency near the partial's. Because the
// window is symmetric and the reference turn is zero at the frame's centre, the frame's angle
// is the partial's own phase at that centre, whatever the small difference between the
// reference and the partial, and however the partial's amplitude changes across the frame (a
// decaying string): a real, even weighting cannot shift a phase. The window is long enough
// (kPeriodos periods of the string's lowest frequency) that its side lobes keep the other
// partials, the partial's mirror image and a hum well away at least 58 dB down; what leaks
// from them nearer by turns at their distance in frequency and averages out below.
//
// The phase of successive frames, unwrapped by predicting each from the previous one at the
// current frequency, grows linearly with time at the partial's frequency: the frequency is the
// slope of a weighted least-squares line through them. The weights are the frames' power (a
// fading partial counts less; none more than twice the latest) times an exponential forgetting
// of time constant tau: the line
// follows a string whose pitch moves, and tau sets how steady against how quick the figure is.
// The fit is unbiased for a steady partial.
//
// Prepared once; nothing allocates after preparar.

#include <complex>
#include <cstdint>
#include <limits>
#include <vector>

#include "anel_amostras.h"

class RastreadorFase {
public:
    static constexpr double kPeriodos = 3.0;
    static constexpr int kGrupos = 8;
    static constexpr double kEsquecimentoMinimo = 2.5e-3;  // e^-6
    static constexpr double kPotenciaMaxima = 2.0;  // a frame's weight, at most, over the latest's

    // `taxa`: the analysis rate; `menorHz`: the lowest frequency any string may be set to
    // (sizes the tables); `maxQuadros`: how many frames are kept.
    void preparar(int taxa, double menorHz, int maxQuadros);
    // The frame length for a partial that may be as low as `menorHz`; forgets the frames.
    void configurar(double menorHz);
    void limpar();

    int comprimento() const { return comprimento_; }
    int passo() const { return passo_; }
    const std::vector<double>& janela() const { return janela_; }
    double ganho() const { return ganho_; }

    // The frame centred on sample `centro` of `anel` (which must hold the whole frame), at the
    // reference frequency `hz`; its magnitude is the amplitude of a sine at `hz`.
    std::complex<double> quadro(const AnelAmostras& anel, std::int64_t centro, double hz) const;
    // Adds a frame; its phase is unwrapped against the previous frame advanced at `hzPrevisto`.
    void acrescentar(std::int64_t centro, std::complex<double> valor, double hzPrevisto);

    int quadros() const { return quadros_; }
    // Magnitude of the latest frame (0 with none).
    double amplitudeRecente() const;
    std::int64_t centroRecente() const;

    struct Ajuste {
        bool valido = false;
        double hz = 0.0;
        double incertezaHz = 0.0;  // one standard deviation
        double duracao = 0.0;      // seconds between the first and the latest frame counted
    };
    // The line through the frames, forgetting with time constant `tau` seconds back from the
    // latest frame (frames older than 6 tau are left out); with `curva`, a parabola instead,
    // whose slope at the latest frame is the frequency of a pitch moving steadily (more
    // uncertain than the line's, but without its lag). The uncertainty is the jackknife's,
    // leaving out one of up to kGrupos stretches of frames, each at least half a frame long, at a
    // time; infinite with fewer than three.
    // Frames centred before `desde` are left out.
    Ajuste ajustar(double tau, bool curva = false,
                   std::int64_t desde = std::numeric_limits<std::int64_t>::min()) const;

private:
    struct Quadro {
        std::int64_t centro;
        double fase;  // cycles, unwrapped
        double potencia;
    };
    const Quadro& quadro(int idade) const;  // 0 = the latest

    int taxa_ = 0;
    int maxComprimento_ = 0;
    int comprimento_ = 0;
    int passo_ = 1;
    std::vector<double> janela_;
    double ganho_ = 1.0;  // makes a frame's magnitude the partial's amplitude
    std::vector<Quadro> anel_;
    mutable std::vector<double> pesos_;  // scratch of ajustar, one per frame
    int proximo_ = 0;
    int quadros_ = 0;
};
