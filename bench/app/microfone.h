#pragma once
// The whole-program benchmark's microphone: a PulseAudio pipe source fed at real speed by a
// thread of this process, in blocks of 50 ms. It delivers sound as a microphone's source does,
// in blocks whose size the capturing client's requested latency can govern, whereas a null
// sink's monitor behind a low-latency player hands its clients a small piece every few
// milliseconds whatever they ask for.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace bench {

class Microfone {
public:
    enum class Som { silencio, mi2, alternando };

    Microfone() = default;
    ~Microfone();
    Microfone(const Microfone&) = delete;
    Microfone& operator=(const Microfone&) = delete;

    // Loads the pipe source "mic" (its pipe in `pasta`) into the server that `ambiente` reaches
    // and starts feeding it silence.
    bool abrir(const std::string& pasta, const std::vector<std::string>& ambiente);
    // From now on it hears E2, or E2 and three analyser bins above it alternating every 0.7 s.
    void tocar(Som som) { som_ = som; }
    // Stops feeding the source (before its server goes).
    void fechar();

private:
    void alimentar();
    bool escrever(const std::int16_t* bloco, std::size_t bytes);

    int fd_ = -1;
    std::atomic<Som> som_{Som::silencio};
    std::atomic<bool> fim_{false};
    std::thread thread_;
};

}  // namespace bench
