// The driver library's pieces that place a note at its pitch, one by one: the pitch estimate it
// measures each key with, the output trim for the last fraction of a cent, and the pitch cache.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

#include "fine_trim.h"
#include "key_order.h"
#include "pitch_cache.h"
#include "pitch_estimate.h"
#include "tone_pitch.h"

namespace {

constexpr double kRate = 48000;

// A plucked-string stand-in: a fundamental with two overtones, decaying, at `cents` from key's
// pitch; optionally with some noise.
std::vector<double> tone(int key, double cents, std::size_t count, double decay = 2.0,
                         double noise = 0.0) {
    const double f = tonepitch::equalTempered(key) * std::pow(2.0, cents / 1200);
    std::vector<double> x(count);
    std::mt19937 random(7);
    std::normal_distribution<double> hiss(0.0, noise);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = i / kRate;
        const double w = 2 * tonepitch::kPi * f * t;
        x[i] = std::exp(-decay * t) *
                   (std::sin(w + 0.3) + 0.7 * std::sin(2 * w + 1.0) + 0.4 * std::sin(3 * w + 2.0)) +
               (noise > 0 ? hiss(random) : 0.0);
    }
    return x;
}

std::vector<float> floats(const std::vector<double>& x) {
    return std::vector<float>(x.begin(), x.end());
}

std::string temporaryFolder() {
    char pattern[] = "/tmp/pitch-parts-XXXXXX";
    return ::mkdtemp(pattern) != nullptr ? pattern : "";
}

}  // namespace

// Both readings of pitch, the library's and the tests', agree with exact tones to a few
// hundredths of a cent across the range of reference notes, with overtones, decay and noise.
TEST(PitchReadings, ExactTonesReadAtTheirPitch) {
    for (int key : {23, 28, 40, 64, 76, 100}) {
        for (double cents : {0.0, 0.37, -2.9, 41.0}) {
            SCOPED_TRACE(testing::Message() << "key " << key << " at " << cents << " cents");
            const auto x = tone(key, cents, 33600, 3.0, 0.02);
            EXPECT_NEAR(tonepitch::centsFrom(x, 0, 33600, tonepitch::equalTempered(key), kRate),
                        cents, 0.05);
            const auto f = floats(x);
            const double found = mxmidi::estimateFundamental(f.data(), f.size(), kRate,
                                                             tonepitch::equalTempered(key));
            EXPECT_NEAR(1200 * std::log2(found / tonepitch::equalTempered(key)), cents, 0.05);
        }
    }
}

// Told the pitch is close, the library looks only near it, and finds the same peak: over the
// whole measured range (the lowest keys' grid, the highest keys' fast transform), for a tone
// whose pitch drifts as a sample's does while it rings, in the window lengths the trim uses.
TEST(PitchReadings, ANarrowSpanFindsWhatTheSemitoneFinds) {
    for (int key = mxmidi::kFirstMeasuredKey; key <= mxmidi::kLastMeasuredKey; key += 5) {
        for (std::size_t count : {9600u, 19200u, 33600u}) {
            SCOPED_TRACE(testing::Message() << "key " << key << ", " << count << " samples");
            // The trim's windows span thirty periods at least.
            if (count < 30 * kRate / tonepitch::equalTempered(key)) continue;
            const double f0 = tonepitch::equalTempered(key) * std::pow(2.0, 7.3 / 1200);
            std::vector<float> x(count);
            double phase = 0.0;
            for (std::size_t i = 0; i < count; ++i) {
                const double t = i / kRate;
                phase += 2 * tonepitch::kPi * f0 * (1.0 + 0.002 * t) / kRate;  // 3.5 cents/s
                x[i] = static_cast<float>(std::exp(-2.0 * t) *
                                          (std::sin(phase) + 0.5 * std::sin(2 * phase + 1.0)));
            }
            const double expected = tonepitch::equalTempered(key);
            const double wide = mxmidi::estimateFundamental(x.data(), count, kRate, expected);
            const double narrow =
                mxmidi::estimateFundamental(x.data(), count, kRate, expected, 40.0);
            ASSERT_GT(wide, 0.0);
            EXPECT_NEAR(1200 * std::log2(narrow / wide), 0.0, 0.001);
            // About where it rings in the middle of the stretch (its louder start weighs more).
            const double middle = 7.3 + 1200 * std::log2(1.0 + 0.002 * (count / 2.0) / kRate);
            EXPECT_NEAR(1200 * std::log2(wide / expected), middle, 0.3);
        }
    }
}

TEST(PitchReadings, LibraryFindsNothingInSilenceOrFarFromTheExpectedPitch) {
    const std::vector<float> silence(33600, 0.0f);
    EXPECT_EQ(mxmidi::estimateFundamental(silence.data(), silence.size(), kRate, 110.0), 0.0);
    // A tone an octave away is not taken for the one expected; only its weak overtone lies near.
    const auto f = floats(tone(45, 0.0, 33600));
    const double found = mxmidi::estimateFundamental(f.data(), f.size(), kRate, 55.0 * 1.03);
    EXPECT_TRUE(found == 0.0 || std::fabs(found - 110.0) > 10.0) << found;
    // Too short to tell.
    EXPECT_EQ(mxmidi::estimateFundamental(f.data(), 100, kRate, 110.0), 0.0);
}

namespace {

// Runs a stereo tone through the trim in blocks of the given sizes (cycled), `cents` throughout.
std::vector<double> trimmed(const std::vector<double>& in, double cents,
                            const std::vector<int>& blocks, std::size_t frames) {
    mxmidi::FineTrim trim;
    trim.setCents(cents);
    std::size_t read = 0;
    auto source = [&](float* l, float* r, int n) {
        for (int i = 0; i < n; ++i, ++read) {
            l[i] = r[i] = read < in.size() ? static_cast<float>(in[read]) : 0.0f;
        }
    };
    std::vector<double> out;
    std::vector<float> l, r;
    for (std::size_t b = 0; out.size() < frames; ++b) {
        const int n = blocks[b % blocks.size()];
        l.resize(n);
        r.resize(n);
        trim.process(l.data(), r.data(), n, source);
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(l[i], r[i]);
            out.push_back(l[i]);
        }
    }
    out.resize(frames);
    return out;
}

}  // namespace

TEST(FineTrim, PassesTheStreamUntouchedAtZero) {
    const auto in = tone(57, 0.0, 9600, 1.0, 0.1);
    const auto out = trimmed(in, 0.0, {480}, 9000);
    for (std::size_t i = 0; i < out.size(); ++i) {
        ASSERT_EQ(out[i], static_cast<double>(static_cast<float>(in[i]))) << i;
    }
}

TEST(FineTrim, RaisesAndLowersByTheFractionAskedForWhateverTheBlockSize) {
    const auto in = tone(40, 0.0, 60000, 1.0);
    for (double cents : {0.45, -0.3, 1.7}) {
        SCOPED_TRACE(cents);
        const auto one = trimmed(in, cents, {480}, 48000);
        const auto odd = trimmed(in, cents, {1, 7, 333, 64}, 48000);
        for (std::size_t i = 0; i < one.size(); ++i) ASSERT_NEAR(one[i], odd[i], 1e-6) << i;
        EXPECT_NEAR(tonepitch::centsFrom(one, 14400, 48000, tonepitch::equalTempered(40), kRate),
                    cents, 0.01);
    }
}

TEST(FineTrim, ChangingTheAmountMidStreamLeavesNoJump) {
    const auto in = tone(64, 0.0, 20000, 0.0);
    mxmidi::FineTrim trim;
    std::size_t read = 0;
    auto source = [&](float* l, float* r, int n) {
        for (int i = 0; i < n; ++i, ++read) l[i] = r[i] = static_cast<float>(in[read]);
    };
    std::vector<float> out, l(240), r(240);
    for (double cents : {0.0, 0.5, -0.5, 1.9, 0.0, -1.2, 0.3}) {
        trim.setCents(cents);
        for (int b = 0; b < 10; ++b) {
            trim.process(l.data(), r.data(), 240, source);
            out.insert(out.end(), l.begin(), l.end());
        }
    }
    // The steepest step of the input tone bounds every step of the output.
    double steepestIn = 0.0, steepestOut = 0.0;
    for (std::size_t i = 1; i < out.size(); ++i) {
        steepestIn = std::max(steepestIn, std::fabs(in[i] - in[i - 1]));
        steepestOut = std::max(steepestOut, static_cast<double>(std::fabs(out[i] - out[i - 1])));
    }
    EXPECT_LT(steepestOut, steepestIn * 1.05);
}

namespace {

mxmidi::SoundFontStamp stamp() {
    return {"/usr/share/sounds/sf2/Some.sf2", 5969788, 1434547688123456789LL};
}

// A key whose trim goes from `first` by `step` at each reading (a sample that drifts as it rings).
mxmidi::KeyCorrection pitched(double tuning, float first, float step) {
    mxmidi::KeyCorrection c{true, tuning, {}};
    for (std::size_t i = 0; i < c.trim.size(); ++i) c.trim[i] = first + step * static_cast<float>(i);
    return c;
}

mxmidi::CorrectionTable sampleTable() {
    mxmidi::CorrectionTable table;
    auto& guitar = table[{0, 24}];
    guitar.keys[40] = pitched(3997.5, 0.2359f, 0.5f);
    guitar.keys[45] = pitched(4502.5, -0.4811f, -0.25f);
    guitar.keys[16] = mxmidi::KeyCorrection{};  // measured, no pitch
    auto& organ = table[{0, 19}];
    organ.keys[60] = pitched(6000.5, 0.0f, 0.0f);
    organ.complete = true;
    return table;
}

std::string written(const mxmidi::CorrectionTable& table) {
    std::ostringstream out;
    mxmidi::writePitchCache(out, stamp(), table);
    return out.str();
}

mxmidi::CacheState read(const std::string& text, mxmidi::CorrectionTable& table) {
    std::istringstream in(text);
    return mxmidi::readPitchCache(in, stamp(), table);
}

}  // namespace

TEST(PitchCache, KeepsEveryMeasuredKeyAndOnlyForTheSameFile) {
    mxmidi::CorrectionTable back;
    ASSERT_EQ(read(written(sampleTable()), back), mxmidi::CacheState::Applies);
    ASSERT_EQ(back.size(), 2u);
    const auto& guitar = back[{0, 24}];
    EXPECT_FALSE(guitar.complete);
    ASSERT_TRUE(guitar.keys[40] && guitar.keys[40]->pitched);
    EXPECT_DOUBLE_EQ(guitar.keys[40]->tuning, 3997.5);
    const mxmidi::CorrectionTable sentTable = sampleTable();
    const auto& sent = sentTable.at({0, 24});
    for (int key : {40, 45}) {
        for (std::size_t i = 0; i < mxmidi::kTrimPoints; ++i)
            EXPECT_NEAR(guitar.keys[key]->trim[i], sent.keys[key]->trim[i], 1e-4) << key << " " << i;
    }
    ASSERT_TRUE(guitar.keys[16]);
    EXPECT_FALSE(guitar.keys[16]->pitched);
    EXPECT_FALSE(guitar.keys[41]);
    EXPECT_TRUE((back[{0, 19}].complete));

    // The same path with another size or time, or another path: not this file's cache.
    for (int which = 0; which < 3; ++which) {
        mxmidi::SoundFontStamp other = stamp();
        if (which == 0) other.size += 1;
        if (which == 1) other.modified += 1;
        if (which == 2) other.path += "x";
        std::ostringstream out;
        mxmidi::writePitchCache(out, other, sampleTable());
        mxmidi::CorrectionTable ignored;
        EXPECT_EQ(read(out.str(), ignored), mxmidi::CacheState::Other);
        EXPECT_TRUE(ignored.empty());
    }
}

TEST(PitchCache, TheTrimFollowsItsReadingsAndHoldsBeyondThem) {
    const mxmidi::KeyCorrection c = pitched(4000.5, 1.0f, -0.5f);
    const double first = mxmidi::kTrimFirstSeconds, step = mxmidi::kTrimStepSeconds;
    EXPECT_DOUBLE_EQ(c.trimAt(0.0), 1.0);  // the attack takes the first reading
    EXPECT_DOUBLE_EQ(c.trimAt(first), 1.0);
    EXPECT_DOUBLE_EQ(c.trimAt(first + step), 0.5);
    EXPECT_NEAR(c.trimAt(first + 2.5 * step), -0.25, 1e-9);  // half way between two readings
    const double last = 1.0 - 0.5 * (mxmidi::kTrimPoints - 1);
    EXPECT_DOUBLE_EQ(c.trimAt(first + (mxmidi::kTrimPoints - 1) * step), last);
    EXPECT_DOUBLE_EQ(c.trimAt(60.0), last);  // a note held long keeps the last one
}

TEST(PitchCache, DamagedTextIsRecognisedAndNeverHalfRead) {
    const std::string good = written(sampleTable());
    auto replace = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return text.replace(at, from.size(), to);
    };
    const std::vector<std::string> damaged = {
        "",
        "garbage\n",
        good.substr(0, good.size() - 4),                  // cut short: no end
        good.substr(0, good.size() / 2),                  // cut in the middle
        good + "key 50 5000 0\n",                         // after the end
        replace("key 40 3997.5000", "key 40 4400.0000"),  // far off the key's pitch
        replace("0.2359", "27.5"),                        // a trim no measurement gives
        replace("key 45 4502.5000 -0.4811", "key 45 4502.5000"),  // a reading short
        replace("key 40", "key 128"),                     // no such key
        replace("key 45", "key 40"),                      // the same key twice
        replace("preset 0 24", "preset 0 24 x"),
        replace("preset 0 19 complete", "preset 0 24 complete"),  // the same preset twice
        replace("size 5969788", "size 59x9788"),
        replace("3997.5000", "nan"),
        replace("preset 0 19", "key 3 none\npreset 0 19"),  // a key before any preset
    };
    for (const std::string& text : damaged) {
        mxmidi::CorrectionTable table;
        EXPECT_EQ(read(text, table), mxmidi::CacheState::Damaged) << text;
        EXPECT_TRUE(table.empty());
    }
}

TEST(PitchCache, LivesInTheUsersCacheFolderAndComplainsOnceWhenItCannot) {
    const std::string folder = temporaryFolder();
    ::setenv("XDG_CACHE_HOME", (folder + "/cache").c_str(), 1);
    const std::string file = mxmidi::pitchCacheFile("/usr/share/sounds/sf2/Some.sf2");
    EXPECT_EQ(file.rfind(folder + "/cache/tessarin/pitch-", 0), 0u) << file;
    EXPECT_NE(file, mxmidi::pitchCacheFile("/usr/share/sounds/sf2/Other.sf2"));
    ::setenv("XDG_CACHE_HOME", "relative/path", 1);
    ::setenv("HOME", folder.c_str(), 1);
    EXPECT_EQ(mxmidi::pitchCacheFile("/a.sf2").rfind(folder + "/.cache/tessarin/", 0), 0u);

    // Saved (with the folders it needs) and loaded back.
    testing::internal::CaptureStderr();
    mxmidi::savePitchCache(file, stamp(), sampleTable());
    EXPECT_EQ(mxmidi::loadPitchCache(file, stamp()).size(), 2u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    // A damaged file is read as none, with one line on standard error however often it is read.
    std::ofstream(file, std::ios::trunc) << "MxMidi32 pitch corrections 2\nsoundfont x\n\xff\xfe";
    testing::internal::CaptureStderr();
    EXPECT_TRUE(mxmidi::loadPitchCache(file, stamp()).empty());
    EXPECT_TRUE(mxmidi::loadPitchCache(file, stamp()).empty());
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find(file), std::string::npos) << said;

    // A file of an earlier version of the library is measured again, without a word.
    std::ofstream(file, std::ios::trunc) << "MxMidi32 pitch corrections 1\nsoundfont x\nend\n";
    testing::internal::CaptureStderr();
    EXPECT_TRUE(mxmidi::loadPitchCache(file, stamp()).empty());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    // A folder that cannot be made (a file stands in its place): one line, nothing thrown.
    const std::string blocked = folder + "/blocked";
    std::ofstream(blocked) << "not a folder";
    testing::internal::CaptureStderr();
    mxmidi::savePitchCache(blocked + "/tessarin/pitch-1.txt", stamp(), sampleTable());
    mxmidi::savePitchCache(blocked + "/tessarin/pitch-2.txt", stamp(), sampleTable());
    said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_TRUE(mxmidi::loadPitchCache(blocked + "/tessarin/pitch-1.txt", stamp()).empty());

    ::unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(std::system(("rm -rf '" + folder + "'").c_str()), 0);
}

// The keys the tuner plays come first in the background's order: every open string of every
// shipped tuning (read from the tuning file), then the keys a concert pitch moves them to, then
// the rest of the measured range, each key once.
TEST(KeyOrder, TheShippedTuningsKeysComeFirstAndEveryKeyOnce) {
    std::ifstream in(std::string(TESSARIN_SOURCE_DIR) + "/data/Afinacoes.xml");
    ASSERT_TRUE(in);
    std::stringstream text;
    text << in.rdbuf();
    const std::string xml = text.str();
    std::set<int> strings;
    static const std::regex corda("<corda>\\s*([0-9]+)\\s*</corda>");
    for (std::sregex_iterator it(xml.begin(), xml.end(), corda), end; it != end; ++it)
        strings.insert(std::stoi((*it)[1]));
    ASSERT_GT(strings.size(), 20u);
    EXPECT_EQ(strings, std::set<int>(mxmidi::stringKeys().begin(), mxmidi::stringKeys().end()));

    const std::vector<int>& order = mxmidi::measuringOrder();
    ASSERT_EQ(order.size(), std::size_t(mxmidi::kLastMeasuredKey - mxmidi::kFirstMeasuredKey + 1));
    EXPECT_EQ(std::set<int>(order.begin(), order.end()).size(), order.size());
    EXPECT_EQ(order.front(), 50);  // D3, the middle of a guitar's strings
    const std::set<int> head(order.begin(), order.begin() + static_cast<long>(strings.size()));
    EXPECT_EQ(head, strings);
    // A concert pitch of 400 Hz to 480 Hz plays a string up to two semitones away.
    bool near = true;
    for (std::size_t i = strings.size(); i < order.size(); ++i) {
        const int key = order[i];
        const bool isNear = std::any_of(strings.begin(), strings.end(),
                                        [&](int s) { return std::abs(s - key) <= 2; });
        EXPECT_EQ(mxmidi::stringOrNearKey(key), isNear) << key;
        EXPECT_FALSE(isNear && !near) << key << " comes after keys no string needs";
        near = isNear;
    }
    EXPECT_TRUE(mxmidi::stringOrNearKey(40));
    EXPECT_FALSE(mxmidi::stringOrNearKey(100));
}
