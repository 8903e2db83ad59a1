#include "estimador_afinacao.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "pico_fino.h"

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

int potenciaDeDoisAcima(int n) {
    int p = 1;
    while (p < n && p <= (1 << 29)) p *= 2;
    return p;
}
}  // namespace

EstimadorAfinacao::EstimadorAfinacao(int taxaAmostragem, int tamanhoFFT)
    : taxaAmostragem_(taxaAmostragem),
      tamanhoFFT_(tamanhoFFT),
      tamanhoTransformada_(potenciaDeDoisAcima(tamanhoFFT)),
      larguraBin_(static_cast<double>(taxaAmostragem) / static_cast<double>(tamanhoFFT)) {}

bool EstimadorAfinacao::cordaValida(int corda) const {
    return afinacao_ != nullptr && corda >= 0 && corda < afinacao_->getNumeroCordas() &&
           corda < kMaxCordas;
}

void EstimadorAfinacao::calcularFaixas(double largura, std::array<int, kMaxCordas>& primeiros,
                                       std::array<int, kMaxCordas>& ultimos) const {
    primeiros.fill(1);
    ultimos.fill(0);
    if (afinacao_ == nullptr) return;
    const int cordas = std::min(afinacao_->getNumeroCordas(), kMaxCordas);
    const int bins = binsExaminados();
    for (int c = 0; c < cordas; ++c) {
        int primeiro = -1, ultimo = -1;
        for (int i = 0; i < bins; ++i) {
            const int hz = static_cast<int>(std::trunc(i * largura));
            if (afinacao_->estaNaFaixa(hz, c)) {
                if (primeiro < 0) primeiro = i;
                ultimo = i;
            }
        }
        if (primeiro >= 0) {
            primeiros[c] = primeiro;
            ultimos[c] = ultimo;
        }
    }
}

void EstimadorAfinacao::setAfinacao(const Afinacao* afinacao) {
    afinacao_ = afinacao;
    calcularFaixas(larguraBin_, primeiroBin_, ultimoBin_);
    calcularFaixas(static_cast<double>(taxaAmostragem_) / tamanhoTransformada_, primeiroBinFino_,
                   ultimoBinFino_);
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

int EstimadorAfinacao::binPico(const TSpectrum& espectro, int primeiro, int ultimo) {
    int melhorBin = -1;
    double melhorMagnitude = 0.0;
    for (int i = primeiro; i <= ultimo; ++i) {
        const double m = espectro.Magnitude(i);
        if (m > melhorMagnitude) {
            melhorMagnitude = m;
            melhorBin = i;
        }
    }
    return melhorBin;
}

double EstimadorAfinacao::frequenciaPico(const TSpectrum& espectro) const {
    if (!cordaValida(cordaSelecionada_)) return 0.0;
    const int s = cordaSelecionada_;
    const int pico = binPico(espectro, primeiroBin_[s], ultimoBin_[s]);
    return pico < 0 ? 0.0 : pico * larguraBin_;
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

double EstimadorAfinacao::frequenciaFina(const TSpectrum& espectro) const {
    if (!cordaValida(cordaSelecionada_) || espectro.Length() != tamanhoTransformada_) return kNaN;
    const int s = cordaSelecionada_;
    const int k = binPico(espectro, primeiroBinFino_[s], ultimoBinFino_[s]);
    if (k < 1) return kNaN;
    const double delta = deslocamentoPico(espectro.Bin(k - 1), espectro.Bin(k),
                                          espectro.Bin(k + 1), tamanhoTransformada_);
    return (k + delta) * taxaAmostragem_ / tamanhoTransformada_;
}

double EstimadorAfinacao::desvioCents(const TSpectrum& espectro) const {
    const double f = frequenciaFina(espectro);
    if (!(f > 0.0)) return kNaN;
    return 1200.0 * std::log2(f / afinacao_->getFrequencia(cordaSelecionada_));
}
