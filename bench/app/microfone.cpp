#include "microfone.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
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
    // The source keeps its pipe open for reading, so this does not wait. Writes do not block:
    // a source nobody records from may stop reading (PipeWire's does), and the feeder must
    // still see the end it is told.
    fd_ = ::open(tubo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
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
        if (!escrever(bloco, sizeof bloco)) return;
        proximo += std::chrono::milliseconds(50);
        // After the source stopped reading for a while the sound goes on from now, as a
        // microphone's would, instead of hurrying to make up for the blocks it missed.
        if (proximo < Relogio::now()) proximo = Relogio::now();
        std::this_thread::sleep_until(proximo);
    }
}

// The whole block, a piece at a time while the pipe is full; false once told to end or when the
// pipe fails.
bool Microfone::escrever(const std::int16_t* bloco, std::size_t bytes) {
    const char* resto = reinterpret_cast<const char*>(bloco);
    while (bytes > 0) {
        if (fim_) return false;
        const ssize_t escritos = ::write(fd_, resto, bytes);
        if (escritos > 0) {
            resto += escritos;
            bytes -= static_cast<std::size_t>(escritos);
        } else if (escritos < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            pollfd espera{fd_, POLLOUT, 0};
            ::poll(&espera, 1, 100);
        }
    }
    return true;
}

}  // namespace bench
