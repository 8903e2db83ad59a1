// What the listener hears from the desktop: the reference notes of a standard guitar played
// through a private sound server, recorded from its output sink's monitor. Every note must come
// through whole (no run of eight or more zero samples while it sounds, as an underrun leaves)
// and in tune over its steady part, with the machine idle and with another process keeping both
// cores busy; at a concert pitch of 442 Hz, in tune with it; and half a step down, at E flat.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "afinacao.h"
#include "driver_session.h"
#include "maxmidi.h"
#include "private_sound_server.h"
#include "saida_midi.h"
#include "tone_pitch.h"
#include "tuner_programs.h"

extern char** environ;

using namespace driversession;

namespace {

// A child process with this process's environment; stopped (and waited for) with the object.
class Child {
public:
    explicit Child(std::vector<std::string> args, const std::string& output = "/dev/null") {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    bool running() const { return pid_ > 0; }

private:
    pid_t pid_ = 0;
};

struct Heard {
    long onset = 0, end = 0;  // frames of the recording
};

// The notes in a recording: stretches of sound separated by at least 200 ms of silence.
std::vector<Heard> notesIn(const std::vector<double>& x) {
    std::vector<Heard> notes;
    const long quiet = ms(200);
    long lastLoud = -quiet - 1;
    for (long i = 0; i < static_cast<long>(x.size()); ++i) {
        if (std::fabs(x[i]) <= 30.0) continue;
        if (i - lastLoud > quiet) notes.push_back({i, i});
        notes.back().end = i;
        lastLoud = i;
    }
    return notes;
}

long longestZeroRun(const std::vector<double>& x, long from, long to) {
    long longest = 0, run = 0;
    for (long i = from; i < to && i < static_cast<long>(x.size()); ++i) {
        run = x[i] == 0.0 ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

class DesktopSound : public ::testing::TestWithParam<bool> {};

// Plays `keys` as the main window does (each moved to the concert pitch `la4` as the window
// moves it) through the private server, records the output sink's monitor, and returns the
// recording; another process keeps both cores busy meanwhile when `busy`.
std::vector<double> playAndRecord(const std::string& folder, const std::vector<int>& keys,
                                  double la4, bool busy) {
    const std::string recording = folder + "/heard.raw";
    {
        Child recorder({"parec", "--device=tone.monitor", "--raw", "--format=s16le", "--channels=1",
                        "--rate=48000", "--latency-msec=20"},
                       recording);
        EXPECT_TRUE(recorder.running());
        if (!recorder.running()) return {};
        // The monitor delivers silence as soon as the recorder listens.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (fileFrames(recording) * 2 < ms(100) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::vector<std::unique_ptr<Child>> load;
        if (busy) {
            for (int core = 0; core < 2; ++core) {
                load.push_back(std::make_unique<Child>(
                    std::vector<std::string>{"sh", "-c", "while :; do :; done"}));
            }
        }
        TMaxMidi lib(nullptr, kDriver);
        TMaxMidiOut out;
        out.setMaxMidi(&lib);
        EXPECT_TRUE(out.Open(-1, 78624));
        if (!out.IsOpen()) return {};
        selectProgramsAsTheTuner(out);
        const SaidaMIDI::Transposicao t = SaidaMIDI::transposicao(1200.0 * std::log2(la4 / 440.0));
        if (la4 != 440.0) {
            for (const SaidaMIDI::Mensagem& m : SaidaMIDI::mensagensAfinacao(0, t.cents))
                out.Put(MIDIEVENT{0, m.status, m.dado1, m.dado2, 0});
        }
        for (int key : keys) {
            out.Reset();
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            EXPECT_TRUE(
                out.Put(MIDIEVENT{0, 0x90, static_cast<std::uint8_t>(key + t.semitons), 127, 0}));
            std::this_thread::sleep_for(std::chrono::milliseconds(1300));
        }
        out.Reset();
        out.Close();
        // What the recorder has not written out yet reaches its file before it stops.
        std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    }
    return readMono(recording, 1);
}

// Each note heard whole and within half a cent of its equal-tempered pitch at `la4`.
void expectWholeAndInTune(const std::vector<double>& x, const std::vector<int>& keys,
                          double la4) {
    const std::vector<Heard> notes = notesIn(x);
    ASSERT_EQ(notes.size(), keys.size()) << "a note was broken up or missing";
    for (std::size_t n = 0; n < notes.size(); ++n) {
        SCOPED_TRACE("key " + std::to_string(keys[n]) + " at A4 = " + std::to_string(la4));
        const Heard& note = notes[n];
        ASSERT_GE(note.end - note.onset, ms(1000));
        EXPECT_LT(longestZeroRun(x, note.onset, note.onset + ms(1000)), 8);
        const double cents =
            tonepitch::centsFrom(x, note.onset + ms(300), note.onset + ms(1000),
                                 tonepitch::equalTempered(keys[n]) * la4 / 440.0, kRate);
        std::printf("key %d at A4 = %.1f: %+.3f cents\n", keys[n], la4, cents);
        EXPECT_LE(std::fabs(cents), 0.5);
    }
}

bool realTimeBuild() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return false;
#else
    return true;
#endif
}

// The whole check for `keys` at `la4` through a private server of its own. Sound at the pace of
// real time needs the optimised library: built for a sanitizer, the synthesiser cannot keep the
// server fed, and the gaps would be the build's, not ours.
void heardWholeAndInTune(const std::vector<int>& keys, double la4, bool busy) {
    if (!realTimeBuild()) GTEST_SKIP() << "real-time sound is checked in the optimised build";
    testkit::PrivateSoundServer server;
    if (!server.running()) GTEST_SKIP() << "no sound server to play through";
    Watchdog watchdog(std::chrono::seconds(120));
    TemporaryFolder folder;
    Environment environment;
    environment.set("XDG_CACHE_HOME", folder / "cache");
    expectWholeAndInTune(playAndRecord(folder.path(), keys, la4, busy), keys, la4);
}

}  // namespace

TEST_P(DesktopSound, GuitarNotesComeThroughWholeAndInTune) {
    heardWholeAndInTune({40, 45, 50, 55, 59, 64}, 440.0, GetParam());
}

// At A4 = 442 Hz, E2 and A2 as the listener hears them from the sink's monitor.
TEST(DesktopSoundConcertPitch, E2AndA2At442AreHeardWithinHalfACentOf442) {
    heardWholeAndInTune({40, 45}, 442.0, false);
}

// A standard guitar shifted half a step down: its two lowest strings, E flat 2 and A flat 2.
TEST(DesktopSoundShift, HalfAStepDownTheLowStringsAreHeardAtEFlatWithinHalfACent) {
    const Afinacao meioTom =
        Afinacao::deNotas("Guitar", "", {40, 45, 50, 55, 59, 64}).deslocada(-1);
    heardWholeAndInTune({meioTom.getNotaMIDI(0), meioTom.getNotaMIDI(1)}, 440.0, false);
}

INSTANTIATE_TEST_SUITE_P(Machine, DesktopSound, ::testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "BothCoresBusy" : "Idle";
                         });
