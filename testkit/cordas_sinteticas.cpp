#include "cordas_sinteticas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace testkit {

std::vector<float> pluck(const Pluck& p, int taxa, std::mt19937& aleatorio) {
    const auto n = static_cast<std::size_t>(p.segundos * taxa);
    std::vector<double> x(n, 0.0);
    std::uniform_real_distribution<double> fase(0.0, 2.0 * std::numbers::pi);
    for (int k = 1; k <= p.harmonicos; ++k) {
        if (k * p.hz >= 0.45 * taxa) break;
        double a = 1.0 / k;
        if (p.fundamentalFraca) a = k == 1 ? 0.25 : (k == 2 ? 1.0 : 1.5 / k);
        const double tau = p.decaimento / (1.0 + 0.35 * (k - 1));
        double phi = fase(aleatorio);
        for (std::size_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(i) / taxa;
            const double cents = p.glideCents * std::exp(-t / p.glideTau);
            const double f = k * p.hz * std::pow(2.0, cents / 1200.0);
            phi += 2.0 * std::numbers::pi * f / taxa;
            x[i] += a * std::exp(-t / tau) * std::sin(phi);
        }
    }
    // A stroke of 1.5 ms, and the peak of the first 20 ms scaled to the amplitude.
    const auto subida = static_cast<std::size_t>(0.0015 * taxa);
    for (std::size_t i = 0; i < std::min(subida, n); ++i) x[i] *= static_cast<double>(i) / subida;
    double pico = 1e-30;
    for (std::size_t i = 0; i < std::min(n, static_cast<std::size_t>(0.02 * taxa)); ++i)
        pico = std::max(pico, std::fabs(x[i]));
    std::vector<float> y(n);
    for (std::size_t i = 0; i < n; ++i) y[i] = static_cast<float>(x[i] * p.amplitude / pico);
    return y;
}

void misturar(std::vector<float>& a, const std::vector<float>& b, std::size_t inicio,
              double ganho) {
    if (a.size() < inicio + b.size()) a.resize(inicio + b.size(), 0.0f);
    for (std::size_t i = 0; i < b.size(); ++i)
        a[inicio + i] += static_cast<float>(ganho * b[i]);
}

double rms(const std::vector<float>& x, std::size_t inicio, std::size_t n) {
    if (inicio >= x.size()) return 0.0;
    if (n == 0 || inicio + n > x.size()) n = x.size() - inicio;
    double s = 0.0;
    for (std::size_t i = inicio; i < inicio + n; ++i) s += static_cast<double>(x[i]) * x[i];
    return n > 0 ? std::sqrt(s / static_cast<double>(n)) : 0.0;
}

std::vector<float> ruido(std::size_t n, double nivel, double snrDb, std::mt19937& aleatorio) {
    std::normal_distribution<double> g(0.0, nivel * std::pow(10.0, -snrDb / 20.0));
    std::vector<float> y(n);
    for (float& v : y) v = static_cast<float>(g(aleatorio));
    return y;
}

std::vector<float> zumbido(std::size_t n, int taxa, double nivel, double dbAbaixo, double redeHz) {
    // The fundamental and harmonics 2..7 falling 3 dB each, together `dbAbaixo` below `nivel`.
    std::vector<double> pesos;
    double soma = 0.0;
    for (int k = 1; k <= 7; ++k) {
        pesos.push_back(std::pow(10.0, -3.0 * (k - 1) / 20.0));
        soma += pesos.back() * pesos.back() / 2.0;
    }
    const double escala = nivel * std::pow(10.0, -dbAbaixo / 20.0) / std::sqrt(soma);
    std::vector<float> y(n);
    for (std::size_t i = 0; i < n; ++i) {
        double v = 0.0;
        for (int k = 1; k <= 7; ++k)
            v += pesos[static_cast<std::size_t>(k - 1)] *
                 std::sin(2.0 * std::numbers::pi * k * redeHz * static_cast<double>(i) / taxa + k);
        y[i] = static_cast<float>(escala * v);
    }
    return y;
}

double hzNota(int nota) { return 440.0 * std::pow(2.0, (nota - 69) / 12.0); }

}  // namespace testkit
