#include "estimativa_grossa.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "real_fft.h"

EstimativaGrossa::EstimativaGrossa() = default;
EstimativaGrossa::~EstimativaGrossa() = default;

void EstimativaGrossa::preparar(int taxa, int maxAmostras) {
    taxa_ = std::max(taxa, 1);
    maxAmostras_ = std::max(maxAmostras, 16);
    tamanho_ = 4096;
    while (tamanho_ < 4 * maxAmostras_) tamanho_ *= 2;
    fft_ = std::make_unique<RealFft>(tamanho_);
    entrada_.assign(static_cast<std::size_t>(tamanho_), 0.0);
    magnitudes_.assign(static_cast<std::size_t>(tamanho_ / 2 + 1), 0.0);
}

double EstimativaGrossa::magnitude(double hz) const {
    const double bin = hz * tamanho_ / taxa_;
    const int k = static_cast<int>(bin);
    if (k < 0 || k + 1 >= static_cast<int>(magnitudes_.size())) return 0.0;
    return std::max(magnitudes_[static_cast<std::size_t>(k)],
                    magnitudes_[static_cast<std::size_t>(k + 1)]);
}

bool EstimativaGrossa::transformar(const float* amostras, int n, double menorHz,
                                   double maiorHz) {
    if (n < 16 || !(menorHz > 0.0) || !(maiorHz > menorHz) || maiorHz >= 0.45 * taxa_)
        return false;
    for (int i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (i + 0.5) / n);
        entrada_[static_cast<std::size_t>(i)] = w * amostras[i];
    }
    std::fill(entrada_.begin() + n, entrada_.end(), 0.0);
    fft_->transform(entrada_.data());
    for (int k = 0; k <= tamanho_ / 2; ++k)
        magnitudes_[static_cast<std::size_t>(k)] = std::sqrt(fft_->magnitudeSquared(k));
    return true;
}

EstimativaGrossa::Resultado EstimativaGrossa::estimar(const float* amostras, int n,
                                                      double menorHz, double maiorHz) {
    n = std::min(n, maxAmostras_);
    if (!transformar(amostras, n, menorHz, maiorHz)) return Resultado{};
    // The candidate whose partials carry the most.
    const double passo = 0.25 * taxa_ / tamanho_;
    double melhor = 0.0, f0 = 0.0;
    for (double f = menorHz; f <= maiorHz; f += passo) {
        const int parciais = std::min(kParciais, static_cast<int>(0.45 * taxa_ / f));
        double soma = 0.0;
        for (int k = 1; k <= parciais; ++k) soma += magnitude(k * f);
        if (soma > melhor) {
            melhor = soma;
            f0 = f;
        }
    }
    return melhor > 0.0 ? refinar(f0) : Resultado{};
}

EstimativaGrossa::Resultado EstimativaGrossa::estimarLivre(const float* amostras, int n,
                                                           double menorHz, double maiorHz) {
    n = std::min(n, maxAmostras_);
    if (!transformar(amostras, n, menorHz, maiorHz)) return Resultado{};
    // Each candidate scores its partials less what lies halfway between them, the k-th
    // weighted by 1/sqrt(k). Half the pitch finds the partials too, but also the empty places
    // between them, and its own partials weigh less; twice the pitch loses the odd partials it
    // steps over. The grid is a quarter of the padded bin or 1/8 cent, whichever is coarser.
    const double passoMinimo = 0.25 * taxa_ / tamanho_;
    double melhor = 0.0, f0 = 0.0;
    for (double f = menorHz; f <= maiorHz; f += std::max(passoMinimo, f * 7.2e-5)) {
        const int parciais = std::min(kParciais, static_cast<int>(0.45 * taxa_ / f));
        double soma = 0.0;
        for (int k = 1; k <= parciais; ++k)
            soma += (magnitude(k * f) - magnitude((k - 0.5) * f)) / std::sqrt(static_cast<double>(k));
        if (soma > melhor) {
            melhor = soma;
            f0 = f;
        }
    }
    return melhor > 0.0 ? refinar(f0) : Resultado{};
}

EstimativaGrossa::Resultado EstimativaGrossa::refinar(double f0) const {
    Resultado r;

    int parcial = 1;
    double maisForte = 0.0;
    for (int k = 2; k <= 4 && k * f0 < 0.45 * taxa_; ++k) {
        const double m = magnitude(k * f0);
        if (m > maisForte) {
            maisForte = m;
            parcial = k;
        }
    }
    if (magnitude(f0) >= 0.1 * maisForte) parcial = 1;

    // The padded spectrum's peak within 3 % of the partial, between bins.
    const double alvo = parcial * f0;
    const int de = std::max(1, static_cast<int>(std::floor(alvo * 0.97 * tamanho_ / taxa_)));
    const int ate = std::min(tamanho_ / 2 - 1, static_cast<int>(std::ceil(alvo * 1.03 * tamanho_ / taxa_)));
    int pico = de;
    for (int k = de; k <= ate; ++k)
        if (magnitudes_[static_cast<std::size_t>(k)] > magnitudes_[static_cast<std::size_t>(pico)])
            pico = k;
    const double a = std::log(magnitudes_[static_cast<std::size_t>(pico - 1)] + 1e-300);
    const double b = std::log(magnitudes_[static_cast<std::size_t>(pico)] + 1e-300);
    const double c = std::log(magnitudes_[static_cast<std::size_t>(pico + 1)] + 1e-300);
    const double curvatura = a - 2.0 * b + c;
    const double delta = curvatura < 0.0 ? std::clamp(0.5 * (a - c) / curvatura, -0.5, 0.5) : 0.0;

    r.valido = true;
    r.fundamental = f0;
    r.parcial = parcial;
    r.hzParcial = (pico + delta) * taxa_ / tamanho_;
    return r;
}
