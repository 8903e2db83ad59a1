#include "decimador.h"

#include <algorithm>
#include <cmath>
#include <numbers>

void Decimador::preparar(int fator) {
    fator_ = std::clamp(fator, 1, 16);
    posicao_ = 0;
    fase_ = 0;
    if (fator_ == 1) {
        coeficientes_.assign(1, 1.0f);
        atraso_.clear();
        return;
    }
    // 12 taps per unit of factor: a Blackman-windowed sinc whose stop band (beyond half the
    // output rate) lies some 70 dB down.
    const int taps = 12 * fator_ + 1;
    coeficientes_.resize(static_cast<std::size_t>(taps));
    const double corte = 0.4 / fator_;  // of the input rate
    const double meio = (taps - 1) / 2.0;
    double soma = 0.0;
    for (int i = 0; i < taps; ++i) {
        const double x = i - meio;
        const double sinc = x == 0.0 ? 2.0 * corte
                                     : std::sin(2.0 * std::numbers::pi * corte * x) /
                                           (std::numbers::pi * x);
        const double a = 2.0 * std::numbers::pi * i / (taps - 1);
        const double janela = 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2.0 * a);
        coeficientes_[static_cast<std::size_t>(i)] = static_cast<float>(sinc * janela);
        soma += sinc * janela;
    }
    for (float& c : coeficientes_) c = static_cast<float>(c / soma);  // unit gain at DC
    atraso_.assign(2 * coeficientes_.size(), 0.0f);
}

int Decimador::processar(const float* entrada, int n, float* saida) {
    if (fator_ == 1) {
        std::copy(entrada, entrada + n, saida);
        return n;
    }
    const int taps = static_cast<int>(coeficientes_.size());
    int escritas = 0;
    for (int i = 0; i < n; ++i) {
        atraso_[static_cast<std::size_t>(posicao_)] = entrada[i];
        atraso_[static_cast<std::size_t>(posicao_ + taps)] = entrada[i];
        posicao_ = posicao_ + 1 == taps ? 0 : posicao_ + 1;
        if (++fase_ < fator_) continue;
        fase_ = 0;
        // atraso_[posicao_ .. posicao_ + taps) holds the last `taps` inputs, oldest first; the
        // filter is symmetric, so its order does not matter.
        const float* x = atraso_.data() + posicao_;
        float acumulado = 0.0f;
        for (int k = 0; k < taps; ++k) acumulado += coeficientes_[static_cast<std::size_t>(k)] * x[k];
        saida[escritas++] = acumulado;
    }
    return escritas;
}
