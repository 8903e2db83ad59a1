#include "pico_fino.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

double deslocamentoPico(std::complex<double> anterior, std::complex<double> pico,
                        std::complex<double> seguinte, int tamanho) {
    const std::complex<double> denominador = 2.0 * pico - anterior - seguinte;
    if (std::norm(denominador) == 0.0 || !std::isfinite(std::norm(denominador)))
        return std::numeric_limits<double>::quiet_NaN();
    double delta = std::real((anterior - seguinte) / denominador);
    if (tamanho > 2) {
        const double x = std::numbers::pi / tamanho;
        delta = std::atan(std::tan(x) * delta) / x;
    }
    if (!std::isfinite(delta)) return std::numeric_limits<double>::quiet_NaN();
    return std::clamp(delta, -1.0, 1.0);
}
