#include "laco_exibicao.h"

#include <chrono>
#include <cmath>
#include <utility>

LacoExibicao::Relogio LacoExibicao::relogioMonotonico() {
    return [] {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    };
}

LacoExibicao::LacoExibicao(Relogio relogio) : relogio_(std::move(relogio)) {
    if (!relogio_) relogio_ = relogioMonotonico();
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
    // 10 degrees per Hz; a sharp string turns the needle clockwise (negative angle).
    const long double alvo = -(static_cast<long double>(desvio) * 10.0L);
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
    if (std::trunc(a1) != 0.0L) {  // outside (−1, 1)
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
