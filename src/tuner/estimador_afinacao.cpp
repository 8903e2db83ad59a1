#include "estimador_afinacao.h"

#include <algorithm>
#include <cmath>

EstimadorAfinacao::EstimadorAfinacao(int taxaAmostragem, int tamanhoFFT)
    : tamanhoFFT_(tamanhoFFT),
      larguraBin_(static_cast<double>(taxaAmostragem) / static_cast<double>(tamanhoFFT)) {}

bool EstimadorAfinacao::cordaValida(int corda) const {
    return afinacao_ != nullptr && corda >= 0 && corda < afinacao_->getNumeroCordas() &&
           corda < kMaxCordas;
}

void EstimadorAfinacao::setAfinacao(const Afinacao* afinacao) {
    afinacao_ = afinacao;
    primeiroBin_.fill(1);
    ultimoBin_.fill(0);
    if (afinacao_ == nullptr) return;
    const int cordas = std::min(afinacao_->getNumeroCordas(), kMaxCordas);
    const int bins = binsExaminados();
    for (int c = 0; c < cordas; ++c) {
        int primeiro = -1, ultimo = -1;
        for (int i = 0; i < bins; ++i) {
            const int hz = static_cast<int>(std::trunc(i * larguraBin_));
            if (afinacao_->estaNaFaixa(hz, c)) {
                if (primeiro < 0) primeiro = i;
                ultimo = i;
            }
        }
        if (primeiro >= 0) {
            primeiroBin_[c] = primeiro;
            ultimoBin_[c] = ultimo;
        }
    }
}

void EstimadorAfinacao::calcularDesvios() {
    desvios_.fill(0.0);
    if (afinacao_ == nullptr) return;
    const int cordas = std::min(afinacao_->getNumeroCordas(), kMaxCordas);
    const int bins = binsExaminados();
    for (int c = 0; c < cordas; ++c) {
        const double f = afinacao_->getFrequencia(c);
        double melhorDistancia = 2000000.0;
        int melhorBin = 0;
        for (int j = 0; j < bins; ++j) {
            const double distancia = std::fabs(j * larguraBin_ - f);
            if (distancia < melhorDistancia) {
                melhorDistancia = distancia;
                melhorBin = j;
            }
        }
        desvios_[c] = f - melhorBin * larguraBin_;
    }
}

double EstimadorAfinacao::frequenciaPico(const TSpectrum& espectro) const {
    if (!cordaValida(cordaSelecionada_)) return 0.0;
    int melhorBin = 0;
    double melhorMagnitude = 0.0;
    const int ultimo = ultimoBin_[cordaSelecionada_];
    for (int i = primeiroBin_[cordaSelecionada_]; i <= ultimo; ++i) {
        const double m = espectro.Magnitude(i);
        if (m > melhorMagnitude) {
            melhorMagnitude = m;
            melhorBin = i;
        }
    }
    return melhorBin * larguraBin_;
}

double EstimadorAfinacao::desvio(const TSpectrum& espectro) const {
    if (!cordaValida(cordaSelecionada_)) return 0.0;
    double pico = frequenciaPico(espectro);
    if (tipoSistema_ == 1)
        pico += larguraBin_;
    else if (tipoSistema_ == 2)
        pico -= larguraBin_;
    const int s = cordaSelecionada_;
    return (pico - afinacao_->getFrequencia(s)) + desvios_[s];
}
