#pragma once
// DetectorAtaque: finds the strokes of a string in the analysis-rate samples. It follows the
// energy of the signal (above the string's lowest frequency: rumble and DC do not count) in
// blocks of about 4 ms, averaged over at least one period of the string's lowest frequency, and
// calls a stroke when that energy jumps above `kSalto` times its mean during the 100 ms before
// (but after the previous stroke had risen in full). A stroke is then not called again
// for 120 ms.
//
// Prepared once; processing allocates nothing.

#include <cstdint>
#include <vector>

class DetectorAtaque {
public:
    static constexpr double kSalto = 2.5;          // energy ratio (4 dB)
    static constexpr double kEnergiaMinima = 1e-9; // mean square, samples in [-1, 1] (-90 dB)
    static constexpr double kAntesMs = 100.0;
    static constexpr double kRefratarioMs = 120.0;

    // `taxa`: the analysis rate; `menorHz`: the lowest frequency the string may sound at.
    void preparar(int taxa, double menorHz);
    void limpar();

    // Takes `n` samples, numbered from `primeiro` on (consecutive calls continue the numbering).
    // Answers true when a stroke was called in them; its first sample is then ataque().
    bool processar(const float* amostras, int n, std::int64_t primeiro);
    std::int64_t ataque() const { return ataque_; }
    // Mean square of the signal over the latest averaging window.
    double energia() const { return energiaCurta_; }

private:
    int taxa_ = 0;
    int bloco_ = 1;       // samples per block
    int janela_ = 1;      // blocks averaged
    int antes_ = 1;       // blocks looked back
    int refratario_ = 0;  // blocks
    double coefPassaAlta_ = 0.0;
    double estadoEntrada_ = 0.0, estadoSaida_ = 0.0;

    double somaBloco_ = 0.0;
    int noBloco_ = 0;
    std::int64_t blocos_ = 0;
    std::vector<double> energiaBlocos_;  // ring of block energies
    std::vector<double> energiaMedia_;   // ring of windowed energies
    double energiaCurta_ = 0.0;
    std::int64_t ultimoAtaqueBloco_ = -1000000;
    std::int64_t ataque_ = 0;
};
