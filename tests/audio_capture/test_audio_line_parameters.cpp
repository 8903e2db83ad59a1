// Device and format parameters: change events, Assign, derived byte counts, PCM format block.

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <tuple>
#include <vector>

#include "audio_line_parameters.h"

using Snapshot = std::tuple<int, int, int>;  // channels, frequency, bits when the event ran

TEST(WaveInDeviceID, FiresOnlyOnRealChangeAndAssignsFromItsOwnKind) {
    TWaveInDeviceID id, other;
    EXPECT_EQ(id.id(), -1);
    std::vector<int> values;
    id.OnChange = [&](TPersistent* sender) {
        EXPECT_EQ(sender, &id);
        values.push_back(id.id());
    };
    id.setId(-1);
    id.setId(3);
    other.setId(5);
    id.Assign(other);
    id.Assign(other);
    id.Assign(TAudioLineParameters());
    EXPECT_EQ(values, (std::vector<int>{3, 5}));
}

TEST(AudioLineParameters, EventsFollowRealChangesInAssignOrder) {
    TAudioLineParameters p, src;
    std::vector<Snapshot> seen;
    p.OnChange = [&](TPersistent* sender) {
        EXPECT_EQ(sender, &p);
        seen.emplace_back(p.Channels(), p.Frequency(), p.BitsPerSample());
    };
    EXPECT_EQ(Snapshot(p.Channels(), p.Frequency(), p.BitsPerSample()), Snapshot(1, 11025, 8));
    p.setFrequency(11025);  // the default: nothing happens
    EXPECT_TRUE(seen.empty());

    src.setBitsPerSample(16);
    p.Assign(src);  // differs only in bits: one event, all three values in place
    EXPECT_EQ(seen, (std::vector<Snapshot>{{1, 11025, 16}}));

    src.setChannels(2);
    src.setFrequency(44100);
    src.setBitsPerSample(8);
    seen.clear();
    p.Assign(src);  // channels, then frequency, then bits; each event after its own value
    EXPECT_EQ(seen, (std::vector<Snapshot>{{2, 11025, 16}, {2, 44100, 16}, {2, 44100, 8}}));

    seen.clear();
    p.Assign(p);
    TWaveInDeviceID foreign;
    foreign.setId(7);
    p.Assign(foreign);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(Snapshot(p.Channels(), p.Frequency(), p.BitsPerSample()), Snapshot(2, 44100, 8));
}

TEST(AudioLineParameters, ByteCountsAndFormatBlock) {
    TAudioLineParameters p;
    EXPECT_EQ(p.bytesPerBuffer(4069), 4069);
    EXPECT_EQ(p.bytesPerSecond(), 11025);
    EXPECT_EQ(p.formatBlock(), (std::array<std::uint8_t, 18>{1, 0, 1, 0, 0x11, 0x2B, 0, 0, 0x11,
                                                             0x2B, 0, 0, 1, 0, 8, 0, 0, 0}));

    p.setChannels(2);
    p.setBitsPerSample(16);
    p.setFrequency(44100);
    EXPECT_EQ(p.bytesPerFrame(), 4);
    EXPECT_EQ(p.bytesPerBuffer(256), 1024);
    const auto b = p.formatBlock();
    EXPECT_EQ(b[12], 4);                                // block alignment
    EXPECT_EQ(b[8] | b[9] << 8 | b[10] << 16, 176400);  // bytes per second

    // The values are stored unchecked: absurd ones must not overflow anywhere.
    p.setChannels(INT_MAX);
    p.setBitsPerSample(INT_MAX);
    p.setFrequency(INT_MAX);
    EXPECT_EQ(p.bytesPerFrame(), std::int64_t{INT_MAX} * INT_MAX / 8);
    EXPECT_EQ(p.bytesPerSecond(), INT64_MAX);
    EXPECT_EQ(p.bytesPerBuffer(INT_MIN), INT64_MIN);
    const auto big = pcmFormatBlock(48000, 65535, 65535);
    EXPECT_EQ(big[12] | big[13] << 8, (65535u * 65535u / 8) & 0xFFFF);
}
