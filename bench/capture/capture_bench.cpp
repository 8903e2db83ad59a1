// Capture cost and notification latency against a real-time-paced source.
//
// The source is a sound server of our own (testkit::PrivateSoundServer: a private runtime folder,
// started and stopped here) with a null sink named "tone"; paplay plays a 110 Hz tone into it and
// ALSA's default PCM, pointed at the `pulse` plugin, captures the sink's monitor at real speed.
//
//   RATIO capture_cpu/realtime  CPU time of this process while a TRecorder (4069-frame buffers,
//                               11025 Hz, mono, 8 bits) captures for 10 s, divided by the real
//                               time it took (the timer may run a little long).
//   LAT notify_ms               median time from the capture thread marking a 256-frame buffer
//                               done to its MM_WIM_DATA running on this (idle) thread.

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "errors.h"
#include "private_sound_server.h"
#include "recorder.h"
#include "tone.h"
#include "wavein.h"

extern char** environ;

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double monotonicSeconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

std::uint64_t monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::uint64_t>(t.tv_sec) * 1000000000u +
           static_cast<std::uint64_t>(t.tv_nsec);
}

// The private sound server with its null sink, and the tone player.
class PacedSource {
public:
    bool start() {
        if (!server_.running()) return false;
        char name[] = "/tmp/tessarin-tone-XXXXXX";
        if (mkdtemp(name) == nullptr) return false;
        dir_ = name;
        const std::string raw = dir_ + "/tone.raw";
        const auto tone = sineTone8(110.0, 11025, 11025 * 60);
        std::ofstream(raw, std::ios::binary)
            .write(reinterpret_cast<const char*>(tone.data()),
                   static_cast<std::streamsize>(tone.size()));
        std::vector<std::string> args = {
            "paplay", "--raw", "--format=u8", "--channels=1", "--rate=11025", "--device=tone", raw};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&player_, "paplay", nullptr, nullptr, argv.data(), environ) != 0)
            player_ = 0;
        return true;
    }

    const std::string& kind() const { return server_.kind(); }

    ~PacedSource() {
        if (player_ > 0) {
            kill(player_, SIGTERM);
            waitpid(player_, nullptr, 0);
        }
        std::error_code ec;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
    }

private:
    testkit::PrivateSoundServer server_;
    std::string dir_;
    pid_t player_ = 0;
};

void runLoop(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU of capturing 10 s with the tuner's recorder settings, after the first buffer arrived.
bool measureCpu(double& ratio, long long& frames, double& wall) {
    TRecorder recorder;
    recorder.setAutoStart(false);
    recorder.setBufSize(4069);
    recorder.Quality().setFrequency(11025);
    long long captured = 0;
    int buffers = 0;
    recorder.OnSample = [&](TComponent*) {
        ++buffers;
        captured += recorder.FrameCount();
    };
    try {
        recorder.Start();
    } catch (const EInOutError& e) {
        std::printf("# capture could not start: %s (code %d)\n", e.what(), e.ErrorCode());
        return false;
    }
    QEventLoop wait;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (buffers > 0) wait.quit();
    });
    poll.start(5);
    QTimer::singleShot(5000, &wait, &QEventLoop::quit);
    wait.exec();
    poll.stop();
    if (buffers == 0) return false;

    const long long framesBefore = captured;
    const double cpu0 = cpuSeconds(), t0 = monotonicSeconds();
    runLoop(10.0);
    const double cpu1 = cpuSeconds(), t1 = monotonicSeconds();
    recorder.Stop();
    recorder.Release();
    wall = t1 - t0;
    frames = captured - framesBefore;
    ratio = (cpu1 - cpu0) / wall;
    return true;
}

// Latency of MM_WIM_DATA through the layer itself, 256-frame buffers, owner thread idle.
bool measureLatency(double& medianMs, std::size_t& samples) {
    std::vector<double> latencies;
    latencies.reserve(1000);
    constexpr int kBuffers = 4;
    constexpr DWORD kBytes = 256;
    std::vector<char> memory(kBuffers * kBytes);
    WAVEHDR headers[kBuffers];
    HWAVEIN device = nullptr;
    HWND window = AllocateHWnd([&](TMessage& m) {
        if (m.Msg != MM_WIM_DATA) return;
        auto* h = reinterpret_cast<WAVEHDR*>(m.LParam);
        latencies.push_back(static_cast<double>(monotonicNs() - h->reserved) / 1e6);
        waveInAddBuffer(device, h, sizeof(WAVEHDR));
    });
    const auto block = pcmFormatBlock(11025, 1, 8);
    const WAVEFORMATEX format = waveFormatFromBlock(block.data());
    if (waveInOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(window), 0,
                   CALLBACK_WINDOW) != MMSYSERR_NOERROR) {
        DeallocateHWnd(window);
        return false;
    }
    for (int i = 0; i < kBuffers; ++i) {
        headers[i].lpData = memory.data() + i * kBytes;
        headers[i].dwBufferLength = kBytes;
        waveInPrepareHeader(device, &headers[i], sizeof(WAVEHDR));
        waveInAddBuffer(device, &headers[i], sizeof(WAVEHDR));
    }
    waveInStart(device);
    runLoop(6.0);
    waveInReset(device);
    waveInClose(device);
    DeallocateHWnd(window);
    // The first buffers come out of what the device had buffered at start; leave them out.
    if (latencies.size() < 20) return false;
    latencies.erase(latencies.begin(), latencies.begin() + 10);
    std::nth_element(latencies.begin(), latencies.begin() + static_cast<long>(latencies.size() / 2),
                     latencies.end());
    medianMs = latencies[latencies.size() / 2];
    samples = latencies.size();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    PacedSource source;
    if (!source.start()) {
        std::printf(
            "# capture benchmark: the sound server's null-sink source could not be started; "
            "no real-time-paced source, no figures\n");
        return 1;
    }
    double ratio = 0, wall = 0, medianMs = 0;
    long long frames = 0;
    std::size_t samples = 0;
    if (!measureCpu(ratio, frames, wall)) {
        std::printf("# capture benchmark: no audio from the null sink's monitor\n");
        return 1;
    }
    std::printf(
        "# paced source: %s null sink monitor via ALSA pulse; %lld frames in %.2f s\n",
        source.kind().c_str(), frames, wall);
    std::printf("RATIO capture_cpu/realtime %.5f\n", ratio);
    if (!measureLatency(medianMs, samples)) {
        std::printf("# capture benchmark: too few buffers for the latency measurement\n");
        return 1;
    }
    std::printf("# notification latency: median of %zu buffers of 256 frames\n", samples);
    std::printf("LAT notify_ms %.3f\n", medianMs);
    return 0;
}
