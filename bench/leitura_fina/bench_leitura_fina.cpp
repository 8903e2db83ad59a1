// How quickly the fine reading is right after a stroke, as a player sees it: plucked material
// played through the real capture path at real speed into the program's own window (janela_real.h),
// the window's figure read at each of its ticks, and the same material read offline by aubio's
// YIN pitch tracker (which pays no audio latency) and by the fine reading itself (without the
// capture path, to tell the path's share). Each stroke's figures are judged against the note's
// own pitch (exact for synthetic plucks; measured by testkit::alturaPropria for recorded ones).
//
// Prints, for the synthetic plucks, the recorded notes and the room conditions apart:
//   TIME fine_settle1_ms[...median] / [...worst]   stroke to within 1 cent for good
//   TIME fine_settle3_ms[...median]                 the same within 3 cents
//   TIME yin_settle1_ms[...median]                  YIN's, on the same strokes
//   RATIO fine_settle1/yin_settle1[...]             the two medians
//   CENTS fine_steady_sd[...median]                 the figure's spread from 1 s on
//   COUNT fine_never_settled[...], fine_jumps[...]  strokes never within 1 cent for good;
//                                                   readings 50 cents off once within 3
// and a table per stroke into bench-leitura-fina.md in the working folder.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "altura_propria.h"
#include "cordas_sinteticas.h"
#include "janela_real.h"
#include "leitura_fina.h"
#include "material.h"
#include "metrica.h"
#include "yin.h"

namespace {

using namespace bench;

// The fine reading alone, fed as the capture would feed it, a tick every 50 ms.
std::vector<Leitura> lerOffline(const Item& item) {
    LeituraFina leitura;
    leitura.preparar(kTaxa);
    leitura.setAlvo(item.alvoHz);
    std::vector<Leitura> r;
    const int bloco = kTaxa / 100;
    std::vector<float> b(static_cast<std::size_t>(bloco));
    double proximo = 0.025;
    for (std::size_t i = 0; i + bloco <= item.x.size(); i += bloco) {
        for (int k = 0; k < bloco; ++k) b[k] = std::round(item.x[i + k] * 32767.0f) / 32768.0f;
        leitura.acrescentar(b.data(), bloco);
        const double agora = static_cast<double>(i + bloco) / kTaxa;
        for (; proximo <= agora; proximo += 0.05) r.push_back({proximo, leitura.ler()});
    }
    return r;
}

// The own-pitch estimator on exact sines and on synthetic plucks of known pitch: worst errors.
void conferirAlturaPropria() {
    std::mt19937 aleatorio(9);
    std::uniform_real_distribution<double> fase(0.0, 6.283);
    double piorSeno = 0.0, piorPluck = 0.0;
    for (double hz = 30.0; hz < 700.0; hz *= 1.37) {
        std::vector<float> x(kTaxa);
        const double f0 = fase(aleatorio);
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = static_cast<float>(0.3 * std::sin(6.283185307179586 * hz * static_cast<double>(i) / kTaxa + f0));
        for (const auto& a : testkit::alturaPropria(x, kTaxa, hz, 0.1, 0.9, 0.2))
            piorSeno = std::max(piorSeno, std::fabs(1200.0 * std::log2(a.hz / hz)));
        testkit::Pluck p;
        p.hz = hz;
        const std::vector<float> y = testkit::pluck(p, kTaxa, aleatorio);
        for (const auto& a : testkit::alturaPropria(y, kTaxa, hz, 0.15, 2.0, 0.25))
            piorPluck = std::max(piorPluck, std::fabs(1200.0 * std::log2(a.hz / hz)));
    }
    std::printf("own-pitch estimator: worst error %.4f cent on exact sines, %.4f on plucks\n",
                piorSeno, piorPluck);
}

struct Linha {
    const Item* item;
    int toque;
    Figuras real, offline, yin;
};

std::string ms(double s) {
    if (!std::isfinite(s)) return "never";
    char t[32];
    std::snprintf(t, sizeof t, "%.0f", 1000.0 * s);
    return t;
}
std::string cents(double c) {
    if (!std::isfinite(c)) return "-";
    char t[32];
    std::snprintf(t, sizeof t, "%.3f", c);
    return t;
}

void imprimirGrupo(const std::vector<Linha>& linhas, const std::string& rotulo,
                   bool (*dentro)(const Linha&)) {
    std::vector<double> s1, s3, y1, sd, ysd, s1off;
    int nunca = 0, saltos = 0, yNunca = 0, ySaltos = 0, n = 0;
    for (const Linha& l : linhas) {
        if (!dentro(l)) continue;
        ++n;
        s1.push_back(l.real.acerto1);
        s3.push_back(l.real.acerto3);
        s1off.push_back(l.offline.acerto1);
        y1.push_back(l.yin.acerto1);
        sd.push_back(l.real.desvio);
        ysd.push_back(l.yin.desvio);
        nunca += !std::isfinite(l.real.acerto1);
        yNunca += !std::isfinite(l.yin.acerto1);
        saltos += l.real.saltos;
        ySaltos += l.yin.saltos;
    }
    if (n == 0) return;
    const char* r = rotulo.c_str();
    const char* sep = rotulo.empty() ? "" : ",";
    std::printf("TIME fine_settle1_ms[%s%smedian] %s\n", r, sep, ms(mediana(s1)).c_str());
    std::printf("TIME fine_settle1_ms[%s%sworst] %s\n", r, sep, ms(maior(s1)).c_str());
    std::printf("TIME fine_settle3_ms[%s%smedian] %s\n", r, sep, ms(mediana(s3)).c_str());
    std::printf("TIME fine_offline_settle1_ms[%s%smedian] %s\n", r, sep, ms(mediana(s1off)).c_str());
    std::printf("TIME yin_settle1_ms[%s%smedian] %s\n", r, sep, ms(mediana(y1)).c_str());
    // No ratio where either median never settles: "0" or "inf" would read as a figure.
    const double razao = mediana(s1) / mediana(y1);
    const bool comparavel = std::isfinite(mediana(s1)) && std::isfinite(mediana(y1));
    std::printf("RATIO fine_settle1/yin_settle1%s%s%s %s\n", rotulo.empty() ? "" : "[", r,
                rotulo.empty() ? "" : "]",
                comparavel ? cents(razao).c_str() : "n/a (a median never settles)");
    std::printf("CENTS fine_steady_sd[%s%smedian] %s\n", r, sep, cents(mediana(sd)).c_str());
    std::printf("CENTS yin_steady_sd[%s%smedian] %s\n", r, sep, cents(mediana(ysd)).c_str());
    std::printf("COUNT fine_never_settled[%s] %d of %d\n", rotulo.empty() ? "synthetic" : r, nunca, n);
    std::printf("COUNT fine_jumps[%s] %d\n", rotulo.empty() ? "synthetic" : r, saltos);
    std::printf("COUNT yin_never_settled[%s] %d of %d\n", rotulo.empty() ? "synthetic" : r, yNunca, n);
    std::printf("COUNT yin_jumps[%s] %d\n", rotulo.empty() ? "synthetic" : r, ySaltos);
    std::fflush(stdout);
}

void escreverTabela(const std::vector<Linha>& linhas, const std::string& caminho) {
    std::ofstream t(caminho);
    t << "| item | stroke | own pitch moves (cents) | settle 1 c (ms) | settle 3 c (ms) | spread (c) "
         "| offline settle 1 c | YIN settle 1 c | YIN spread |\n|---|---|---|---|---|---|---|---|---|\n";
    for (const Linha& l : linhas) {
        const Toque& toque = l.item->toques[l.toque];
        t << "| " << l.item->nome << " | " << (l.toque == 0 ? "first" : "again") << " | "
          << cents(toque.variacao(l.item->alvoHz)) << " | " << ms(l.real.acerto1) << " | "
          << ms(l.real.acerto3) << " | " << cents(l.real.desvio) << " | " << ms(l.offline.acerto1)
          << " | " << ms(l.yin.acerto1) << " | " << cents(l.yin.desvio) << " |\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    conferirAlturaPropria();
    std::printf("YIN runner: worst error %.3f cent on exact sines\n", conferirYin());

    std::vector<std::string> soundFonts;
    const std::vector<Item> itens = material(soundFonts);
    std::printf("material: %zu items (SoundFonts:", itens.size());
    for (const auto& s : soundFonts) std::printf(" %s", s.c_str());
    std::printf("), about %.0f s to play\n", itens.size() * 6.4);
    std::fflush(stdout);

    char modelo[] = "/tmp/tessarin-bench-leitura-XXXXXX";
    if (mkdtemp(modelo) == nullptr) return 1;
    std::vector<Linha> linhas;
    {
        JanelaReal janela;
        if (!janela.abrir(modelo, argc, argv)) {
            std::printf("fine reading benchmark: the real capture path is not available here\n");
            std::error_code erro;
            std::filesystem::remove_all(modelo, erro);
            return 0;
        }
        std::printf("sound server: %s\n", janela.servidor().c_str());
        const std::vector<std::vector<Leitura>> reais = janela.tocar(itens);
        for (std::size_t i = 0; i < itens.size(); ++i) {
            const std::vector<Leitura> offline = lerOffline(itens[i]);
            const std::vector<Leitura> yin = lerYin(itens[i].x, itens[i].alvoHz);
            for (int k = 0; k < 2; ++k)
                linhas.push_back({&itens[i], k, julgar(reais[i], itens[i].toques[k], itens[i].alvoHz),
                                  julgar(offline, itens[i].toques[k], itens[i].alvoHz),
                                  julgar(yin, itens[i].toques[k], itens[i].alvoHz)});
        }
        std::printf("ticks whose label disagreed with the reading: %d\n", janela.desacordos());
    }
    std::error_code erro;
    std::filesystem::remove_all(modelo, erro);

    imprimirGrupo(linhas, "", [](const Linha& l) { return l.item->grupo == "synthetic"; });
    imprimirGrupo(linhas, "recorded", [](const Linha& l) { return l.item->grupo == "recorded"; });
    imprimirGrupo(linhas, "recorded,steady-pitch", [](const Linha& l) {
        return l.item->grupo == "recorded" && l.item->toques[l.toque].variacao(l.item->alvoHz) <= 0.5;
    });
    imprimirGrupo(linhas, "room", [](const Linha& l) { return l.item->grupo == "room"; });
    for (const std::string c : {"noise", "hum50", "hum60", "quiet", "string"}) {
        static std::string atual;
        atual = c;
        imprimirGrupo(linhas, "room:" + c, [](const Linha& l) { return l.item->condicao == atual; });
    }
    escreverTabela(linhas, "bench-leitura-fina.md");
    std::printf("per-stroke table: bench-leitura-fina.md\n");
    return 0;
}
