// Device and format parameters: change events, Assign, derived byte counts, PCM format block.

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <tuple>
#include <vector>

#include "audio_line_parameters.h"

namespace {

using Snapshot = std::tuple<int, int, int>;  // channels, frequency, bits when the event ran

struct Recorder {
    std::vector<Snapshot> seen;
    std::vector<TPersistent*> senders;
    void attach(TAudioLineParameters& p) {
        p.OnChange = [this, &p](TPersistent* sender) {
            senders.push_back(sender);
            seen.emplace_back(p.Channels(), p.Frequency(), p.BitsPerSample());
        };
    }
};

std::uint32_t le(const std::array<std::uint8_t, 18>& b, int at, int width) {
    std::uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = v << 8 | b[at + i];
    return v;
}

}  // namespace

TEST(WaveInDeviceID, FiresOnlyOnRealChangeAndAssignsFromItsOwnKind) {
    TWaveInDeviceID id;
    EXPECT_EQ(id.id(), -1);
    std::vector<int> values;
    id.OnChange = [&](TPersistent* sender) {
        EXPECT_EQ(sender, &id);
        values.push_back(id.id());
    };
    id.setId(-1);
    EXPECT_TRUE(values.empty());
    id.setId(3);
    EXPECT_EQ(values, std::vector<int>{3});

    TWaveInDeviceID other;
    other.setId(5);
    id.Assign(other);
    id.Assign(other);  // equal now: nothing more
    EXPECT_EQ(values, (std::vector<int>{3, 5}));

    TAudioLineParameters foreign;
    id.Assign(foreign);
    id.Assign(id);
    EXPECT_EQ(id.id(), 5);
    EXPECT_EQ(values.size(), 2u);
}

TEST(AudioLineParameters, DefaultsAndWritesFireAfterTheValueIsStored) {
    TAudioLineParameters p;
    Recorder r;
    r.attach(p);
    EXPECT_EQ(p.Channels(), 1);
    EXPECT_EQ(p.Frequency(), 11025);
    EXPECT_EQ(p.BitsPerSample(), 8);
    p.setFrequency(11025);
    p.setChannels(1);
    p.setBitsPerSample(8);
    EXPECT_TRUE(r.seen.empty());

    p.setBitsPerSample(16);
    p.setBitsPerSample(16);
    ASSERT_EQ(r.seen.size(), 1u);
    EXPECT_EQ(r.seen[0], Snapshot(1, 11025, 16));
    EXPECT_EQ(r.senders[0], &p);

    p.OnChange = nullptr;
    p.setChannels(2);  // no handler: nothing to call, value still stored
    EXPECT_EQ(p.Channels(), 2);
}

TEST(AudioLineParameters, AssignWritesEachFieldInOrderWithOneEventPerDifference) {
    TAudioLineParameters src;
    src.setBitsPerSample(16);
    TAudioLineParameters dst;
    Recorder r;
    r.attach(dst);
    dst.Assign(src);
    ASSERT_EQ(r.seen.size(), 1u);
    EXPECT_EQ(r.seen[0], Snapshot(1, 11025, 16));

    src.setChannels(2);
    src.setFrequency(44100);
    src.setBitsPerSample(8);
    r.seen.clear();
    dst.Assign(src);
    // Channels, then Frequency, then BitsPerSample, each event after its own value.
    EXPECT_EQ(r.seen, (std::vector<Snapshot>{{2, 11025, 16}, {2, 44100, 16}, {2, 44100, 8}}));

    r.seen.clear();
    dst.Assign(dst);
    dst.Assign(src);
    TWaveInDeviceID foreign;
    foreign.setId(7);
    dst.Assign(foreign);
    EXPECT_TRUE(r.seen.empty());
    EXPECT_EQ(dst.Channels(), 2);
}

TEST(AudioLineParameters, DerivedByteCounts) {
    TAudioLineParameters p;
    EXPECT_EQ(p.bytesPerFrame(), 1);
    EXPECT_EQ(p.bytesPerBuffer(4069), 4069);
    EXPECT_EQ(p.bytesPerSecond(), 11025);
    p.setChannels(2);
    p.setBitsPerSample(16);
    EXPECT_EQ(p.bytesPerFrame(), 4);
    EXPECT_EQ(p.bytesPerBuffer(256), 1024);
    p.setBitsPerSample(12);  // 3 bytes per stereo frame, truncated counts
    EXPECT_EQ(p.bytesPerFrame(), 3);
    EXPECT_EQ(p.bytesPerBuffer(3), 9);
    p.setChannels(1);
    EXPECT_EQ(p.bytesPerFrame(), 1);  // 12 / 8
    EXPECT_EQ(p.bytesPerBuffer(3), 4);
    p.setChannels(-1);  // stored unchecked; truncation toward zero
    EXPECT_EQ(p.bytesPerBuffer(3), -4);

    // Absurd values must not overflow.
    p.setChannels(INT_MAX);
    p.setBitsPerSample(INT_MAX);
    p.setFrequency(INT_MAX);
    EXPECT_EQ(p.bytesPerFrame(), static_cast<std::int64_t>(INT_MAX) * INT_MAX / 8);
    EXPECT_EQ(p.bytesPerSecond(), INT64_MAX);
    EXPECT_EQ(p.bytesPerBuffer(INT_MIN), INT64_MIN);
}

TEST(AudioLineParameters, FormatBlockIsLittleEndianWaveFormat) {
    TAudioLineParameters p;
    const std::array<std::uint8_t, 18> tuner = {1,    0, 1, 0, 0x11, 0x2B, 0, 0, 0x11,
                                                0x2B, 0, 0, 1, 0,    8,    0, 0, 0};
    EXPECT_EQ(p.formatBlock(), tuner);

    p.setChannels(2);
    p.setBitsPerSample(16);
    p.setFrequency(44100);
    const auto b = p.formatBlock();
    EXPECT_EQ(le(b, 2, 2), 2u);
    EXPECT_EQ(le(b, 4, 4), 44100u);
    EXPECT_EQ(le(b, 8, 4), 176400u);
    EXPECT_EQ(le(b, 12, 2), 4u);
    EXPECT_EQ(le(b, 14, 2), 16u);
    EXPECT_EQ(b, pcmFormatBlock(44100, 2, 16));

    // Fields keep the low bits; alignment comes from the 16-bit fields.
    const auto w = pcmFormatBlock(48000, 0x10002, 0x10010);
    EXPECT_EQ(le(w, 2, 2), 2u);
    EXPECT_EQ(le(w, 14, 2), 16u);
    EXPECT_EQ(le(w, 12, 2), 4u);
    const auto big = pcmFormatBlock(INT_MAX, 65535, 65535);
    EXPECT_EQ(le(big, 12, 2), (65535u * 65535u / 8) & 0xFFFF);
    const unsigned __int128 exact = static_cast<unsigned __int128>(INT_MAX) * 65535 * 65535 / 8;
    EXPECT_EQ(le(big, 8, 4), static_cast<std::uint32_t>(exact));
}
