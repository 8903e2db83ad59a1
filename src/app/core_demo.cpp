// tessarin-core: runs the tuner's audio core (analyser and pitch estimator) on generated tones
// for the six strings of a standard guitar and prints what it measures.

#include <cstdio>
#include <vector>

#include "estimador_afinacao.h"
#include "fft.h"
#include "replay_source.h"
#include "tone.h"

int main() {
    std::vector<std::string> nomes;
    std::vector<int> notas = {40, 45, 50, 55, 59, 64};
    std::vector<double> freqs;
    for (int n : notas) {
        nomes.push_back(nomeNotaMIDI(n));
        freqs.push_back(frequenciaNotaMIDI(n));
    }
    const Afinacao violao("Guitar", "Standard", 6, nomes, notas, freqs);

    EstimadorAfinacao estimador;
    estimador.setAfinacao(&violao);
    estimador.calcularDesvios();

    std::printf("bin width %.6f Hz\n", estimador.larguraBin());
    std::printf("%-6s %10s %10s %10s %12s\n", "string", "target Hz", "played Hz", "peak Hz",
                "deviation");
    for (int corda = 0; corda < 6; ++corda) {
        for (double detune : {0.0, 1.5}) {
            TReplaySource fonte;
            fonte.setBufSize(EstimadorAfinacao::kTamanhoBuffer);
            TFFT fft;
            fft.setSource(&fonte);
            fft.setBufSize(EstimadorAfinacao::kTamanhoFFT);
            const double played = violao.getFrequencia(corda) + detune;
            for (int b = 0; b < 5; ++b)
                fonte.play(
                    sineTone8(played, 11025, EstimadorAfinacao::kTamanhoBuffer, 100.0,
                              static_cast<long long>(b) * EstimadorAfinacao::kTamanhoBuffer));
            estimador.setCordaSelecionada(corda);
            std::printf("%-6s %10.3f %10.3f %10.3f %+12.4f\n", violao.getNomeNota(corda).c_str(),
                        violao.getFrequencia(corda), played, estimador.frequenciaPico(fft),
                        estimador.desvio(fft));
        }
    }
    return 0;
}
