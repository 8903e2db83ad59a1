// The driver library's synthesiser: the cost of playing one event, and the output latency of its
// audio through a desktop sound server.
//
// Latency: a private PulseAudio daemon with a null sink is started (no sound card needed), the
// synthesiser opens on it, and the server's own accounting of the stream is read while a note
// sounds: the audio the server holds for the stream ("Buffer Latency") plus the sink's
// ("Sink Latency"), plus one period of the synthesiser, the longest an event waits before it is
// rendered. The readings start once the new sink has settled at the latency the stream asked for.
// Printed as `LAT mxmidi32_output_ms <worst of 20 readings>` beside the goal `LAT
// mxmidi32_output_goal_ms 25`. The output closes while nothing sounds, so the first note after a
// silence also waits for it to open again: `LAT mxmidi32_first_note_after_silence_ms` adds the
// time that note on took to the stream's latency after it.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>

#include "maxmidi.h"
#include "private_sound_server.h"

namespace {

const std::string kDriver = std::string(TESSARIN_APP_DIR) + "/libMxMidi32.so";
// The synthesiser renders 128 frames at 48 kHz per period (drivers/mxmidi32/synth_output.cpp).
constexpr double kPeriodMs = 128.0 * 1000.0 / 48000.0;

// Buffer plus sink latency of the one playback stream, in ms; negative when not readable.
double streamLatencyMs() {
    const std::string text = testkit::shellOutput("pactl list sink-inputs 2>/dev/null");
    std::smatch buffer, sink;
    static const std::regex bufferRe("Buffer Latency: ([0-9]+) usec");
    static const std::regex sinkRe("Sink Latency: ([0-9]+) usec");
    if (!std::regex_search(text, buffer, bufferRe) || !std::regex_search(text, sink, sinkRe)) {
        return -1.0;
    }
    return (std::stod(buffer[1]) + std::stod(sink[1])) / 1000.0;
}

// The worst of 20 readings of the stream's latency, 50 ms apart, while notes keep sounding (a
// note every half second, so that the output never goes idle). Negative when never readable.
double worstStreamLatencyMs(TMaxMidiOut& out) {
    double worst = -1.0;
    for (int i = 0; i < 20; ++i) {
        if (i % 10 == 0) out.Put(MIDIEVENT{0, 0x90, 40, 127, 0});
        worst = std::max(worst, streamLatencyMs());
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return worst;
}

void measureLatency() {
    std::printf("LAT mxmidi32_output_goal_ms 25\n");
    testkit::PrivateSoundServer server;
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
    // A fresh null sink starts with its default 2 s block; once that has played, the sink runs
    // at the latency the stream asked for. Notes keep the output open meanwhile.
    for (int i = 0; i < 6; ++i) {
        out.Put(MIDIEVENT{0, 0x90, 40, 127, 0});
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    const double running = worstStreamLatencyMs(out);

    // The first note after a silence long enough for the output to close: the time the note on
    // takes (it opens the output again) comes on top of the stream's latency.
    out.Reset();
    for (int i = 0; i < 100 && server.playbackStreams() != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const bool closed = server.playbackStreams() == 0;
    const auto before = std::chrono::steady_clock::now();
    out.Put(MIDIEVENT{0, 0x90, 40, 127, 0});
    const double reopenMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before)
            .count();
    const double afterReopen = worstStreamLatencyMs(out);
    out.Close();
    if (running < 0) {
        std::printf("LAT mxmidi32_output_ms unavailable (no stream reported)\n");
        return;
    }
    std::printf("LAT mxmidi32_output_ms %.2f\n", running + kPeriodMs);
    if (!closed || afterReopen < 0) {
        std::printf("LAT mxmidi32_first_note_after_silence_ms unavailable (%s)\n",
                    closed ? "no stream after the note" : "the output never closed");
        return;
    }
    std::printf("LAT mxmidi32_first_note_after_silence_ms %.2f (note on %.2f + stream %.2f)\n",
                reopenMs + afterReopen + kPeriodMs, reopenMs, afterReopen + kPeriodMs);
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
