// The driver library's idle closing of its audio output, with a scripted output: opens, closes
// and "still sounding" answers are counted and chosen by the test.

#include "audio_on_demand.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using mxmidi::AudioOnDemand;

struct ScriptedOutput {
    std::atomic<int> opens{0};
    std::atomic<int> closes{0};
    std::atomic<bool> openFails{false};
    std::atomic<bool> sounding{false};
    std::atomic<bool> open{true};  // starts open, as the library hands it over

    std::unique_ptr<AudioOnDemand> watch(std::chrono::milliseconds grace) {
        return std::make_unique<AudioOnDemand>(
            [this] {
                if (openFails) return false;
                ++opens;
                open = true;
                return true;
            },
            [this] {
                ++closes;
                open = false;
            },
            [this] { return sounding.load(); }, grace, 5ms);
    }
};

// Waits up to two seconds for `done`; the grace periods below are tens of milliseconds.
template <typename Done>
bool eventually(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(AudioOnDemand, ClosesWhenQuietAndReopensForTheNextSound) {
    ScriptedOutput out;
    auto audio = out.watch(40ms);
    ASSERT_TRUE(eventually([&] { return !audio->isOpen(); }));
    EXPECT_EQ(out.closes, 1);
    EXPECT_FALSE(out.open);

    // A sound reopens the output before it starts, and the output stays open while it sounds.
    bool startedWhileOpen = false;
    EXPECT_TRUE(audio->play([&] {
        startedWhileOpen = out.open;
        out.sounding = true;
    }));
    EXPECT_TRUE(startedWhileOpen);
    EXPECT_EQ(out.opens, 1);
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(audio->isOpen());
    EXPECT_EQ(out.closes, 1);

    // Once it has died away, the output closes again after the grace period, not before (the
    // watcher last saw the sound up to one 5 ms poll before it ended).
    const auto silent = std::chrono::steady_clock::now();
    out.sounding = false;
    ASSERT_TRUE(eventually([&] { return !audio->isOpen(); }));
    EXPECT_GE(std::chrono::steady_clock::now() - silent, 40ms - 5ms);
    EXPECT_EQ(out.closes, 2);

    // Sounds in a row while open do not reopen it.
    EXPECT_TRUE(audio->play([] {}));
    EXPECT_TRUE(audio->play([] {}));
    EXPECT_EQ(out.opens, 2);
}

TEST(AudioOnDemand, ASoundThatCannotReopenTheOutputIsNotStarted) {
    ScriptedOutput out;
    auto audio = out.watch(10ms);
    ASSERT_TRUE(eventually([&] { return !audio->isOpen(); }));
    out.openFails = true;
    bool started = false;
    EXPECT_FALSE(audio->play([&] { started = true; }));
    EXPECT_FALSE(started);
    EXPECT_FALSE(audio->isOpen());

    // The output comes back once it can open again.
    out.openFails = false;
    EXPECT_TRUE(audio->play([&] { started = true; }));
    EXPECT_TRUE(started);
    EXPECT_TRUE(audio->isOpen());
}

TEST(AudioOnDemand, DestructionClosesAnOpenOutputExactlyOnce) {
    ScriptedOutput open;
    open.watch(10s).reset();
    EXPECT_EQ(open.closes, 1);

    ScriptedOutput closed;
    {
        auto audio = closed.watch(10ms);
        ASSERT_TRUE(eventually([&] { return !audio->isOpen(); }));
    }
    EXPECT_EQ(closed.closes, 1);
}

TEST(AudioOnDemand, AnOutputThatMustStayOpenIsNeverClosedWhileInUse) {
    ScriptedOutput out;
    auto audio = out.watch(AudioOnDemand::kNeverClose);
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(audio->isOpen());
    EXPECT_TRUE(audio->play([] {}));
    EXPECT_EQ(out.opens, 0);
    audio.reset();
    EXPECT_EQ(out.closes, 1);
}

// Sounds started from several threads while the watcher closes and reopens the output: every
// sound starts with the output open, and opens and closes alternate.
TEST(AudioOnDemand, ConcurrentSoundsAlwaysFindTheOutputOpen) {
    ScriptedOutput out;
    auto audio = out.watch(1ms);
    std::atomic<int> startedClosed{0};
    // Each round starts with the output closed, so four players race to reopen it; their short
    // pauses let the watcher close it again under their feet while they play.
    constexpr int kRounds = 4;
    for (int round = 0; round < kRounds; ++round) {
        ASSERT_TRUE(eventually([&] { return !audio->isOpen(); }));
        std::vector<std::thread> players;
        for (int t = 0; t < 4; ++t) {
            players.emplace_back([&] {
                for (int i = 0; i < 50; ++i) {
                    audio->play([&] { startedClosed += !out.open; });
                    std::this_thread::sleep_for(std::chrono::microseconds(100 * (i % 30)));
                }
            });
        }
        for (auto& p : players) p.join();
    }
    audio.reset();
    EXPECT_EQ(startedClosed, 0);
    EXPECT_EQ(out.closes, out.opens + 1);
    EXPECT_GE(out.opens, kRounds);
}

}  // namespace
