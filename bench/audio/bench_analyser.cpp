// The analyser's update against FFTW on the same transform length, and the estimator's tick
// against the analyser's update, measured in the same run. Prints:
//   RATIO analyser_update/fftw_measure <v>   (goal <= 2.0)
//   RATIO estimator_tick/analyser_update <v> (goal <= 0.02)
//   RATIO fine_estimate/analyser_update <v>  (goal <= 0.01)
//   MEM analyser_bytes <n>                   (goal <= 1048576)
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cstdio>
#include <map>
#include <string>

#include "afinacao_notas.h"
#include "estimador_afinacao.h"
#include "fft.h"
#include "replay_source.h"
#include "tone.h"

namespace {

constexpr int kN = 16384;

void BM_AnalyserUpdate(benchmark::State& state) {
    TReplaySource source;
    source.setBufSize(EstimadorAfinacao::kTamanhoBuffer);
    TFFT fft;
    fft.setSource(&source);
    fft.setBufSize(EstimadorAfinacao::kTamanhoFFT);
    const auto tone = sineTone8(110.0, 11025, EstimadorAfinacao::kTamanhoBuffer);
    source.play(tone);
    for (auto _ : state) {
        source.play(tone);  // load 4069 frames + transform
        benchmark::DoNotOptimize(fft.Magnitude(163));
    }
}

void BM_FftwMeasure(benchmark::State& state) {
    fftw_complex* data = fftw_alloc_complex(kN);
    fftw_plan plan = fftw_plan_dft_1d(kN, data, data, FFTW_FORWARD, FFTW_MEASURE);
    const auto tone = sineTone8(110.0, 11025, kN);
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < kN; ++i) {
            data[i][0] = tone[static_cast<std::size_t>(i)] * 64.0 - 8192.0;
            data[i][1] = 0.0;
        }
        state.ResumeTiming();
        fftw_execute(plan);
        benchmark::DoNotOptimize(data[163][0]);
    }
    fftw_destroy_plan(plan);
    fftw_free(data);
}

const Afinacao& violao() {
    static const Afinacao a = afinacaoDeNotas("Guitar", {40, 45, 50, 55, 59, 64});
    return a;
}

// A reading of every string in turn, as the display tick takes it, on the spectrum of a tone.
template <class Leitura>
void tickPorCorda(benchmark::State& state, Leitura leitura) {
    TReplaySource source;
    source.setBufSize(EstimadorAfinacao::kTamanhoBuffer);
    TFFT fft;
    fft.setSource(&source);
    fft.setBufSize(EstimadorAfinacao::kTamanhoFFT);
    for (int b = 0; b < 5; ++b) source.play(sineTone8(200.0, 11025, 4069, 100.0, b * 4069LL));
    EstimadorAfinacao estimador;
    estimador.setAfinacao(&violao());
    estimador.calcularDesvios();
    int corda = 0;
    for (auto _ : state) {
        estimador.setCordaSelecionada(corda);
        benchmark::DoNotOptimize(leitura(estimador, fft));
        corda = (corda + 1) % 6;
    }
}

void BM_EstimatorTick(benchmark::State& state) {
    tickPorCorda(state, [](const EstimadorAfinacao& e, const TFFT& f) { return e.desvio(f); });
}

void BM_FineEstimate(benchmark::State& state) {
    tickPorCorda(state, [](const EstimadorAfinacao& e, const TFFT& f) { return e.desvioCents(f); });
}

BENCHMARK(BM_AnalyserUpdate);
BENCHMARK(BM_FftwMeasure);
BENCHMARK(BM_EstimatorTick);
BENCHMARK(BM_FineEstimate);

// Keeps each benchmark's time per iteration so the ratios can be printed after the run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs)
            if (r.iterations > 0) perIteration[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> perIteration;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& t = reporter.perIteration;
    const double update = t["BM_AnalyserUpdate"], fftw = t["BM_FftwMeasure"],
                 tick = t["BM_EstimatorTick"], fine = t["BM_FineEstimate"];
    if (fftw > 0) std::printf("RATIO analyser_update/fftw_measure %.3f\n", update / fftw);
    if (update > 0) std::printf("RATIO estimator_tick/analyser_update %.4f\n", tick / update);
    if (update > 0) std::printf("RATIO fine_estimate/analyser_update %.4f\n", fine / update);

    TReplaySource source;
    source.setBufSize(EstimadorAfinacao::kTamanhoBuffer);
    TFFT fft;
    fft.setSource(&source);
    fft.setBufSize(EstimadorAfinacao::kTamanhoFFT);
    source.open();
    std::printf("MEM analyser_bytes %zu\n", fft.memoryBytes());
    return 0;
}
