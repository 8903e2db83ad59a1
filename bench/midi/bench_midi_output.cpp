// The driver library's synthesiser: the cost of playing one event, and the output latency of its
// audio through a desktop sound server.
//
// Latency: a private PulseAudio daemon with a null sink is started (no sound card needed), the
// synthesiser opens on it, and the server's own accounting of the stream is read while a note
// sounds: the audio the server holds for the stream ("Buffer Latency") plus the sink's
// ("Sink Latency"), plus one period of the synthesiser, the longest an event waits before it is
// rendered. The readings start once the new sink has settled at the latency the stream asked for.
// Printed as `LAT mxmidi32_output_ms <worst of 20 readings>` beside the goal `LAT
// mxmidi32_output_goal_ms 50`. The output pauses (its stream corked) while nothing sounds, so the
// first note after a silence also waits for it to play again: `LAT mxmidi32_heard_open_ms` and
// `LAT mxmidi32_heard_after_silence_ms` time a note on to its sound on the sink's monitor with the
// output playing and with the output paused, and `LAT mxmidi32_heard_notes_with_gaps` counts those
// notes whose first second on the monitor holds a run of eight or more zero samples (an
// underrun).

#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "maxmidi.h"
#include "private_sound_server.h"

extern char** environ;

namespace {

const std::string kDriver = std::string(TESSARIN_APP_DIR) + "/libMxMidi32.so";
// The synthesiser's sound server asks for 6 ms at a time (drivers/mxmidi32/server_output.cpp).
constexpr double kPeriodMs = 6.0;

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

// Listens to the null sink's monitor through parec (2 ms blocks, 2 ms latency asked for) and
// keeps the arrival time and peak of every block.
class MonitorListener {
public:
    MonitorListener() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<std::string> args = {"parec",           "--device=tone.monitor", "--raw",
                                         "--format=s16le",  "--channels=1",          "--rate=48000",
                                         "--latency-msec=2"};
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        const bool spawned =
            ::posix_spawnp(&recorder_, "parec", &actions, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (!spawned) {
            ::close(fds[0]);
            recorder_ = 0;
            return;
        }
        input_ = fds[0];
        reader_ = std::thread([this] { read(); });
    }
    ~MonitorListener() {
        if (recorder_ > 0) {
            ::kill(recorder_, SIGTERM);
            ::waitpid(recorder_, nullptr, 0);
        }
        if (reader_.joinable()) reader_.join();
        if (input_ >= 0) ::close(input_);
    }
    bool running() const { return recorder_ > 0; }

    // Milliseconds from `from` to the first block louder than quiet background heard since;
    // negative when nothing was heard.
    double firstSoundAfter(std::chrono::steady_clock::time_point from) {
        std::lock_guard guard(lock_);
        for (const auto& block : blocks_) {
            if (block.when >= from && block.peak > 300) {
                return std::chrono::duration<double, std::milli>(block.when - from).count();
            }
        }
        return -1.0;
    }

    // Whether the second after the first sound heard since `from` holds a run of eight or
    // more zero samples: the gap an underrun leaves in a note.
    bool gapAfter(std::chrono::steady_clock::time_point from) {
        std::lock_guard guard(lock_);
        std::size_t first = 0;
        while (first < blocks_.size() && !(blocks_[first].when >= from && blocks_[first].peak > 300))
            ++first;
        int run = 0;
        for (std::size_t b = first; b < blocks_.size() && b < first + 500; ++b) {  // 500 x 2 ms
            for (std::int16_t v : blocks_[b].samples) {
                run = v == 0 ? run + 1 : 0;
                if (run >= 8) return true;
            }
        }
        return false;
    }

private:
    void read() {
        std::int16_t block[96];
        for (;;) {
            std::size_t got = 0;
            while (got < sizeof block) {
                const ssize_t n = ::read(input_, reinterpret_cast<char*>(block) + got,
                                         sizeof block - got);
                if (n <= 0) return;
                got += static_cast<std::size_t>(n);
            }
            Block heard{std::chrono::steady_clock::now(), 0, {}};
            std::copy(std::begin(block), std::end(block), heard.samples.begin());
            for (std::int16_t v : block) heard.peak = std::max(heard.peak, std::abs(static_cast<int>(v)));
            std::lock_guard guard(lock_);
            blocks_.push_back(heard);
        }
    }

    pid_t recorder_ = 0;
    int input_ = -1;
    std::thread reader_;
    std::mutex lock_;
    struct Block {
        std::chrono::steady_clock::time_point when;
        int peak;
        std::array<std::int16_t, 96> samples;
    };
    std::vector<Block> blocks_;
};

// The time from a note on to its sound on the sink's monitor, with the output kept playing (a
// note shortly before) and with the output paused by a silence: the median of five of each.
// Both include the recorder's own latency, so it is the difference that tells what playing
// again costs. (The server's own accounting cannot be used after a silence: an idle null
// sink falls back to its 2 s block and reports that until it has played out.)
void measureHeardLatency(testkit::PrivateSoundServer& server, TMaxMidiOut& out) {
    MonitorListener listener;
    if (!listener.running()) {
        std::printf("LAT mxmidi32_heard_ms unavailable (parec did not start)\n");
        return;
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? -1.0 : v[v.size() / 2];
    };
    std::vector<double> open, reopened;
    int gaps = 0, heardNotes = 0;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    for (int i = 0; i < 10; ++i) {
        const bool afterSilence = i % 2 == 1;
        out.Reset();
        if (afterSilence) {
            for (int k = 0; k < 100 && server.playingStreams() != 0; ++k) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            if (server.playingStreams() != 0) continue;
        } else {
            out.Put(MIDIEVENT{0, 0x90, 28, 1, 0});  // keeps the output open, inaudibly
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            out.Reset();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const auto noteOn = std::chrono::steady_clock::now();
        out.Put(MIDIEVENT{0, 0x90, 40, 127, 0});
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        std::this_thread::sleep_for(std::chrono::milliseconds(600));  // the note's first second
        const double heard = listener.firstSoundAfter(noteOn);
        if (heard >= 0) {
            (afterSilence ? reopened : open).push_back(heard);
            ++heardNotes;
            gaps += listener.gapAfter(noteOn) ? 1 : 0;
        }
    }
    if (open.empty() || reopened.empty()) {
        std::printf("LAT mxmidi32_heard_ms unavailable (the monitor heard nothing)\n");
        return;
    }
    std::printf("LAT mxmidi32_heard_open_ms %.2f\n", median(open));
    std::printf("LAT mxmidi32_heard_after_silence_ms %.2f\n", median(reopened));
    // Notes of those ten with a gap (a run of eight or more zero samples) in their first second.
    std::printf("LAT mxmidi32_heard_notes_with_gaps %d of %d\n", gaps, heardNotes);
}

void measureLatency() {
    // A note's sound is buffered for about 40 ms so that it does not break up on a loaded
    // machine; note on to sound must stay within 50 ms.
    std::printf("LAT mxmidi32_output_goal_ms 50\n");
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
    if (running < 0) {
        std::printf("LAT mxmidi32_output_ms unavailable (no stream reported)\n");
    } else {
        std::printf("LAT mxmidi32_output_ms %.2f\n", running + kPeriodMs);
    }
    measureHeardLatency(server, out);
    out.Close();
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
