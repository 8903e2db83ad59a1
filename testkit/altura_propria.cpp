#include "altura_propria.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "real_fft.h"

namespace testkit {

namespace {

// |sum of w[i] x[i] e^{-2 pi i f i / taxa}| over the stretch.
double soma(const std::vector<double>& janelado, int taxa, double hz) {
    const std::complex<double> passo = std::polar(1.0, -2.0 * std::numbers::pi * hz / taxa);
    std::complex<double> giro = 1.0, total = 0.0;
    for (std::size_t i = 0; i < janelado.size(); ++i) {
        total += janelado[i] * giro;
        giro *= passo;
        if ((i & 1023) == 1023) giro /= std::abs(giro);  // keep the turn on the unit circle
    }
    return std::abs(total);
}

}  // namespace

namespace {

// A stretch of the note under a Hann window, with its transform zero-padded to twice its length.
class Trecho {
public:
    Trecho(const std::vector<float>& x, int taxa, std::size_t inicio, std::size_t n) : taxa_(taxa) {
        janelado_.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (i + 0.5) / n);
            janelado_[i] = w * x[inicio + i];
            somaJanela_ += w;
        }
        tamanho_ = 1;
        while (tamanho_ < static_cast<int>(2 * n)) tamanho_ *= 2;
        fft_ = std::make_unique<RealFft>(tamanho_);
        std::vector<double> entrada(static_cast<std::size_t>(tamanho_), 0.0);
        std::copy(janelado_.begin(), janelado_.end(), entrada.begin());
        fft_->transform(entrada.data());
    }

    // The strongest bin within 3 % of `hz` (0 when it lies at the edge: no peak inside), and
    // its amplitude from the padded transform.
    int bin(double hz, double* amplitude) const {
        const double largura = static_cast<double>(taxa_) / tamanho_;
        const int de = std::max(1, static_cast<int>(hz * 0.97 / largura));
        const int ate = std::min(tamanho_ / 2 - 1, static_cast<int>(hz * 1.03 / largura) + 1);
        int pico = de;
        for (int k = de; k <= ate; ++k)
            if (fft_->magnitudeSquared(k) > fft_->magnitudeSquared(pico)) pico = k;
        if (amplitude != nullptr) *amplitude = 2.0 * std::sqrt(fft_->magnitudeSquared(pico)) / somaJanela_;
        return pico == de || pico == ate ? 0 : pico;
    }

    // The peak around `pico` placed by a golden-section search of the window's Fourier sum.
    double posicionar(int pico, double* amplitude) const {
        const double largura = static_cast<double>(taxa_) / tamanho_;
        const double phi = (std::sqrt(5.0) - 1.0) / 2.0;
        double a = (pico - 1) * largura, b = (pico + 1) * largura;
        double c = b - phi * (b - a), d = a + phi * (b - a);
        double fc = soma(janelado_, taxa_, c), fd = soma(janelado_, taxa_, d);
        for (int i = 0; i < 40; ++i) {
            if (fc > fd) {
                b = d, d = c, fd = fc;
                c = b - phi * (b - a);
                fc = soma(janelado_, taxa_, c);
            } else {
                a = c, c = d, fc = fd;
                d = a + phi * (b - a);
                fd = soma(janelado_, taxa_, d);
            }
        }
        const double f = 0.5 * (a + b);
        if (amplitude != nullptr) *amplitude = 2.0 * soma(janelado_, taxa_, f) / somaJanela_;
        return f;
    }

private:
    int taxa_;
    int tamanho_ = 1;
    double somaJanela_ = 0.0;
    std::vector<double> janelado_;
    std::unique_ptr<RealFft> fft_;
};

}  // namespace

double picoPreciso(const std::vector<float>& x, int taxa, std::size_t inicio, std::size_t n,
                   double hz, double* amplitude) {
    if (amplitude != nullptr) *amplitude = 0.0;
    if (inicio + n > x.size() || n < 64 || !(hz > 0.0)) return 0.0;
    const Trecho trecho(x, taxa, inicio, n);
    const int pico = trecho.bin(hz, nullptr);
    return pico > 0 ? trecho.posicionar(pico, amplitude) : 0.0;
}

std::vector<AlturaPropria> alturaPropria(const std::vector<float>& x, int taxa, double alvoHz,
                                         double de, double ate, double passo) {
    std::vector<AlturaPropria> r;
    const double meia = 0.25;
    for (double t = de; t <= ate + 1e-9; t += passo) {
        const double inicio = std::clamp(t - meia, de, std::max(de, ate - 2 * meia));
        const double fim = std::min(inicio + 2 * meia, ate);
        const auto i0 = static_cast<std::size_t>(inicio * taxa);
        const auto n = static_cast<std::size_t>((fim - inicio) * taxa);
        double hz = 0.0;
        if (i0 + n <= x.size() && n >= 64) {
            // The fundamental, unless it lies more than 20 dB below the second partial.
            const Trecho trecho(x, taxa, i0, n);
            double a1 = 0.0, a2 = 0.0;
            const int b1 = trecho.bin(alvoHz, &a1);
            const int b2 = trecho.bin(2.0 * alvoHz, &a2);
            if (b1 > 0 && !(a1 < 0.1 * a2 && b2 > 0))
                hz = trecho.posicionar(b1, nullptr);
            else if (b2 > 0)
                hz = trecho.posicionar(b2, nullptr) / 2.0;
        }
        r.push_back({t, hz});
    }
    return r;
}

}  // namespace testkit
