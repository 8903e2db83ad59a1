#include "seletor_alvo.h"

#include <algorithm>
#include <cmath>
#include <utility>

void SeletorAlvo::setCordas(std::vector<double> alvos) {
    cromatico_ = false;
    alvos_ = std::move(alvos);
    atual_ = Escolha{};
}

void SeletorAlvo::setCromatico(double la4) {
    cromatico_ = true;
    la4_ = la4 > 0.0 && std::isfinite(la4) ? la4 : 440.0;
    alvos_.clear();
    atual_ = Escolha{};
}

double SeletorAlvo::hzNota(int nota, double la4) {
    return la4 * std::exp2((nota - 69) / 12.0);
}

double SeletorAlvo::alvoDe(int i) const {
    return cromatico_ ? hzNota(i, la4_) : alvos_[static_cast<std::size_t>(i)];
}

double SeletorAlvo::distancia(double hz, int i) const {
    return std::fabs(1200.0 * std::log2(hz / alvoDe(i)));
}

SeletorAlvo::Escolha SeletorAlvo::escolher(double hz) {
    if (!(hz > 0.0) || !std::isfinite(hz)) return Escolha{};
    int melhor = -1;
    if (cromatico_) {
        const int nota = static_cast<int>(std::lround(69.0 + 12.0 * std::log2(hz / la4_)));
        melhor = std::clamp(nota, kMenorNota, kMaiorNota);
    } else {
        for (int i = 0; i < static_cast<int>(alvos_.size()); ++i) {
            if (!(alvos_[static_cast<std::size_t>(i)] > 0.0)) continue;
            if (melhor < 0 || distancia(hz, i) < distancia(hz, melhor)) melhor = i;
        }
        if (melhor < 0) return Escolha{};
    }
    // The current choice stays unless the new one is clearly nearer.
    const bool valida = atual_.indice >= 0 &&
                        (cromatico_ ? atual_.indice >= kMenorNota && atual_.indice <= kMaiorNota
                                    : atual_.indice < static_cast<int>(alvos_.size()));
    if (valida && melhor != atual_.indice &&
        distancia(hz, atual_.indice) <= distancia(hz, melhor) + kHisterese)
        return atual_;
    atual_ = Escolha{melhor, alvoDe(melhor)};
    return atual_;
}
