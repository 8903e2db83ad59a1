#pragma once
// EstimativaGrossa: a first, coarse look at a stretch of a note: which fundamental within the
// string's band best explains its partials, and which partial the fine reading should follow.
//
// The stretch is windowed (Hann) and transformed zero-padded to at least four times its length.
// Each candidate fundamental f within the band, on a grid of a quarter of the padded bin, scores
// the sum of the spectrum's magnitudes at f, 2f, ... up to the eighth partial (or 0.45 of the
// rate); the best one wins. Harmonics of a hum or of another string score less than the
// selected string's own series, and nothing outside the band can win, so neither an octave nor
// a neighbouring string can be taken for the string.
//
// The partial to follow is the fundamental, unless it lies more than 20 dB below the strongest
// of partials 2 to 4 (a bass string through a small loudspeaker); then that partial. Its
// frequency is the peak of the padded spectrum near it, placed between bins by a parabola
// through the logarithms of the three magnitudes around it.
//
// Prepared once; estimating allocates nothing.

#include <memory>
#include <vector>

class RealFft;

class EstimativaGrossa {
public:
    static constexpr int kParciais = 8;

    EstimativaGrossa();
    ~EstimativaGrossa();

    // `taxa`: the analysis rate; `maxAmostras`: the longest stretch that will be given.
    void preparar(int taxa, int maxAmostras);
    int maxAmostras() const { return maxAmostras_; }

    struct Resultado {
        bool valido = false;
        double fundamental = 0.0;  // Hz
        int parcial = 1;           // which partial to follow (1 = the fundamental)
        double hzParcial = 0.0;    // its frequency
    };
    // The `n` samples of `amostras` (at most maxAmostras), for a string that may sound from
    // `menorHz` to `maiorHz`.
    Resultado estimar(const float* amostras, int n, double menorHz, double maiorHz);
    // The same over a wide range, for a note of unknown pitch (no string selected): the
    // candidate is scored so that neither half nor twice its pitch wins (see the source).
    Resultado estimarLivre(const float* amostras, int n, double menorHz, double maiorHz);

private:
    // Windows and transforms the stretch; false when it cannot be looked at.
    bool transformar(const float* amostras, int n, double menorHz, double maiorHz);
    // The partial to follow and its frequency, for the fundamental f0.
    Resultado refinar(double f0) const;
    // Magnitude at `hz`: the greater of the two padded bins around it.
    double magnitude(double hz) const;

    int taxa_ = 0;
    int maxAmostras_ = 0;
    int tamanho_ = 0;
    std::unique_ptr<RealFft> fft_;
    std::vector<double> entrada_;
    std::vector<double> magnitudes_;
};
