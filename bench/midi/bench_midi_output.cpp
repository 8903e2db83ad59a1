// The driver library's synthesiser: the cost of playing one event, and the output latency of its
// audio through a desktop sound server.
//
// Latency: a private PulseAudio daemon with a null sink is started (no sound card needed), the
// synthesiser opens on it, and the server's own accounting of the stream is read while a note
// sounds: the audio the server holds for the stream ("Buffer Latency") plus the sink's
// ("Sink Latency"), plus one period of the synthesiser, the longest an event waits before it is
// rendered. The readings start once the new sink has settled at the latency the stream asked for.
// Printed as `LAT mxmidi32_output_ms <worst of 20 readings>` beside the goal `LAT
// mxmidi32_output_goal_ms 25`.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>

#include "maxmidi.h"

namespace {

const std::string kDriver = std::string(TESSARIN_APP_DIR) + "/libMxMidi32.so";
// The synthesiser renders 128 frames at 48 kHz per period (drivers/mxmidi32/synth_output.cpp).
constexpr double kPeriodMs = 128.0 * 1000.0 / 48000.0;

std::string run(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            output.append(buffer, n);
        }
        ::pclose(pipe);
    }
    return output;
}

// A PulseAudio daemon of our own, in a private runtime folder, for as long as the object lives.
class PrivateSoundServer {
public:
    PrivateSoundServer() {
        if (run("command -v pulseaudio >/dev/null && command -v pactl >/dev/null && echo yes") !=
            "yes\n") {
            return;
        }
        char folder[] = "/tmp/tessarin-midi-latency-XXXXXX";
        if (::mkdtemp(folder) == nullptr) return;
        folder_ = folder;
        ::setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
        ::unsetenv("PULSE_SERVER");
        run("pulseaudio -n --daemonize=yes --exit-idle-time=-1 --disable-shm=yes"
            " --load=module-native-protocol-unix"
            " --load='module-null-sink sink_name=tone' >/dev/null 2>&1");
        for (int i = 0; i < 50 && !running_; ++i) {
            running_ = run("pactl info >/dev/null 2>&1 && echo up") == "up\n";
            if (!running_) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    ~PrivateSoundServer() {
        if (!folder_.empty()) {
            run("pulseaudio --kill >/dev/null 2>&1");
            run("rm -rf '" + folder_ + "'");
        }
    }
    bool running() const { return running_; }

private:
    std::string folder_;
    bool running_ = false;
};

// Buffer plus sink latency of the one playback stream, in ms; negative when not readable.
double streamLatencyMs() {
    const std::string text = run("pactl list sink-inputs 2>/dev/null");
    std::smatch buffer, sink;
    static const std::regex bufferRe("Buffer Latency: ([0-9]+) usec");
    static const std::regex sinkRe("Sink Latency: ([0-9]+) usec");
    if (!std::regex_search(text, buffer, bufferRe) || !std::regex_search(text, sink, sinkRe)) {
        return -1.0;
    }
    return (std::stod(buffer[1]) + std::stod(sink[1])) / 1000.0;
}

void measureLatency() {
    std::printf("LAT mxmidi32_output_goal_ms 25\n");
    PrivateSoundServer server;
    if (!server.running()) {
        std::printf("LAT mxmidi32_output_ms unavailable (no PulseAudio to measure with)\n");
        return;
    }
    TMaxMidi lib(nullptr, kDriver);
    TMaxMidiOut out;
    out.setMaxMidi(&lib);
    if (!out.Open(0, 78624)) {
        std::printf("LAT mxmidi32_output_ms unavailable (the synthesiser did not open)\n");
        return;
    }
    out.Put(MIDIEVENT{0, 0xC0, 24, 0, 0});
    out.Put(MIDIEVENT{0, 0x90, 40, 127, 0});
    // A fresh null sink starts with its default 2 s block; once that has played, the sink runs
    // at the latency the stream asked for.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    double worst = -1.0;
    for (int i = 0; i < 20; ++i) {
        worst = std::max(worst, streamLatencyMs());
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    out.Close();
    if (worst < 0) {
        std::printf("LAT mxmidi32_output_ms unavailable (no stream reported)\n");
        return;
    }
    std::printf("LAT mxmidi32_output_ms %.2f\n", worst + kPeriodMs);
}

// One note on and one reset through the component layer into the running synthesiser, rendering
// into a file so that no sound server is needed.
void BM_PutNoteAndReset(benchmark::State& state) {
    char folder[] = "/tmp/tessarin-bench-XXXXXX";
    ::mkdtemp(folder);
    const std::string file = std::string(folder) + "/out.raw";
    ::setenv("MXMIDI32_AUDIO_FILE", file.c_str(), 1);
    {
        TMaxMidi lib(nullptr, kDriver);
        TMaxMidiOut out;
        out.setMaxMidi(&lib);
        if (!out.Open(0, 78624)) {
            state.SkipWithError("the synthesiser did not open");
        } else {
            out.Put(MIDIEVENT{0, 0xC0, 24, 0, 0});
            for (auto _ : state) {
                out.Reset();
                out.Put(MIDIEVENT{0, 0x90, 40, 127, 0});
            }
            out.Close();
        }
    }
    ::unsetenv("MXMIDI32_AUDIO_FILE");
    ::unlink(file.c_str());
    ::rmdir(folder);
}
BENCHMARK(BM_PutNoteAndReset);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    measureLatency();
    return 0;
}
