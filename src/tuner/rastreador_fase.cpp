#include "rastreador_fase.h"

#include <algorithm>
#include <array>
#include <limits>
#include <cmath>
#include <numbers>

void RastreadorFase::preparar(int taxa, double menorHz, int maxQuadros) {
    taxa_ = std::max(taxa, 1);
    maxComprimento_ = static_cast<int>(std::ceil(kPeriodos * taxa_ / std::max(menorHz, 1.0))) | 1;
    janela_.assign(static_cast<std::size_t>(maxComprimento_), 0.0);
    anel_.assign(static_cast<std::size_t>(std::max(maxQuadros, 4)), Quadro{});
    pesos_.assign(anel_.size(), 0.0);
    configurar(menorHz);
}

void RastreadorFase::configurar(double menorHz) {
    comprimento_ = std::min(
        maxComprimento_,
        static_cast<int>(std::ceil(kPeriodos * taxa_ / std::max(menorHz, 1.0))) | 1);  // odd
    passo_ = std::max(1, comprimento_ / 4);
    const int n = comprimento_;
    double soma = 0.0;
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * std::numbers::pi * (i + 1) / (n + 1);
        janela_[static_cast<std::size_t>(i)] = 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2.0 * a);
        soma += janela_[static_cast<std::size_t>(i)];
    }
    ganho_ = 2.0 / soma;
    limpar();
}

void RastreadorFase::limpar() {
    proximo_ = 0;
    quadros_ = 0;
}

std::complex<double> RastreadorFase::quadro(const AnelAmostras& anel, std::int64_t centro,
                                            double hz) const {
    const int meio = comprimento_ / 2;
    const double w = -2.0 * std::numbers::pi * hz / taxa_;
    // The reference turn, e^{i w (m - meio)}, by recurrence from the frame's first sample.
    std::complex<double> giro = std::polar(1.0, -w * meio);
    const std::complex<double> passo = std::polar(1.0, w);
    std::complex<double> soma = 0.0;
    const std::int64_t primeiro = centro - meio;
    for (int m = 0; m < comprimento_; ++m) {
        soma += (janela_[static_cast<std::size_t>(m)] * anel[primeiro + m]) * giro;
        giro *= passo;
    }
    return soma * ganho_;
}

const RastreadorFase::Quadro& RastreadorFase::quadro(int idade) const {
    const int n = static_cast<int>(anel_.size());
    return anel_[static_cast<std::size_t>(((proximo_ - 1 - idade) % n + n) % n)];
}

void RastreadorFase::acrescentar(std::int64_t centro, std::complex<double> valor,
                                 double hzPrevisto) {
    const double angulo = std::arg(valor) / (2.0 * std::numbers::pi);
    double fase = angulo;
    if (quadros_ > 0) {
        const Quadro& anterior = quadro(0);
        const double previsto =
            anterior.fase + hzPrevisto * static_cast<double>(centro - anterior.centro) / taxa_;
        fase = angulo + std::round(previsto - angulo);
    }
    anel_[static_cast<std::size_t>(proximo_)] = Quadro{centro, fase, std::norm(valor)};
    proximo_ = (proximo_ + 1) % static_cast<int>(anel_.size());
    quadros_ = std::min(quadros_ + 1, static_cast<int>(anel_.size()));
}

double RastreadorFase::amplitudeRecente() const {
    return quadros_ > 0 ? std::sqrt(quadro(0).potencia) : 0.0;
}

std::int64_t RastreadorFase::centroRecente() const {
    return quadros_ > 0 ? quadro(0).centro : 0;
}

namespace {
// The sums of a weighted least-squares fit of the phase f against the time t (t = 0 at the
// latest frame), for a line or a parabola.
struct Somas {
    double w = 0, t1 = 0, t2 = 0, t3 = 0, t4 = 0, f0 = 0, f1 = 0, f2 = 0;
    void somar(double peso, double t, double f) {
        const double tt = t * t;
        w += peso;
        t1 += peso * t;
        t2 += peso * tt;
        t3 += peso * tt * t;
        t4 += peso * tt * tt;
        f0 += peso * f;
        f1 += peso * t * f;
        f2 += peso * tt * f;
    }
    Somas& operator+=(const Somas& o) {
        w += o.w, t1 += o.t1, t2 += o.t2, t3 += o.t3, t4 += o.t4;
        f0 += o.f0, f1 += o.f1, f2 += o.f2;
        return *this;
    }
    Somas menos(const Somas& o) const {
        return {w - o.w, t1 - o.t1, t2 - o.t2, t3 - o.t3, t4 - o.t4, f0 - o.f0, f1 - o.f1, f2 - o.f2};
    }
    // The frequency: the line's slope, or the parabola's slope at t = 0 (the frequency now, for
    // a pitch that moves steadily). NaN when the times do not spread enough.
    double frequencia(bool curva) const {
        constexpr double nan = std::numeric_limits<double>::quiet_NaN();
        if (!curva) {
            const double d = w * t2 - t1 * t1;
            return d > 1e-18 * w * w ? (w * f1 - t1 * f0) / d : nan;
        }
        // Cramer's rule on [w t1 t2; t1 t2 t3; t2 t3 t4] (a b c) = (f0 f1 f2), for b.
        const double d = w * (t2 * t4 - t3 * t3) - t1 * (t1 * t4 - t3 * t2) + t2 * (t1 * t3 - t2 * t2);
        if (!(std::fabs(d) > 1e-15 * w * t4 * t2)) return nan;
        const double db = w * (f1 * t4 - t3 * f2) - f0 * (t1 * t4 - t3 * t2) + t2 * (t1 * f2 - f1 * t2);
        return db / d;
    }
};
}  // namespace

RastreadorFase::Ajuste RastreadorFase::ajustar(double tau, bool curva, std::int64_t desde) const {
    Ajuste a;
    if (quadros_ < 3 || !(tau > 0.0)) return a;
    const Quadro& recente = quadro(0);
    const double escala = 1.0 / (tau * taxa_);
    // The frames' weights, newest first, and their total.
    int usados = 0;
    double total = 0.0;
    for (; usados < quadros_; ++usados) {
        const Quadro& q = quadro(usados);
        const double esquecimento = std::exp(-static_cast<double>(recente.centro - q.centro) * escala);
        if (esquecimento < kEsquecimentoMinimo || q.centro < desde) break;
        // A frame counts by its power (a fading partial's noisier phases less), but none by more
        // than twice the latest frame's: a loud attack, whose pitch often glides, does not
        // outweigh the note as it rings now.
        pesos_[static_cast<std::size_t>(usados)] =
            std::min(q.potencia, kPotenciaMaxima * recente.potencia) * esquecimento;
        total += pesos_[static_cast<std::size_t>(usados)];
    }
    if (usados < 3 || !(total > 0.0)) return a;
    // The sums in groups of consecutive frames of about equal weight: leaving out one group at
    // a time (a jackknife) tells how far the figure depends on any one stretch, which counts
    // noise and the slow beats of a nearby tone alike. Frames share samples with their
    // neighbours, so a group must span half a frame's length to stand on its own: as many
    // groups as half frame lengths fit in the stretch that holds 95 % of the weight, at most
    // kGrupos.
    double acumulado = 0.0;
    std::int64_t alcance = 0;
    for (int i = 0; i < usados && acumulado < 0.95 * total; ++i) {
        acumulado += pesos_[static_cast<std::size_t>(i)];
        alcance = recente.centro - quadro(i).centro;
    }
    const int numeroGrupos =
        std::clamp(static_cast<int>(2 * alcance / std::max(comprimento_, 1)), 1, kGrupos);
    std::array<Somas, kGrupos> grupos{};
    Somas todas;
    acumulado = 0.0;
    for (int i = 0; i < usados; ++i) {
        const Quadro& q = quadro(i);
        const double w = pesos_[static_cast<std::size_t>(i)];
        const double t = static_cast<double>(q.centro - recente.centro) / taxa_;
        const int g = std::min(numeroGrupos - 1, static_cast<int>(acumulado / total * numeroGrupos));
        acumulado += w;
        grupos[static_cast<std::size_t>(g)].somar(w, t, q.fase - recente.fase);
    }
    for (const Somas& g : grupos) todas += g;
    const double hz = todas.frequencia(curva);
    if (!std::isfinite(hz)) return a;
    double soma = 0.0, soma2 = 0.0;
    int contados = 0;
    for (int g = 0; g < numeroGrupos; ++g) {
        if (!(grupos[static_cast<std::size_t>(g)].w > 0.0)) continue;
        const double parcial = todas.menos(grupos[static_cast<std::size_t>(g)]).frequencia(curva);
        if (!std::isfinite(parcial)) continue;
        soma += parcial;
        soma2 += parcial * parcial;
        ++contados;
    }
    a.valido = true;
    a.hz = hz;
    if (contados >= 3) {
        // Few groups tell the spread loosely: widened by Student's t for their number (its 95 %
        // point over the normal one's), so that a figure from few frames is not trusted more
        // than it deserves.
        static constexpr std::array<double, kGrupos + 1> kStudent = {0.0,  0.0,  0.0,  2.19, 1.62,
                                                                     1.42, 1.31, 1.25, 1.21};
        const double media = soma / contados;
        a.incertezaHz = kStudent[static_cast<std::size_t>(contados)] *
                        std::sqrt(std::max(0.0, (contados - 1.0) / contados *
                                                    (soma2 - contados * media * media)));
    } else {
        a.incertezaHz = std::numeric_limits<double>::infinity();
    }
    a.duracao = static_cast<double>(recente.centro - quadro(usados - 1).centro) / taxa_;
    return a;
}
