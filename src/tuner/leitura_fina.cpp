#include "leitura_fina.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kCentsPorLn = 1200.0 / 0.69314718055994530942;
// Input is taken in pieces of this many capture samples.
constexpr int kPedaco = 4096;
// The attack left out: this many periods of the target, and at least kAtaqueMinimoS.
constexpr double kPeriodosAtaque = 2.0;
constexpr double kAtaqueMinimoS = 0.010;
// Between notes the level at the target is looked at every kPassoNivelS; the background is
// measured on samples kAtrasoFundoS old, which a stroke would have been found in by then.
constexpr double kPassoNivelS = 0.02;
constexpr double kAtrasoFundoS = 0.06;
// A note has faded once its partial is this far below its peak, or this near the background.
constexpr double kQuedaMaxima = 0.0056;  // -45 dB
constexpr double kAcimaDoFundo = 2.0;    // 6 dB
// A note without a stroke is taken up this far above the background (20 dB) and above this
// amplitude (full scale 1); and again only once the level has come back near the background.
constexpr double kSubidaSemAtaque = 10.0;
constexpr double kRearme = 3.0;
constexpr double kAmplitudeMinima = 1e-4;
// Too uncertain to read for this many ticks in a row: no figure.
constexpr double kIncertezaMaxima = 5.0;
constexpr int kTicksIncertos = 3;
// A figure held across a new stroke until the new note's first figure, at most this long.
constexpr double kSeguraS = 0.4;
}  // namespace

LeituraFina::LeituraFina() = default;

void LeituraFina::preparar(int taxaCaptura) {
    taxaCaptura_ = std::max(taxaCaptura, 1);
    const int fator = std::max(1, static_cast<int>(std::lround(taxaCaptura_ / kTaxaAnalise)));
    taxaAnalise_ = taxaCaptura_ / fator;
    decimador_.preparar(fator);
    anel_.preparar(static_cast<int>(kSegundosGuardados * taxaAnalise_));
    decimadas_.assign(static_cast<std::size_t>(kPedaco / fator + 2), 0.0f);
    const int maiorQuadro =
        static_cast<int>(std::ceil(RastreadorFase::kPeriodos * taxaAnalise_ / kMenorHz)) + 1;
    grossa_.preparar(taxaAnalise_, 2 * maiorQuadro);
    trecho_.assign(static_cast<std::size_t>(grossa_.maxAmostras()), 0.0f);
    for (RastreadorFase& r : rastreadores_) r.preparar(taxaAnalise_, kMenorHz, 4096);
    fundo_.preparar(taxaAnalise_, maiorQuadro);
    setAlvo(alvo_);
    reiniciar();
}

void LeituraFina::setAlvo(double hz) {
    alvo_ = hz > 0.0 && std::isfinite(hz) ? hz : 0.0;
    menorHz_ = std::max(alvo_ * (1.0 - kFaixa), kMenorHz);
    maiorHz_ = std::max(alvo_ * (1.0 + kFaixa), menorHz_);
    if (taxaAnalise_ == 0) return;
    detector_.preparar(taxaAnalise_, menorHz_);
    for (RastreadorFase& r : rastreadores_) r.configurar(menorHz_);
    fundo_.configurar(rastreador().janela(), rastreador().comprimento(), rastreador().ganho());
    etapa_ = Etapa::silencio;
    proximoNivel_ = proximoFundo_ = anel_.total();
    armado_ = true;
    estado_ = Estado{};
}

void LeituraFina::reiniciar() {
    anel_.limpar();
    decimador_.preparar(decimador_.fator());
    detector_.limpar();
    for (RastreadorFase& r : rastreadores_) r.limpar();
    fundo_.limpar();
    etapa_ = Etapa::silencio;
    proximoNivel_ = proximoFundo_ = fimNota_ = 0;
    armado_ = true;
    estado_ = Estado{};
}

void LeituraFina::acrescentar(const float* amostras, int n) {
    if (taxaAnalise_ == 0 || alvo_ <= 0.0) return;
    while (n > 0) {
        const int pedaco = std::min(n, kPedaco);
        const int m = decimador_.processar(amostras, pedaco, decimadas_.data());
        amostras += pedaco;
        n -= pedaco;
        if (m == 0) continue;
        const std::int64_t primeiro = anel_.total();
        anel_.acrescentar(decimadas_.data(), m);
        if (detector_.processar(decimadas_.data(), m, primeiro)) iniciarNota(detector_.ataque());
        medirFundo();
        if (etapa_ == Etapa::aguardando) tentarEstimativaGrossa();
        if (etapa_ == Etapa::medindo || etapa_ == Etapa::mostrando) fazerQuadros();
    }
}

void LeituraFina::iniciarNota(std::int64_t inicio) {
    // A note out of silence: what the band held just before it is the background.
    const auto margem = static_cast<std::int64_t>(0.005 * taxaAnalise_);
    if (etapa_ == Etapa::silencio && inicio - margem - rastreador().comprimento() >= fimNota_)
        fundo_.medir(anel_, inicio - margem);
    const double ataque = std::max(kPeriodosAtaque / alvo_, kAtaqueMinimoS);
    inicioNota_ = inicio + static_cast<std::int64_t>(std::lround(ataque * taxaAnalise_));
    // The figure of a note being shown is held until the new one's first figure.
    if (etapa_ != Etapa::mostrando) estado_.mostrando = false;
    etapa_ = Etapa::aguardando;
    for (RastreadorFase& r : rastreadores_) r.limpar();
    picoAmplitude_.fill(0.0);
    ticksIncertos_ = 0;
    estado_.ataque = inicio;
    ++estado_.ataques;
}

void LeituraFina::tentarEstimativaGrossa() {
    const int comprimento = rastreador().comprimento();
    const std::int64_t disponiveis = anel_.total() - std::max(inicioNota_, anel_.inicio());
    if (disponiveis < comprimento) return;
    const int n = static_cast<int>(std::min<std::int64_t>(disponiveis, grossa_.maxAmostras()));
    const std::int64_t primeiro = anel_.total() - n;
    anel_.copiar(primeiro, n, trecho_.data());
    const EstimativaGrossa::Resultado r = grossa_.estimar(trecho_.data(), n, menorHz_, maiorHz_);
    if (!r.valido) {
        encerrarNota();
        return;
    }
    fundamental_ = r.hzParcial / r.parcial;
    parciais_ = 1;
    while (parciais_ < kParciais && (parciais_ + 1) * maiorHz_ < 0.45 * taxaAnalise_) ++parciais_;
    proximoCentro_ = std::max(inicioNota_, anel_.inicio()) + comprimento / 2;
    etapa_ = Etapa::medindo;
    fazerQuadros();
}

void LeituraFina::fazerQuadros() {
    const int meio = rastreador().comprimento() / 2;
    while (proximoCentro_ + meio < anel_.total()) {
        if (proximoCentro_ - meio < anel_.inicio()) {  // fell behind the ring: skip ahead
            proximoCentro_ = anel_.inicio() + meio;
            continue;
        }
        for (int k = 0; k < parciais_; ++k) {
            const double hz = (k + 1) * fundamental_;
            RastreadorFase& r = rastreadores_[static_cast<std::size_t>(k)];
            r.acrescentar(proximoCentro_, r.quadro(anel_, proximoCentro_, hz), hz);
        }
        proximoCentro_ += rastreador().passo();
    }
}

void LeituraFina::medirFundo() {
    if (etapa_ != Etapa::silencio) return;
    const int comprimento = rastreador().comprimento();
    const std::int64_t total = anel_.total();
    const auto atraso = static_cast<std::int64_t>(kAtrasoFundoS * taxaAnalise_);
    // The background, on samples after the latest note faded.
    while (proximoFundo_ + atraso <= total) {
        const std::int64_t fim = proximoFundo_;
        proximoFundo_ += static_cast<std::int64_t>(EspectroFundo::kPassoS * taxaAnalise_);
        if (fim - comprimento >= fimNota_) fundo_.medir(anel_, fim);
    }
    // A note that grows without a stroke.
    while (proximoNivel_ <= total) {
        const std::int64_t fim = proximoNivel_;
        proximoNivel_ += static_cast<std::int64_t>(kPassoNivelS * taxaAnalise_);
        if (!anel_.contem(fim - comprimento, comprimento)) continue;
        const double nivel =
            std::abs(rastreador().quadro(anel_, fim - comprimento / 2 - 1, alvo_));
        if (!fundo_.medido()) continue;  // what sounds from the start is the background
        const double fundo = fundo_.magnitude(alvo_);
        if (nivel < kRearme * fundo) armado_ = true;
        if (armado_ && nivel > kSubidaSemAtaque * fundo && nivel > kAmplitudeMinima) {
            iniciarNota(fim - comprimento);
            return;
        }
    }
}

void LeituraFina::encerrarNota() {
    etapa_ = Etapa::silencio;
    fimNota_ = anel_.total();
    proximoFundo_ = std::max(proximoFundo_, fimNota_);
    proximoNivel_ = std::max(proximoNivel_, fimNota_);
    armado_ = false;
    estado_.nota = false;
    estado_.mostrando = false;
}

LeituraFina::Combinacao LeituraFina::combinar(double tau) {
    Combinacao c;
    std::array<double, kParciais> hz{}, peso{};
    for (int k = 0; k < parciais_; ++k) {
        const RastreadorFase& r = rastreadores_[static_cast<std::size_t>(k)];
        const RastreadorFase::Ajuste a = r.ajustar(tau);
        const double amplitude = r.amplitudeRecente();
        const double fundo = fundo_.magnitude((k + 1) * fundamental_);
        if (!a.valido || !(a.hz > 0.0) || !(a.incertezaHz > 0.0) ||
            amplitude < kAcimaDoFundo * fundo || amplitude < kQuedaMaxima * picoAmplitude_[static_cast<std::size_t>(k)])
            continue;
        hz[static_cast<std::size_t>(k)] = a.hz / (k + 1);
        const double sigma = a.incertezaHz / (k + 1);
        peso[static_cast<std::size_t>(k)] = 1.0 / (sigma * sigma);
    }
    // The mean by certainty; a partial far off the others (beyond 4 of its own sigmas and of
    // theirs) is left out, and the mean taken again.
    for (int volta = 0; volta < 2; ++volta) {
        double somaPeso = 0.0, soma = 0.0;
        for (int k = 0; k < parciais_; ++k) {
            somaPeso += peso[static_cast<std::size_t>(k)];
            soma += peso[static_cast<std::size_t>(k)] * hz[static_cast<std::size_t>(k)];
        }
        if (!(somaPeso > 0.0)) return c;
        c.hz = soma / somaPeso;
        c.incertezaHz = 1.0 / std::sqrt(somaPeso);
        double maiorPeso = 0.0;
        bool excluiu = false;
        for (int k = 0; k < parciais_; ++k) {
            const double p = peso[static_cast<std::size_t>(k)];
            if (!(p > 0.0)) continue;
            const double desvio = std::fabs(hz[static_cast<std::size_t>(k)] - c.hz);
            if (volta == 0 && desvio > 4.0 * (1.0 / std::sqrt(p) + c.incertezaHz) &&
                p < somaPeso) {
                peso[static_cast<std::size_t>(k)] = 0.0;
                excluiu = true;
            }
            if (p > maiorPeso) {
                maiorPeso = p;
                c.parcial = k + 1;
            }
        }
        if (!excluiu) break;
    }
    c.valido = true;
    return c;
}

double LeituraFina::ler() {
    estado_.nota = etapa_ == Etapa::medindo || etapa_ == Etapa::mostrando;
    const double segurado = estado_.mostrando ? 1200.0 * std::log2(estado_.hz / alvo_) : kNaN;
    const double idade = static_cast<double>(anel_.total() - inicioNota_) / taxaAnalise_;
    if (etapa_ != Etapa::mostrando && estado_.mostrando && idade > kSeguraS)
        estado_.mostrando = false;
    if (!estado_.nota) return estado_.mostrando ? segurado : kNaN;
    if (rastreador().quadros() < 3) return estado_.mostrando ? segurado : kNaN;

    // Each partial's amplitude against its peak and the background: the note has faded when
    // none stands out any more.
    bool soa = false;
    for (int k = 0; k < parciais_; ++k) {
        const RastreadorFase& r = rastreadores_[static_cast<std::size_t>(k)];
        double& pico = picoAmplitude_[static_cast<std::size_t>(k)];
        const double amplitude = r.amplitudeRecente();
        pico = std::max(pico, amplitude);
        const double fundo = fundo_.magnitude((k + 1) * fundamental_);
        if (k == 0) {
            estado_.amplitude = amplitude;
            estado_.fundo = fundo;
        }
        if (amplitude >= kAcimaDoFundo * fundo && amplitude >= kQuedaMaxima * pico &&
            amplitude >= 0.1 * kAmplitudeMinima)
            soa = true;
    }
    Combinacao c = soa ? combinar(kTauMinimo) : Combinacao{};
    double incerteza = c.valido ? kCentsPorLn * c.incertezaHz / c.hz : kNaN;
    if (c.valido) {
        // A longer memory for a less certain figure: the spread falls as tau^(3/2).
        double tau = kTauMinimo * std::max(1.0, std::pow(incerteza / kIncertezaAlvo, 2.0 / 3.0));
        tau = std::min({tau, kTauMaximo, std::max(kTauMinimo, idade)});
        if (tau > kTauMinimo) {
            const Combinacao longa = combinar(tau);
            if (longa.valido) {
                c = longa;
                incerteza = kCentsPorLn * c.incertezaHz / c.hz;
            }
        }
        estado_.tau = tau;
    }
    ticksIncertos_ = !c.valido || incerteza > kIncertezaMaxima ? ticksIncertos_ + 1 : 0;
    if (!soa || ticksIncertos_ >= kTicksIncertos) {
        encerrarNota();
        return kNaN;
    }
    if (!c.valido) return estado_.mostrando ? segurado : kNaN;
    fundamental_ = c.hz;
    estado_.parcial = c.parcial;
    estado_.incertezaCents = incerteza;
    if (etapa_ == Etapa::medindo) {
        if (incerteza > kIncertezaPrimeira) return estado_.mostrando ? segurado : kNaN;
        etapa_ = Etapa::mostrando;
    }
    estado_.mostrando = true;
    estado_.hz = c.hz;
    return 1200.0 * std::log2(estado_.hz / alvo_);
}
