#include "laco_exibicao.h"

#include <algorithm>
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
    if (leitura_ == Leitura::fina) {
        aplicarCents(desvio, agora);
        return;
    }
    // 10 degrees per Hz; a sharp string turns the needle clockwise (negative).
    const long double alvo = -(static_cast<long double>(desvio) * kGrausPorHz);
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
    // The needle within (−1, 1) degree.
    if (std::trunc(a1) != 0.0L) {
        foraDoAlvo();
        return;
    }
    noAlvoAgora(agora);
}

void LacoExibicao::aplicarCents(double cents, std::int64_t agora) {
    cents_ = cents;
    if (!std::isfinite(cents)) {
        // Nothing sounds: back to rest, and not in tune.
        angulo_ *= 0.75L;
        if (std::fabs(angulo_) < 0.05L) angulo_ = 0.0L;
        foraDoAlvo();
        return;
    }
    // 1 degree per cent, in steps of kPassoAnguloFino; a sharp string turns the needle clockwise.
    const long double alvo = -std::round(static_cast<long double>(cents) * kGrausPorCent /
                                         kPassoAnguloFino) *
                             kPassoAnguloFino;
    angulo_ = std::clamp(alvo, -kLimiteAngulo, kLimiteAngulo);
    if (std::fabs(cents) > kToleranciaCents) {
        foraDoAlvo();
        return;
    }
    noAlvoAgora(agora);
}

void LacoExibicao::noAlvoAgora(std::int64_t agora) {
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
