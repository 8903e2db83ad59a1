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
// A partial this far below the note's strongest one does not count (-40 dB).
constexpr double kParcialMinimo = 0.01;
// The reference partial gives way to one this much stronger (6 dB).
constexpr double kTrocaReferencia = 2.0;
// Until this age (s) a note's attack may still glide; from kIdadeSemAtaque on, its first
// kZonaAtaque seconds are left out.
constexpr double kNotaJovem = 1.0;
constexpr double kIdadeSemAtaque = 0.75;
constexpr double kZonaAtaque = 0.25;
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
    detectorLivre_.preparar(taxaAnalise_, kLivreMenorHz);
    setAlvo(alvo_);
    reiniciar();
}

void LeituraFina::configurarBanda(double hz) {
    alvo_ = hz > 0.0 && std::isfinite(hz) ? hz : 0.0;
    menorHz_ = std::max(alvo_ * (1.0 - kFaixa), kMenorHz);
    maiorHz_ = std::max(alvo_ * (1.0 + kFaixa), menorHz_);
    if (taxaAnalise_ == 0) return;
    detector_.preparar(taxaAnalise_, menorHz_);
    for (RastreadorFase& r : rastreadores_) r.configurar(menorHz_);
    fundo_.configurar(rastreador().janela(), rastreador().comprimento(), rastreador().ganho());
}

void LeituraFina::setLivre(Escolha escolha) {
    escolha_ = std::move(escolha);
    ataqueLivre_ = -1;
    if (taxaAnalise_ > 0) detectorLivre_.preparar(taxaAnalise_, kLivreMenorHz);
    setAlvo(0.0);
}

void LeituraFina::setAlvo(double hz) {
    configurarBanda(hz);
    if (taxaAnalise_ == 0) return;
    etapa_ = Etapa::silencio;
    proximoNivel_ = proximoFundo_ = anel_.total();
    armado_ = true;
    estado_ = Estado{};
}

void LeituraFina::reiniciar() {
    anel_.limpar();
    decimador_.preparar(decimador_.fator());
    detector_.limpar();
    detectorLivre_.limpar();
    ataqueLivre_ = -1;
    for (RastreadorFase& r : rastreadores_) r.limpar();
    fundo_.limpar();
    etapa_ = Etapa::silencio;
    proximoNivel_ = proximoFundo_ = fimNota_ = 0;
    armado_ = true;
    estado_ = Estado{};
}

void LeituraFina::acrescentar(const float* amostras, int n) {
    if (taxaAnalise_ == 0 || (alvo_ <= 0.0 && !livre())) return;
    while (n > 0) {
        const int pedaco = std::min(n, kPedaco);
        const int m = decimador_.processar(amostras, pedaco, decimadas_.data());
        amostras += pedaco;
        n -= pedaco;
        if (m == 0) continue;
        const std::int64_t primeiro = anel_.total();
        anel_.acrescentar(decimadas_.data(), m);
        if (livre()) {
            if (detectorLivre_.processar(decimadas_.data(), m, primeiro))
                ataqueLivre_ = detectorLivre_.ataque();
            if (ataqueLivre_ >= 0) localizarNota();
        } else if (detector_.processar(decimadas_.data(), m, primeiro)) {
            iniciarNota(detector_.ataque());
        }
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
    tauAnterior_ = 0.0;
    referencia_ = -1;
    ticksIncertos_ = 0;
    estado_.ataque = inicio;
    ++estado_.ataques;
}

void LeituraFina::localizarNota() {
    const auto inicio =
        ataqueLivre_ + static_cast<std::int64_t>(std::lround(kAtaqueMinimoS * taxaAnalise_));
    const int n = std::min(static_cast<int>(kLivreS * taxaAnalise_), grossa_.maxAmostras());
    if (anel_.total() < inicio + n) return;
    const std::int64_t ataque = ataqueLivre_;
    ataqueLivre_ = -1;
    if (!anel_.contem(inicio, n)) return;
    anel_.copiar(inicio, n, trecho_.data());
    const double maior = std::min(kLivreMaiorHz, 0.44 * taxaAnalise_);
    const EstimativaGrossa::Resultado r =
        grossa_.estimarLivre(trecho_.data(), n, kLivreMenorHz, maior);
    if (!r.valido) return;
    const double alvo = escolha_(r.hzParcial / r.parcial);
    if (!(alvo > 0.0)) return;
    // Another target: its band, and the background measured afresh for it; a figure against
    // the old target is not held.
    if (alvo != alvo_) {
        configurarBanda(alvo);
        etapa_ = Etapa::silencio;
        estado_.mostrando = false;
    }
    iniciarNota(ataque);
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
    // A note that grows without a stroke (only where the target is known beforehand).
    while (!livre() && proximoNivel_ <= total) {
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

LeituraFina::Combinacao LeituraFina::combinar(double tau, bool curva) {
    Combinacao c;
    std::array<double, kParciais> hz{}, peso{}, amplitude{};
    double maisForte = 0.0;
    for (int k = 0; k < parciais_; ++k) {
        amplitude[static_cast<std::size_t>(k)] = rastreadores_[static_cast<std::size_t>(k)].amplitudeRecente();
        maisForte = std::max(maisForte, amplitude[static_cast<std::size_t>(k)]);
    }
    int forte = -1;  // the strongest partial that counts
    for (int k = 0; k < parciais_; ++k) {
        const std::size_t i = static_cast<std::size_t>(k);
        const RastreadorFase::Ajuste a = rastreadores_[i].ajustar(tau, curva, desdeQuadro_);
        const double fundo = fundo_.magnitude((k + 1) * fundamental_);
        // A partial counts while it stands above the background, near its own peak, and not
        // far below the note's strongest partial (a pure tone has no second one to speak of).
        if (!a.valido || !(a.hz > 0.0) || !std::isfinite(a.incertezaHz) ||
            amplitude[i] < kAcimaDoFundo * fundo || amplitude[i] < kQuedaMaxima * picoAmplitude_[i] ||
            amplitude[i] < kParcialMinimo * maisForte)
            continue;
        hz[i] = a.hz / (k + 1);
        // A flawless tone's phases lie on the line: its spread may come out as nothing at all.
        const double sigma = std::max(a.incertezaHz, 1e-9 * a.hz) / (k + 1);
        peso[i] = 1.0 / (sigma * sigma);
        if (forte < 0 || amplitude[i] > amplitude[static_cast<std::size_t>(forte)]) forte = k;
    }
    if (forte < 0) return c;
    // The note's reference partial changes only for one clearly stronger: partials of a recorded
    // string may disagree by a few cents, and the figure must not hop between them.
    if (referencia_ >= 0 && referencia_ != forte && peso[static_cast<std::size_t>(referencia_)] > 0.0 &&
        amplitude[static_cast<std::size_t>(forte)] < kTrocaReferencia * amplitude[static_cast<std::size_t>(referencia_)])
        forte = referencia_;
    c.referencia = forte;
    // The mean by certainty of the partials that agree with the strongest (within 4 of their
    // joint sigmas): one that tells another story (a hum line beside it) is left out.
    const std::size_t f = static_cast<std::size_t>(forte);
    double somaPeso = 0.0, soma = 0.0, maiorPeso = 0.0;
    for (int k = 0; k < parciais_; ++k) {
        const std::size_t i = static_cast<std::size_t>(k);
        if (!(peso[i] > 0.0)) continue;
        const double juntos = 1.0 / std::sqrt(peso[i]) + 1.0 / std::sqrt(peso[f]);
        if (i != f && std::fabs(hz[i] - hz[f]) > 4.0 * juntos) continue;
        somaPeso += peso[i];
        soma += peso[i] * hz[i];
        if (peso[i] > maiorPeso) {
            maiorPeso = peso[i];
            c.parcial = k + 1;
        }
    }
    c.valido = true;
    c.hz = soma / somaPeso;
    c.incertezaHz = 1.0 / std::sqrt(somaPeso);
    return c;
}

double LeituraFina::ler() {
    estado_.nota = etapa_ == Etapa::medindo || etapa_ == Etapa::mostrando;
    const double segurado = estado_.mostrando ? 1200.0 * std::log2(estado_.hz / alvo_) : kNaN;
    const double idade = static_cast<double>(anel_.total() - inicioNota_) / taxaAnalise_;
    if (etapa_ != Etapa::mostrando && estado_.mostrando && idade > kSeguraS)
        estado_.mostrando = false;
    if (!estado_.nota) return estado_.mostrando ? segurado : kNaN;
    // A stroke whose note is still to be found: the frames now hold its attack, and the figure
    // shown stays as it is until the new note is read.
    if (livre() && ataqueLivre_ >= 0) return estado_.mostrando ? segurado : kNaN;
    if (rastreador().quadros() < 3) return estado_.mostrando ? segurado : kNaN;

    // Once the note rings on, the frames of its attack are left out of every fit: a string's
    // pitch often glides there.
    desdeQuadro_ = idade >= kIdadeSemAtaque
                       ? inicioNota_ + static_cast<std::int64_t>(kZonaAtaque * taxaAnalise_)
                       : std::numeric_limits<std::int64_t>::min();

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
    // The memory: the longest of kTauMinimo, twice that, ... up to kTauMaximo whose figure is
    // more certain than the shorter ones' and agrees with every one of them within
    // kConcordancia of their uncertainties, each taken from a parabola through the phases (the
    // frequency now, even while it moves). A noisy note is averaged long, since its short figures scatter widely
    // enough to take the longer ones in; a pitch that moves (an attack relaxing, a peg turning)
    // is followed closely. At that memory the line's figure, steadier, is taken when it agrees
    // with the parabola's.
    // The shortest memory is the first one with an uncertainty (a low string needs a few frame
    // lengths).
    Combinacao c;
    double tau = kTauMinimo;
    for (; soa && tau <= kTauMaximo; tau *= 2.0) {
        c = combinar(tau, true);
        if (c.valido) break;
    }
    double incerteza = kNaN;
    if (c.valido) {
        double de = c.hz - kConcordancia * c.incertezaHz, ate = c.hz + kConcordancia * c.incertezaHz;
        for (double t = 2.0 * tau; t <= kTauMaximo; t *= 2.0) {
            const Combinacao longa = combinar(t, true);
            // Early in a note a longer memory is worth it only when it is more certain: one that
            // reaches back to a gliding attack scatters more, not less. (Later, the slow beats of
            // a tone beside the partial make a longer memory look less certain while it is the
            // better one.)
            if (!longa.valido || (idade < kNotaJovem && longa.incertezaHz > c.incertezaHz)) break;
            de = std::max(de, longa.hz - kConcordancia * longa.incertezaHz);
            ate = std::min(ate, longa.hz + kConcordancia * longa.incertezaHz);
            if (de > ate) break;
            c = longa;
            tau = t;
        }
        // The memory shortens by at most half per tick: a chance disagreement of one tick does
        // not throw the figure onto its noisiest estimate, while a pitch that really moves is
        // followed within a few ticks.
        if (tau < 0.5 * tauAnterior_) {
            const Combinacao mantida = combinar(0.5 * tauAnterior_, true);
            if (mantida.valido) {
                c = mantida;
                tau = 0.5 * tauAnterior_;
            }
        }
        tauAnterior_ = tau;
        const Combinacao linha = combinar(tau, false);
        if (linha.valido && std::fabs(linha.hz - c.hz) <= kConcordancia * c.incertezaHz) c = linha;
        incerteza = kCentsPorLn * c.incertezaHz / c.hz;
        estado_.tau = tau;
    }
    // A figure shown that has become too uncertain for a few ticks: the note is lost.
    const bool incerta = !c.valido || incerteza > kIncertezaMaxima;
    ticksIncertos_ = incerta && etapa_ == Etapa::mostrando ? ticksIncertos_ + 1 : 0;
    if (!soa || ticksIncertos_ >= kTicksIncertos) {
        encerrarNota();
        return kNaN;
    }
    if (!c.valido) return estado_.mostrando ? segurado : kNaN;
    fundamental_ = c.hz;
    referencia_ = c.referencia;
    estado_.parcial = c.parcial;
    estado_.incertezaCents = incerteza;
    if (etapa_ == Etapa::medindo) {
        // The first figure once it is good; one that stays less certain (a low string beside a
        // hum) is shown a little later all the same, rather than nothing while the note rings.
        const bool boa = incerteza <= kIncertezaPrimeira ||
                         (idade >= kEsperaIncerta && incerteza <= kIncertezaTardia);
        if (!boa) return estado_.mostrando ? segurado : kNaN;
        etapa_ = Etapa::mostrando;
    }
    estado_.mostrando = true;
    estado_.hz = c.hz;
    // The free reading follows a pitch that has left its target to the next one (asked with
    // figures good enough to show only: an early, uncertain one could be tens of cents off).
    if (livre() && incerteza <= kIncertezaTardia) {
        const double alvo = escolha_(c.hz);
        if (alvo > 0.0 && alvo != alvo_) {
            alvo_ = alvo;
            menorHz_ = std::max(alvo_ * (1.0 - kFaixa), kMenorHz);
            maiorHz_ = std::max(alvo_ * (1.0 + kFaixa), menorHz_);
        }
    }
    return 1200.0 * std::log2(estado_.hz / alvo_);
}
