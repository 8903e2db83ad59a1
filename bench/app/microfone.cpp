#include "microfone.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>

#include "processo.h"

namespace bench {

namespace {

constexpr int kTaxa = 44100;
constexpr int kQuadrosPorBloco = kTaxa / 20;  // 50 ms
constexpr double kMi2 = 82.4069;
constexpr double kTresBinsAcima = 125.0 * 11025.0 / 16384.0;
constexpr double kTrechoSegundos = 0.7;

}  // namespace

Microfone::~Microfone() {
    fechar();
}

void Microfone::fechar() {
    fim_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool Microfone::abrir(const std::string& pasta, const std::vector<std::string>& ambiente) {
    const std::string tubo = pasta + "/mic.fifo";
    if (executar({"pactl", "load-module", "module-pipe-source", "source_name=mic", "file=" + tubo,
                  "format=s16le", "rate=44100", "channels=1"},
                 ambiente) != 0)
        return false;
    // The source keeps its pipe open for reading, so this does not wait.
    fd_ = ::open(tubo.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) return false;
    thread_ = std::thread([this] { alimentar(); });
    return true;
}

void Microfone::alimentar() {
    std::int16_t bloco[kQuadrosPorBloco];
    double fase = 0.0;
    std::int64_t quadro = 0;
    auto proximo = Relogio::now();
    while (!fim_) {
        const Som som = som_;
        for (int i = 0; i < kQuadrosPorBloco; ++i, ++quadro) {
            double amostra = 0.0;
            if (som != Som::silencio) {
                const bool acima = som == Som::alternando &&
                                   static_cast<std::int64_t>(quadro / (kTrechoSegundos * kTaxa)) % 2;
                fase += 2.0 * M_PI * (acima ? kTresBinsAcima : kMi2) / kTaxa;
                amostra = 12000.0 * std::sin(fase);
            }
            bloco[i] = static_cast<std::int16_t>(amostra);
        }
        if (::write(fd_, bloco, sizeof bloco) < 0) return;
        proximo += std::chrono::milliseconds(50);
        std::this_thread::sleep_until(proximo);
    }
}

}  // namespace bench
