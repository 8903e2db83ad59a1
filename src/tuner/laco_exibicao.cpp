#include "laco_exibicao.h"

#include <chrono>
#include <cmath>
#include <limits>
#include <utility>

LacoExibicao::Relogio LacoExibicao::relogioMonotonico() {
    return [] {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    };
}

LacoExibicao::LacoExibicao(Relogio relogio)
    : relogio_(std::move(relogio)), cents_(std::numeric_limits<double>::quiet_NaN()) {
    if (!relogio_) relogio_ = relogioMonotonico();
}

void LacoExibicao::setLeitura(Leitura leitura) {
    if (leitura == leitura_) return;
    leitura_ = leitura;
    cents_ = std::numeric_limits<double>::quiet_NaN();
    foraDoAlvo();
}

void LacoExibicao::vigiarDesempenho(std::int64_t agora) {
    if (!verificarDesempenho_) return;
    if (!ultimoTick_) {
        ultimoTick_ = agora;
        return;
    }
    const std::int64_t intervalo = agora - *ultimoTick_;
    ultimoTick_ = agora;
    if (static_cast<double>(intervalo) > kTickLentoMs) {
        if (++ticksLentos_ > kMaxTicksLentos) {
            // This machine cannot keep up: give up flicker-free drawing for good.
            doubleBuffering_ = false;
            verificarDesempenho_ = false;
        }
    } else {
        ticksLentos_ = 0;
    }
}

void LacoExibicao::aplicarDesvio(double desvio, std::int64_t agora) {
    const bool fina = leitura_ == Leitura::fina;
    if (fina) cents_ = desvio;
    // 10 degrees per Hz, or 1 per cent; a sharp string turns the needle clockwise (negative).
    const long double alvo =
        -(static_cast<long double>(desvio) * (fina ? kGrausPorCent : kGrausPorHz));
    const long double a0 = angulo_;
    const long double a1 = a0 + (alvo - a0) * 0.25L;
    if (std::isnan(a1)) {  // no usable reading: the needle stays, the string is not in tune
        foraDoAlvo();
        return;
    }

    if (std::fabs(a1) >= kLimiteAngulo) {
        // Pinned on the side the needle came from.
        angulo_ = a0 > 0.0L ? kLimiteAngulo : -kLimiteAngulo;
        foraDoAlvo();
        return;
    }
    angulo_ = a1;
    // Classic: the needle within (−1, 1) degree. Fine: the reading within ±2 cents and the
    // needle showing it, so that a needle passing the centre on its way to a reading outside
    // the tolerance does not light "OK".
    const bool afinada = fina ? std::fabs(desvio) <= kToleranciaCents &&
                                    std::fabs(a1 / kGrausPorCent) <= kToleranciaCents
                              : std::trunc(a1) == 0.0L;
    if (!afinada) {
        foraDoAlvo();
        return;
    }
    if (noAlvo_) {
        corOk_ = CorOk::amarelo;
        if (agora - afinadaDesde_ > tempoConfirmacao_) mensagemVisivel_ = true;
    } else {
        afinadaDesde_ = agora;
        noAlvo_ = true;
    }
}

void LacoExibicao::foraDoAlvo() {
    noAlvo_ = false;
    mensagemVisivel_ = false;
    corOk_ = CorOk::branco;
}
