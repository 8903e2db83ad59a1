#pragma once
// LeituraFina: the fine reading of the selected string, quick after a stroke and steady while
// the string rings. Captured samples go in as they arrive (acrescentar); once per display tick
// ler() gives the figure in cents from the string's target, or none.
//
// The samples are brought down to about 11 kHz and kept for a few seconds. A stroke (a jump in
// energy, DetectorAtaque) starts the reading afresh: nothing from before it counts, and the
// first periods of the attack are left out. A coarse look at the note's first periods
// (EstimativaGrossa) finds the fundamental; from then on the phases of the fundamental and of
// the second partial are tracked frame by frame (RastreadorFase), each turned down at its
// multiple of the latest estimate of the fundamental, and each tick fits each partial's
// frequency to its phases. The fundamental is the mean of what the partials say (the second's
// halved), each weighted by its certainty: a weak fundamental, or a hum line beside it, counts
// for little. A partial that stands near the background, far below the strongest one, or
// disagrees with the strongest (the note's reference, which changes only for one clearly
// stronger) by far more than their uncertainties, does not count at all.
//
// The fit's memory is the longest that agrees with the shorter ones (a noisy note is averaged
// longer, a moving pitch followed closely), so the figure is as steady as the note allows.
// The figure shows as soon as its uncertainty is below kIncertezaPrimeira (or, from
// kEsperaIncerta on, kIncertezaTardia): at once, not glided to. A new stroke keeps the old
// figure on show until the new note's first one (at most kSeguraS).
//
// No figure when nothing sounds: before the first stroke, and once the partial has faded: far
// below its peak, near what the band holds between notes at the partial's frequency
// (EspectroFundo: a hum line, a fan), or too uncertain to read. A note that grows without a
// stroke (a bowed string) is taken up once it stands well above that background; whatever
// sounds from the moment the reading starts is taken for the background until a stroke.
//
// The free reading has no string selected: each stroke's note is found over the whole range
// (EstimativaGrossa::estimarLivre, from kLivreMenorHz to kLivreMaiorHz) once kLivreS of it has
// sounded, and is read against the target a chooser gives for its pitch; the chooser is asked
// again at each tick, so that a pitch that has clearly left its target is read against the
// next one. Strokes are then found over the whole range too.
//
// Prepared once; adding samples and reading allocate nothing.

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "anel_amostras.h"
#include "decimador.h"
#include "detector_ataque.h"
#include "espectro_fundo.h"
#include "estimativa_grossa.h"
#include "rastreador_fase.h"

class LeituraFina {
public:
    static constexpr double kTaxaAnalise = 11025.0;  // about; an integer fraction of the capture's
    static constexpr double kMenorHz = 20.0;        // the lowest string the tables allow for
    static constexpr double kSegundosGuardados = 3.0;
    // The band of a string: 2/9 of its target either way.
    static constexpr double kFaixa = 2.0 / 9.0;
    static constexpr double kIncertezaPrimeira = 0.5;  // cents
    static constexpr double kEsperaIncerta = 0.4;      // s after the stroke, then...
    static constexpr double kIncertezaTardia = 2.0;    // ...cents are enough
    static constexpr double kTauMinimo = 0.04;  // s, the shortest memory
    static constexpr double kTauMaximo = 0.64;  // s, the longest
    static constexpr double kConcordancia = 3.0;  // sigmas within which memories agree
    // The partials followed: the fundamental and the next ones, locked to the fundamental.
    static constexpr int kParciais = 2;

    LeituraFina();

    // For capture at `taxaCaptura` Hz (any rate from 8000 Hz up).
    void preparar(int taxaCaptura);
    int taxaCaptura() const { return taxaCaptura_; }
    int taxaAnalise() const { return taxaAnalise_; }

    // The selected string's target in Hz; the reading starts afresh. 0 or less: no string.
    void setAlvo(double hz);
    double alvo() const { return alvo_; }
    // The free reading: `escolha` gives the target (Hz) a pitch (Hz) is read against, 0 for
    // none; the reading starts afresh without a target. An empty chooser ends the free
    // reading (the next setAlvo names the string).
    using Escolha = std::function<double(double hz)>;
    static constexpr double kLivreMenorHz = 38.0;   // E1 a quarter tone and more flat
    static constexpr double kLivreMaiorHz = 2150.0;  // C7 a quarter tone and more sharp
    static constexpr double kLivreS = 0.15;  // of the note looked at to find it
    void setLivre(Escolha escolha);
    bool livre() const { return static_cast<bool>(escolha_); }

    // Forgets every sample (capture started again).
    void reiniciar();

    // Samples in [-1, 1], in order, as captured.
    void acrescentar(const float* amostras, int n);

    // The figure for this tick: cents from the target, positive when sharp; NaN for none.
    double ler();

    // What the last ler() found, for tests and benchmarks.
    struct Estado {
        bool nota = false;        // a note is being read
        bool mostrando = false;   // its figure is shown
        double hz = 0.0;          // the fundamental's frequency
        double incertezaCents = std::numeric_limits<double>::infinity();
        int parcial = 1;          // the partial that counted most
        double tau = 0.0;
        double amplitude = 0.0;  // the partial's, full scale 1
        double fundo = 0.0;      // the background's at the partial's frequency
        std::int64_t ataque = -1;  // analysis sample of the latest stroke
        int ataques = 0;           // strokes so far
    };
    const Estado& estado() const { return estado_; }
    // Analysis samples taken so far.
    std::int64_t amostras() const { return anel_.total(); }

private:
    enum class Etapa { silencio, aguardando, medindo, mostrando };

    void iniciarNota(std::int64_t inicio);
    // The band of a target, keeping the samples and the stage.
    void configurarBanda(double hz);
    // The free reading: finds the note of the latest stroke once enough of it has sounded.
    void localizarNota();
    void tentarEstimativaGrossa();
    void fazerQuadros();
    void medirFundo();
    void encerrarNota();
    // The fundamental from the partials' fits at memory tau (lines, or parabolas with `curva`).
    struct Combinacao {
        bool valido = false;
        double hz = 0.0, incertezaHz = 0.0;
        int parcial = 1;
        int referencia = -1;  // index of the partial the others were checked against
    };
    Combinacao combinar(double tau, bool curva);

    int taxaCaptura_ = 0;
    int taxaAnalise_ = 0;
    double alvo_ = 0.0;
    double menorHz_ = 0.0, maiorHz_ = 0.0;

    Decimador decimador_;
    AnelAmostras anel_;
    DetectorAtaque detector_;
    EstimativaGrossa grossa_;
    std::array<RastreadorFase, kParciais> rastreadores_;
    RastreadorFase& rastreador() { return rastreadores_[0]; }
    const RastreadorFase& rastreador() const { return rastreadores_[0]; }
    std::vector<float> decimadas_;
    std::vector<float> trecho_;

    Etapa etapa_ = Etapa::silencio;
    std::int64_t inicioNota_ = 0;      // first sample the note's reading may use
    std::int64_t proximoCentro_ = 0;   // next frame's centre
    int parciais_ = 1;         // how many partials lie below the analysis band's top
    double fundamental_ = 0.0;  // the latest estimate of the fundamental, Hz
    std::array<double, kParciais> picoAmplitude_{};
    double tauAnterior_ = 0.0;  // the memory of the previous tick
    int referencia_ = -1;       // the note's reference partial (index), once it has one
    std::int64_t desdeQuadro_ = 0;  // frames centred before this are not fitted
    int ticksIncertos_ = 0;

    // What the band holds between notes, and the level at the target every few milliseconds
    // (a note that grows without a stroke).
    EspectroFundo fundo_;
    std::int64_t proximoNivel_ = 0;
    std::int64_t proximoFundo_ = 0;
    std::int64_t fimNota_ = 0;  // where the latest note faded
    bool armado_ = true;        // the level has been near the background since that note

    // The free reading.
    Escolha escolha_;
    DetectorAtaque detectorLivre_;
    std::int64_t ataqueLivre_ = -1;  // a stroke whose note is still to be found

    Estado estado_;
};
