#include "anel_amostras.h"

#include <algorithm>

void AnelAmostras::preparar(int capacidade) {
    std::size_t n = 1;
    while (n < static_cast<std::size_t>(std::max(capacidade, 1))) n *= 2;
    dados_.assign(n, 0.0f);
    mascara_ = static_cast<std::int64_t>(n) - 1;
    total_ = 0;
}

void AnelAmostras::acrescentar(const float* amostras, int n) {
    const int capacidade = static_cast<int>(dados_.size());
    if (n > capacidade) {  // only the newest fit
        total_ += n - capacidade;
        amostras += n - capacidade;
        n = capacidade;
    }
    for (int i = 0; i < n; ++i) dados_[static_cast<std::size_t>((total_ + i) & mascara_)] = amostras[i];
    total_ += n;
}

void AnelAmostras::copiar(std::int64_t primeiro, int n, float* destino) const {
    for (int i = 0; i < n; ++i) destino[i] = (*this)[primeiro + i];
}
