#include "material.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>

#include "cordas_sinteticas.h"
#include "notas_soundfont.h"

namespace bench {

const char* const kAfinacoes = R"(<?xml version="1.0" encoding="UTF-8"?>
<Afinacoes>
  <Afinacao><instrumento>#VIO</instrumento><tipoAfinacao>#PAD</tipoAfinacao>
    <numeroCordas>6</numeroCordas>
    <frequenciasMIDI><c>40</c><c>45</c><c>50</c><c>55</c><c>59</c><c>64</c></frequenciasMIDI>
  </Afinacao>
  <Afinacao><instrumento>#BAI</instrumento><tipoAfinacao>#PAD</tipoAfinacao>
    <numeroCordas>4</numeroCordas>
    <frequenciasMIDI><c>28</c><c>33</c><c>38</c><c>43</c></frequenciasMIDI>
  </Afinacao>
  <Afinacao><instrumento>#VLN</instrumento><tipoAfinacao>#PAD</tipoAfinacao>
    <numeroCordas>4</numeroCordas>
    <frequenciasMIDI><c>55</c><c>62</c><c>69</c><c>76</c></frequenciasMIDI>
  </Afinacao>
</Afinacoes>
)";

namespace {

constexpr double kSilencioAntes = 0.6;
constexpr double kPrimeiro = 2.0;  // seconds the first stroke rings
constexpr double kSegundo = 2.5;
constexpr double kSilencioDepois = 0.8;

const std::vector<int> kGuitarra = {40, 45, 50, 55, 59, 64};
const std::vector<int> kBaixo = {28, 33, 38, 43};
const std::vector<int> kViolino = {55, 62, 69, 76};

struct Lugar {
    int afinacao;
    int corda;
};
Lugar lugarDe(int nota, int programa) {
    if (programa == 40)
        return {2, static_cast<int>(std::find(kViolino.begin(), kViolino.end(), nota) - kViolino.begin())};
    if (nota < 40 || programa == 32 || programa == 33)
        return {1, static_cast<int>(std::find(kBaixo.begin(), kBaixo.end(), nota) - kBaixo.begin())};
    return {0, static_cast<int>(std::find(kGuitarra.begin(), kGuitarra.end(), nota) - kGuitarra.begin())};
}

const char* nomeNota(int nota) {
    static const char* nomes[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    return nomes[nota % 12];
}
std::string nomeCompleto(int nota) { return nomeNota(nota) + std::to_string(nota / 12 - 1); }

// The two strokes' pitches, alternating between the two peg turns of the material.
std::pair<double, double> centsDe(int i) { return i % 2 == 0 ? std::pair{-12.0, 3.0} : std::pair{10.0, -4.0}; }

Item sintetico(int nota, bool glide, bool fraca, int i, std::mt19937& aleatorio) {
    Item item;
    const auto [c1, c2] = centsDe(i);
    item.nome = nomeCompleto(nota) + (fraca ? " weak fundamental" : glide ? " glide" : " plain");
    item.grupo = "synthetic";
    const Lugar l = lugarDe(nota, 24);
    item.afinacao = l.afinacao;
    item.corda = l.corda;
    item.alvoHz = testkit::hzNota(nota);
    testkit::Pluck p;
    p.glideCents = glide ? 6.0 : 0.0;
    p.fundamentalFraca = fraca;
    p.hz = item.alvoHz * std::pow(2.0, c1 / 1200.0);
    p.segundos = kPrimeiro;
    item.x.assign(static_cast<std::size_t>(kSilencioAntes * kTaxa), 0.0f);
    item.toques[0] = {kSilencioAntes, kSilencioAntes + kPrimeiro, c1, {}};
    testkit::misturar(item.x, testkit::pluck(p, kTaxa, aleatorio), item.x.size());
    p.hz = item.alvoHz * std::pow(2.0, c2 / 1200.0);
    p.segundos = kSegundo;
    item.toques[1] = {kSilencioAntes + kPrimeiro, kSilencioAntes + kPrimeiro + kSegundo, c2, {}};
    testkit::misturar(item.x, testkit::pluck(p, kTaxa, aleatorio), item.x.size());
    item.x.resize(item.x.size() + static_cast<std::size_t>(kSilencioDepois * kTaxa), 0.0f);
    return item;
}

// Until the note has fallen 40 dB below its peak, at most `fim`.
double fimAudivel(const std::vector<float>& x, double inicio, double fim) {
    const auto janela = static_cast<std::size_t>(0.05 * kTaxa);
    double pico = 0.0;
    std::vector<double> niveis;
    for (double t = inicio; t + 0.05 <= fim; t += 0.05) {
        niveis.push_back(testkit::rms(x, static_cast<std::size_t>(t * kTaxa), janela));
        pico = std::max(pico, niveis.back());
    }
    for (std::size_t k = 0; k < niveis.size(); ++k)
        if (niveis[k] < 0.01 * pico && inicio + 0.05 * k > inicio + 0.3) return inicio + 0.05 * k;
    return fim;
}

bool gravado(Item& item, const std::string& soundFont, const std::string& rotulo, int programa,
             int nota, int i) {
    const auto [c1, c2] = centsDe(i);
    const Lugar l = lugarDe(nota, programa);
    item.nome = rotulo + " " + nomeCompleto(nota);
    item.grupo = "recorded";
    item.afinacao = l.afinacao;
    item.corda = l.corda;
    item.alvoHz = testkit::hzNota(nota);
    item.x = testkit::renderizar(soundFont,
                                 {{programa, nota, c1, kPrimeiro, 100}, {programa, nota, c2, kSegundo, 100}},
                                 kTaxa, kSilencioAntes, kSilencioDepois);
    if (item.x.empty()) return false;
    for (int k = 0; k < 2; ++k) {
        Toque& t = item.toques[k];
        t.inicio = kSilencioAntes + k * kPrimeiro;
        t.fim = fimAudivel(item.x, t.inicio, t.inicio + (k == 0 ? kPrimeiro : kSegundo));
        t.centsExatos = k == 0 ? c1 : c2;
        t.altura = testkit::alturaPropria(item.x, kTaxa, item.alvoHz * std::pow(2.0, t.centsExatos / 1200.0),
                                          t.inicio + 0.15, t.fim, 0.05);
    }
    return true;
}

void sala(Item& item, const std::string& condicao, std::mt19937& aleatorio) {
    item.grupo = "room";
    item.condicao = condicao;
    item.nome += " (" + condicao + ")";
    const double nivel = testkit::rms(item.x, static_cast<std::size_t>(kSilencioAntes * kTaxa), kTaxa / 2);
    const std::size_t n = item.x.size();
    if (condicao == "noise") testkit::misturar(item.x, testkit::ruido(n, nivel, 20, aleatorio), 0);
    if (condicao == "hum50") testkit::misturar(item.x, testkit::zumbido(n, kTaxa, nivel, 20, 50), 0);
    if (condicao == "hum60") testkit::misturar(item.x, testkit::zumbido(n, kTaxa, nivel, 20, 60), 0);
    if (condicao == "quiet") {
        // -30 dBFS at its peak.
        float pico = 1e-9f;
        for (float v : item.x) pico = std::max(pico, std::fabs(v));
        for (float& v : item.x) v *= 0.0316f / pico;
    }
    if (condicao == "string") {
        // The neighbouring string of the tuning rings 12 dB below, from before the stroke.
        const std::vector<int>& cordas = item.afinacao == 1 ? kBaixo : item.afinacao == 2 ? kViolino : kGuitarra;
        const int outra = item.corda + 1 < static_cast<int>(cordas.size()) ? cordas[item.corda + 1]
                                                                           : cordas[item.corda - 1];
        testkit::Pluck p;
        p.hz = testkit::hzNota(outra);
        p.segundos = static_cast<double>(n) / kTaxa - (kSilencioAntes - 0.3);
        p.decaimento = 4.0;
        const std::vector<float> corda = testkit::pluck(p, kTaxa, aleatorio);
        const double ganho = std::pow(10.0, -12.0 / 20.0) * nivel / testkit::rms(corda, 0, kTaxa / 2);
        testkit::misturar(item.x, corda, static_cast<std::size_t>((kSilencioAntes - 0.3) * kTaxa), ganho);
        item.x.resize(n);
    }
}

}  // namespace

double Toque::centsEm(double t, double alvoHz) const {
    if (altura.empty()) return centsExatos;
    testkit::AlturaPropria melhor = altura.front();
    for (const auto& a : altura)
        if (std::fabs(a.t - t) < std::fabs(melhor.t - t) && a.hz > 0.0) melhor = a;
    return melhor.hz > 0.0 ? 1200.0 * std::log2(melhor.hz / alvoHz) : centsExatos;
}

double Toque::variacao(double alvoHz) const {
    if (altura.empty()) return 0.0;
    double menor = 1e9, maior = -1e9;
    for (const auto& a : altura) {
        if (a.hz <= 0.0 || a.t < inicio + 0.3) continue;
        const double c = 1200.0 * std::log2(a.hz / alvoHz);
        menor = std::min(menor, c);
        maior = std::max(maior, c);
    }
    return maior >= menor ? maior - menor : 0.0;
}

std::vector<Item> material(std::vector<std::string>& soundFonts) {
    std::mt19937 aleatorio(2024);
    std::vector<Item> itens;
    int i = 0;
    for (int nota : {28, 33, 40, 45, 50, 55, 59, 64}) {
        itens.push_back(sintetico(nota, false, false, i++, aleatorio));
        itens.push_back(sintetico(nota, true, false, i++, aleatorio));
        if (nota < 35) itens.push_back(sintetico(nota, false, true, i++, aleatorio));
    }
    struct Instrumento {
        const char* rotulo;
        int programa;
        std::vector<int> notas;
    };
    const std::vector<Instrumento> instrumentos = {{"nylon", 24, {40, 55, 64}},
                                                   {"steel", 25, {45, 59}},
                                                   {"acoustic bass", 32, {28, 33}},
                                                   {"electric bass", 33, {38}},
                                                   {"violin", 40, {55, 69}}};
    const std::vector<std::pair<std::string, std::string>> fontes = {
        {"TimGM6mb", "/usr/share/sounds/sf2/TimGM6mb.sf2"},
        {"FluidR3_GM", "/usr/share/sounds/sf2/FluidR3_GM.sf2"},
        {"MuseScore_General", "/usr/share/sounds/sf3/MuseScore_General.sf3"}};
    std::vector<Item> gravadosSala;
    for (const auto& [nome, caminho] : fontes) {
        if (!std::filesystem::exists(caminho)) continue;
        soundFonts.push_back(nome);
        for (const Instrumento& inst : instrumentos) {
            for (int nota : inst.notas) {
                Item item;
                if (!gravado(item, caminho, nome + " " + inst.rotulo, inst.programa, nota, i++)) continue;
                if (nome == "FluidR3_GM" && ((inst.programa == 24 && nota == 55) || (inst.programa == 32 && nota == 28)))
                    gravadosSala.push_back(item);
                itens.push_back(std::move(item));
            }
        }
    }
    // The room, on synthetic plucks with a gliding attack and on two recorded notes.
    for (const std::string condicao : {"noise", "hum50", "hum60", "quiet", "string"}) {
        for (int nota : {28, 40, 45, 55, 64}) {
            Item item = sintetico(nota, true, false, i++, aleatorio);
            sala(item, condicao, aleatorio);
            itens.push_back(std::move(item));
        }
        for (Item item : gravadosSala) {
            sala(item, condicao, aleatorio);
            itens.push_back(std::move(item));
        }
    }
    return itens;
}

}  // namespace bench
