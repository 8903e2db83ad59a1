// The background measuring of a preset's keys, with the driver's own sources and a real
// SoundFont: what it measures first, that each key is in the cache as soon as it is measured (so
// that a stopped program resumes), and that it measures gently.

#include "key_corrections.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "key_order.h"
#include "pitch_cache.h"

namespace {

constexpr const char* kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
const std::pair<int, int> kGuitar{0, 24};

double processCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

class KeyCorrectionsTest : public testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kSoundFont)) GTEST_SKIP() << kSoundFont << " not installed";
        char pattern[] = "/tmp/key-corrections-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        ::setenv("XDG_CACHE_HOME", folder_.c_str(), 1);
        stamp_ = *mxmidi::stampSoundFont(kSoundFont);
        file_ = mxmidi::pitchCacheFile(stamp_.path);
    }
    void TearDown() override {
        if (!folder_.empty()) std::filesystem::remove_all(folder_);
    }

    // The guitar's keys the cache file holds now, in key order.
    std::vector<int> cachedKeys() const {
        mxmidi::CorrectionTable table = mxmidi::loadPitchCache(file_, stamp_);
        std::vector<int> keys;
        for (int k = 0; k < 128; ++k) {
            if (table[kGuitar].keys[k]) keys.push_back(k);
        }
        return keys;
    }

    // Waits until the cache holds at least `count` of the guitar's keys; false after 30 s.
    bool waitForKeys(std::size_t count) const {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (cachedKeys().size() < count) {
            if (std::chrono::steady_clock::now() > limit) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    std::string folder_, file_;
    mxmidi::SoundFontStamp stamp_;
};

}  // namespace

TEST_F(KeyCorrectionsTest, APlayedKeyIsInTheCacheAsSoonAsItIsMeasured) {
    mxmidi::KeyCorrections corrections(kSoundFont);
    const auto c = corrections.get(kGuitar.first, kGuitar.second, 64);
    ASSERT_TRUE(c);
    EXPECT_NEAR(c->tuning, 6400.0, 100.0);
    // Not when the program ends: now, while it runs.
    const std::vector<int> keys = cachedKeys();
    ASSERT_FALSE(keys.empty());
    EXPECT_NE(std::find(keys.begin(), keys.end(), 64), keys.end());
    EXPECT_DOUBLE_EQ(mxmidi::loadPitchCache(file_, stamp_)[kGuitar].keys[64]->tuning, c->tuning);
}

// The strings' keys come first, in the shared order; a second run goes on from where the first
// stopped and keeps what it measured; and the background takes a small share of a core.
TEST_F(KeyCorrectionsTest, TheBackgroundMeasuresTheStringsFirstGentlyAndResumes) {
    const std::vector<int>& order = mxmidi::measuringOrder();
    {
        mxmidi::KeyCorrections corrections(kSoundFont);
        const double cpu0 = processCpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        corrections.setWanted({kGuitar});
        ASSERT_TRUE(waitForKeys(5));
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        // About a fourteenth of a core once it runs, the loading of its synthesiser included.
        EXPECT_LT((processCpuSeconds() - cpu0) / wall, 0.15);
    }
    const std::vector<int> firstRun = cachedKeys();
    ASSERT_GE(firstRun.size(), 5u);
    std::vector<int> expected(order.begin(), order.begin() + static_cast<long>(firstRun.size()));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(firstRun, expected);
    const mxmidi::CorrectionTable before = mxmidi::loadPitchCache(file_, stamp_);

    mxmidi::KeyCorrections corrections(kSoundFont);
    corrections.setWanted({kGuitar});
    ASSERT_TRUE(waitForKeys(firstRun.size() + 1));
    // The second run's keys are the order's next ones: the first run's, then those after them.
    const std::vector<int> secondRun = cachedKeys();
    std::vector<int> next(order.begin(), order.begin() + static_cast<long>(secondRun.size()));
    std::sort(next.begin(), next.end());
    EXPECT_EQ(secondRun, next);
    const mxmidi::CorrectionTable after = mxmidi::loadPitchCache(file_, stamp_);
    for (int key : firstRun) {
        EXPECT_EQ(after.at(kGuitar).keys[key]->tuning, before.at(kGuitar).keys[key]->tuning) << key;
    }
}
