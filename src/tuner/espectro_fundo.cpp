#include "espectro_fundo.h"

#include <algorithm>
#include <cmath>

#include "real_fft.h"

EspectroFundo::EspectroFundo() = default;
EspectroFundo::~EspectroFundo() = default;

void EspectroFundo::preparar(int taxa, int maxComprimento) {
    taxa_ = std::max(taxa, 1);
    tamanho_ = 4096;
    while (tamanho_ < 2 * maxComprimento) tamanho_ *= 2;
    fft_ = std::make_unique<RealFft>(tamanho_);
    entrada_.assign(static_cast<std::size_t>(tamanho_), 0.0);
    media_.assign(static_cast<std::size_t>(tamanho_ / 2 + 1), 0.0);
    janela_.assign(static_cast<std::size_t>(std::max(maxComprimento, 1)), 0.0);
    medidas_ = 0;
}

void EspectroFundo::configurar(const std::vector<double>& janela, int comprimento, double ganho) {
    comprimento_ = std::clamp(comprimento, 0, static_cast<int>(janela_.size()));
    std::copy(janela.begin(), janela.begin() + comprimento_, janela_.begin());
    ganho_ = ganho;
    medidas_ = 0;
}

void EspectroFundo::medir(const AnelAmostras& anel, std::int64_t fim) {
    const std::int64_t primeiro = fim - comprimento_;
    if (comprimento_ == 0 || !anel.contem(primeiro, comprimento_)) return;
    for (int i = 0; i < comprimento_; ++i)
        entrada_[static_cast<std::size_t>(i)] = janela_[static_cast<std::size_t>(i)] * anel[primeiro + i];
    std::fill(entrada_.begin() + comprimento_, entrada_.end(), 0.0);
    fft_->transform(entrada_.data());
    for (int k = 0; k <= tamanho_ / 2; ++k) {
        double& m = media_[static_cast<std::size_t>(k)];
        const double novo = ganho_ * std::sqrt(fft_->magnitudeSquared(k));
        const double peso = medidas_ == 0 ? 1.0 : (novo < m ? kPesoDescendo : kPeso);
        m += peso * (novo - m);
    }
    ++medidas_;
}

double EspectroFundo::magnitude(double hz) const {
    if (medidas_ == 0) return 0.0;
    const int k = static_cast<int>(hz * tamanho_ / taxa_);
    if (k < 0 || k + 1 >= static_cast<int>(media_.size())) return 0.0;
    return std::max(media_[static_cast<std::size_t>(k)], media_[static_cast<std::size_t>(k + 1)]);
}
