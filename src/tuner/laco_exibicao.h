#pragma once
// LacoExibicao: the tuner's display loop, one call of timerTimer per 50 ms tick of the main
// window's timer. It turns the selected string's deviation into the needle's angle (10 degrees
// per Hz, negative for a sharp string; a quarter of the remaining way per tick; pinned at ±90 on
// the side of the previous angle), decides whether the string is in tune (the "OK" mark yellow
// from the second in-tune tick, the in-tune message after more than 1.2 s in tune), and watches
// the tick rate: eleven consecutive ticks more than 164.16 ms apart switch the needle panel's
// double buffering off for the rest of the run.
//
// In the fine reading the deviation is in cents instead, and comes already smoothed by the
// reading (LeituraFina): the needle shows it at once, 1 degree per cent (in steps of a
// hundredth of a degree), stopped at ±90 on the side of the reading; "OK" within ±2 cents; the
// in-tune message keeps its 1.2 s rule. With no reading (nothing sounds) the needle goes back
// to rest at the centre, a quarter of the way per tick, and "OK" is off.
//
// It holds no window: the main window applies angulo() to the needle, corOk() and
// mensagemVisivel() to its labels and doubleBuffering() to the needle's panel after each tick.
// Times come from a monotonic millisecond clock, replaceable for tests.

#include <cstdint>
#include <functional>
#include <optional>

#include "estimador_afinacao.h"
#include "spectrum.h"

class LacoExibicao {
public:
    using Relogio = std::function<std::int64_t()>;  // monotonic, milliseconds

    enum class CorOk { branco, amarelo };
    static constexpr std::uint32_t kRgbBranco = 0xFFFFFF;
    static constexpr std::uint32_t kRgbAmarelo = 0xFFFF00;
    static constexpr std::uint32_t rgb(CorOk cor) {
        return cor == CorOk::amarelo ? kRgbAmarelo : kRgbBranco;
    }

    static constexpr double kTickLentoMs = 164.16;        // 1.9e-6 of a day
    static constexpr std::int64_t kConfirmacaoMs = 1200;  // tempoConfirmacao
    static constexpr int kMaxTicksLentos = 10;
    static constexpr long double kLimiteAngulo = 90.0L;
    static constexpr long double kGrausPorHz = 10.0L;
    static constexpr long double kGrausPorCent = 1.0L;
    static constexpr long double kToleranciaCents = 2.0L;
    static constexpr long double kPassoAnguloFino = 0.01L;  // degrees

    // Whole analyser bins in Hz (the default), or cents between bins.
    enum class Leitura { classica, fina };

    // The steady clock of the system, in milliseconds.
    static Relogio relogioMonotonico();

    explicit LacoExibicao(Relogio relogio = relogioMonotonico());

    // The tick. Does nothing and answers false while the setup assistant is the active window;
    // otherwise reads the deviation from `desvio` (positive when the string sounds sharp: Hz in
    // the classic reading, cents in the fine one, NaN for no reading) and answers true.
    template <class FonteDesvio>
    bool timerTimer(bool assistenteAtivo, FonteDesvio&& desvio) {
        if (assistenteAtivo) return false;
        const std::int64_t agora = relogio_();
        vigiarDesempenho(agora);
        aplicarDesvio(desvio(), agora);
        return true;
    }

    // The tick with the deviation of the estimator's selected string in `espectro`, in the
    // current reading.
    bool timerTimer(bool assistenteAtivo, const EstimadorAfinacao& estimador,
                    const TSpectrum& espectro) {
        if (leitura_ == Leitura::fina)
            return timerTimer(assistenteAtivo, [&] { return estimador.desvioCents(espectro); });
        return timerTimer(assistenteAtivo, [&] { return estimador.desvio(espectro); });
    }

    Leitura leitura() const { return leitura_; }
    // A change of reading starts the in-tune state afresh: the string has to be found in tune
    // on the new scale ("OK" white, message hidden). The needle moves on from where it is.
    void setLeitura(Leitura leitura);
    // The fine reading's figure of the last tick, in cents; NaN in the classic reading, before
    // the first tick and when there was no reading.
    double cents() const { return cents_; }

    // What the window shows.
    long double angulo() const { return angulo_; }
    CorOk corOk() const { return corOk_; }
    bool mensagemVisivel() const { return mensagemVisivel_; }
    bool doubleBuffering() const { return doubleBuffering_; }

    // Places the needle (it starts at 0).
    void setAngulo(long double angulo) { angulo_ = angulo; }

    bool verificarDesempenho() const { return verificarDesempenho_; }
    int ticksLentos() const { return ticksLentos_; }
    bool noAlvo() const { return noAlvo_; }

private:
    void vigiarDesempenho(std::int64_t agora);
    void aplicarDesvio(double desvio, std::int64_t agora);
    void aplicarCents(double cents, std::int64_t agora);
    // A tick in tune: "OK" from the second one, the message after more than 1.2 s.
    void noAlvoAgora(std::int64_t agora);
    void foraDoAlvo();

    Relogio relogio_;

    long double angulo_ = 0.0L;
    CorOk corOk_ = CorOk::branco;
    bool mensagemVisivel_ = false;
    bool doubleBuffering_ = true;

    Leitura leitura_ = Leitura::classica;
    double cents_;

    bool verificarDesempenho_ = true;
    std::optional<std::int64_t> ultimoTick_;  // unset until the first watched tick
    int ticksLentos_ = 0;
    bool noAlvo_ = false;
    std::int64_t afinadaDesde_ = 0;
    std::int64_t tempoConfirmacao_ = kConfirmacaoMs;
};
