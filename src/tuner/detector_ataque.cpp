#include "detector_ataque.h"

#include <algorithm>
#include <cmath>
#include <numbers>

void DetectorAtaque::preparar(int taxa, double menorHz) {
    taxa_ = std::max(taxa, 1);
    bloco_ = std::max(1, static_cast<int>(std::lround(taxa_ * 0.004)));
    const double periodo = menorHz > 0.0 ? 1.0 / menorHz : 0.0;
    const double janelaS = std::max(periodo, 0.012);
    janela_ = std::max(1, static_cast<int>(std::ceil(janelaS * taxa_ / bloco_)));
    antes_ = std::max(1, static_cast<int>(std::lround(kAntesMs / 1000.0 * taxa_ / bloco_)));
    refratario_ = static_cast<int>(std::lround(kRefratarioMs / 1000.0 * taxa_ / bloco_));
    // A first-order high pass at half the lowest frequency.
    const double corte = std::max(menorHz * 0.5, 10.0);
    coefPassaAlta_ = std::exp(-2.0 * std::numbers::pi * corte / taxa_);
    const std::size_t anel = static_cast<std::size_t>(janela_ + antes_ + 2);
    energiaBlocos_.assign(anel, 0.0);
    energiaMedia_.assign(anel, 0.0);
    limpar();
}

void DetectorAtaque::limpar() {
    estadoEntrada_ = estadoSaida_ = 0.0;
    somaBloco_ = 0.0;
    noBloco_ = 0;
    blocos_ = 0;
    std::fill(energiaBlocos_.begin(), energiaBlocos_.end(), 0.0);
    std::fill(energiaMedia_.begin(), energiaMedia_.end(), 0.0);
    energiaCurta_ = 0.0;
    ultimoAtaqueBloco_ = -1000000;
    ataque_ = 0;
}

bool DetectorAtaque::processar(const float* amostras, int n, std::int64_t primeiro) {
    bool achou = false;
    const auto anel = static_cast<std::int64_t>(energiaBlocos_.size());
    for (int i = 0; i < n; ++i) {
        // y[t] = a (y[t-1] + x[t] - x[t-1])
        const double x = amostras[i];
        estadoSaida_ = coefPassaAlta_ * (estadoSaida_ + x - estadoEntrada_);
        estadoEntrada_ = x;
        somaBloco_ += estadoSaida_ * estadoSaida_;
        if (++noBloco_ < bloco_) continue;

        const std::int64_t b = blocos_++;
        energiaBlocos_[static_cast<std::size_t>(b % anel)] = somaBloco_ / bloco_;
        somaBloco_ = 0.0;
        noBloco_ = 0;
        double soma = 0.0;
        const int contados = static_cast<int>(std::min<std::int64_t>(janela_, b + 1));
        for (int k = 0; k < contados; ++k)
            soma += energiaBlocos_[static_cast<std::size_t>((b - k) % anel)];
        energiaCurta_ = soma / contados;
        energiaMedia_[static_cast<std::size_t>(b % anel)] = energiaCurta_;

        // The least averaged energy in the stretch before the averaging window began.
        // A stroke needs a stretch before it to stand out from: the first blocks after the
        // capture starts (a jump from nothing) are none.
        if (b < janela_ + antes_ || b - ultimoAtaqueBloco_ < refratario_) continue;
        // Not from before the previous stroke had risen in full: its rise is not a new one.
        // Against both the least and the mean energy before: two partials beating make deep
        // troughs, but never peaks of more than twice their mean.
        double menor = energiaCurta_, media = 0.0;
        const std::int64_t desde = std::max<std::int64_t>(
            {0, b - janela_ - antes_, ultimoAtaqueBloco_ + janela_});
        for (std::int64_t k = desde; k <= b - janela_; ++k) {
            menor = std::min(menor, energiaMedia_[static_cast<std::size_t>(k % anel)]);
            media += energiaMedia_[static_cast<std::size_t>(k % anel)];
        }
        media /= static_cast<double>(b - janela_ - desde + 1);
        if (energiaCurta_ > kEnergiaMinima && energiaCurta_ > kSalto * std::max(menor, media)) {
            // The stroke began in the first block of the window whose energy rose above the
            // level before it.
            std::int64_t inicio = b;
            for (std::int64_t k = b - janela_ + 1; k <= b; ++k) {
                if (energiaBlocos_[static_cast<std::size_t>(k % anel)] > kSalto * menor) {
                    inicio = k;
                    break;
                }
            }
            ultimoAtaqueBloco_ = b;
            const std::int64_t fimBloco = primeiro + i + 1;
            ataque_ = fimBloco - (b - inicio + 1) * bloco_;
            achou = true;
        }
    }
    return achou;
}
