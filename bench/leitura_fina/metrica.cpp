#include "metrica.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace bench {

namespace {

// From the stroke until the last run of readings within `tolerancia` that lasts to the end.
double acerto(const std::vector<Leitura>& r, const Toque& toque, double alvoHz, double tolerancia) {
    double desde = toque.inicio;
    bool dentro = false, alguma = false;
    for (const Leitura& l : r) {
        if (l.t <= toque.inicio || l.t > toque.fim) continue;
        alguma = true;
        const bool ok = std::fabs(l.cents - toque.centsEm(l.t, alvoHz)) <= tolerancia;
        if (ok && !dentro) desde = l.t;
        dentro = ok;
    }
    return alguma && dentro ? desde - toque.inicio : std::numeric_limits<double>::infinity();
}

}  // namespace

Figuras julgar(const std::vector<Leitura>& r, const Toque& toque, double alvoHz) {
    Figuras f;
    f.acerto1 = acerto(r, toque, alvoHz, 1.0);
    f.acerto3 = acerto(r, toque, alvoHz, 3.0);
    double s = 0.0, s2 = 0.0;
    int n = 0;
    bool perto = false;
    for (const Leitura& l : r) {
        if (l.t <= toque.inicio || l.t > toque.fim || !std::isfinite(l.cents)) continue;
        const double d = l.cents - toque.centsEm(l.t, alvoHz);
        if (std::fabs(d) <= 3.0) perto = true;
        if (perto && std::fabs(d) >= 50.0) ++f.saltos;
        if (l.t >= toque.inicio + 1.0) {
            s += d;
            s2 += d * d;
            ++n;
        }
    }
    f.desvio = n > 1 ? std::sqrt(std::max(0.0, s2 / n - (s / n) * (s / n)))
                     : std::numeric_limits<double>::quiet_NaN();
    return f;
}

double mediana(std::vector<double> v) {
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return std::isnan(x); }), v.end());
    if (v.empty()) return std::numeric_limits<double>::quiet_NaN();
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double maior(const std::vector<double>& v) {
    double m = -std::numeric_limits<double>::infinity();
    for (double x : v)
        if (!std::isnan(x)) m = std::max(m, x);
    return m;
}

}  // namespace bench
