// The analyser as a component: registration with its source, destruction notices, client table.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "fft.h"
#include "replay_source.h"

namespace {
// A client that records the kinds it was called with.
class Listener : public TComponent {
public:
    void onEvent(TComponent*, std::uint8_t kind) { kinds.push_back(kind); }
    void other(TComponent*, std::uint8_t kind) {
        kinds.push_back(static_cast<std::uint8_t>(100 + kind));
    }
    TAudioClientEvent event() { return TAudioClientEvent::bind(this, &Listener::onEvent); }
    std::vector<std::uint8_t> kinds;
};
}  // namespace

TEST(AnalyserSource, RegistersWithSourceAndPreparesOnDeviceOpen) {
    TReplaySource source;
    TFFT fft;
    Listener listener;
    fft.AddClient(listener.event());
    fft.setSource(&source);
    EXPECT_FALSE(fft.prepared());
    source.open();  // kind 2: prepare, then tell our clients with kind 2
    EXPECT_TRUE(fft.prepared());
    source.play(std::vector<std::uint8_t>(256, 128));  // kind 0: process, then kind 0
    EXPECT_EQ(listener.kinds, (std::vector<std::uint8_t>{2, 0}));
}

TEST(AnalyserSource, FirstLoadPreparesWithSilentHistory) {
    TReplaySource source;
    source.setBufSize(4);
    TFFT fft;
    fft.setSource(&source);
    fft.setBufSize(8);
    source.play(std::vector<std::uint8_t>(4, 0));  // four samples of -8192 after four zeros
    EXPECT_TRUE(fft.prepared());
    EXPECT_NEAR(fft.Magnitude(0), 4 * 8192.0 / std::sqrt(8.0), 1e-9);
}

TEST(AnalyserSource, SourceDestructionClearsSourceAndTables) {
    TFFT fft;
    {
        TReplaySource source;
        fft.setSource(&source);
        source.open();
        ASSERT_TRUE(fft.prepared());
    }
    EXPECT_EQ(fft.Source(), nullptr);
    EXPECT_FALSE(fft.prepared());
    // A later source registers again.
    TReplaySource next;
    fft.setSource(&next);
    next.open();
    EXPECT_TRUE(fft.prepared());
}

TEST(AnalyserSource, AnalyserDestructionAndSourceChangeUnregister) {
    TReplaySource a, b;
    auto fft = std::make_unique<TFFT>();
    Listener listener;
    fft->AddClient(listener.event());
    fft->setSource(&a);
    fft->setSource(&b);
    a.play(std::vector<std::uint8_t>(256, 128));  // no longer reaches the analyser
    EXPECT_TRUE(listener.kinds.empty());
    fft.reset();
    b.play(
        std::vector<std::uint8_t>(256, 128));  // the dead analyser is not called (ASan would tell)
}

TEST(AnalyserSource, ClientTableHasFourEntriesFilledFromTheTop) {
    TFFT fft;
    Listener l1, l2, l3, l4, l5;
    fft.AddClient(l1.event());
    EXPECT_EQ(fft.client(3), l1.event());
    fft.AddClient(l2.event());
    fft.AddClient(l3.event());
    fft.AddClient(l4.event());
    fft.AddClient(l5.event());  // table full: dropped
    EXPECT_EQ(fft.client(0), l4.event());
    for (int i = 0; i < 4; ++i) EXPECT_NE(fft.client(i), l5.event());

    // Removal needs the same target and the same member function.
    fft.RemoveClient(TAudioClientEvent::bind(&l2, &Listener::other));
    EXPECT_EQ(fft.client(2), l2.event());
    fft.RemoveClient(l2.event());
    EXPECT_TRUE(fft.client(2).empty());
}

TEST(AnalyserSource, DestroyedClientIsForgotten) {
    TReplaySource source;
    TFFT fft;
    fft.setSource(&source);
    {
        Listener gone;
        fft.AddClient(gone.event());
        EXPECT_FALSE(fft.client(3).empty());
    }
    EXPECT_TRUE(fft.client(3).empty());
    source.play(std::vector<std::uint8_t>(256, 128));  // must not call the destroyed client
}

TEST(Component, OwnerDestroysOwnedComponents) {
    auto owner = std::make_unique<TComponent>();
    auto* source = new TReplaySource(owner.get());
    auto* fft = new TFFT(owner.get());
    fft->setSource(source);
    EXPECT_EQ(owner->ComponentCount(), 2);
    delete source;  // an owned component may still die early: the owner and the analyser forget it
    EXPECT_EQ(owner->ComponentCount(), 1);
    EXPECT_EQ(fft->Source(), nullptr);
    owner.reset();  // destroys the analyser; LeakSanitizer would report a leak otherwise
}

TEST(AnalyserSource, PreparationFollowsTheSourceWhateverItsBufferSize) {
    TReplaySource small, large;
    small.setBufSize(256);
    large.setBufSize(4096);
    TFFT fft;
    fft.setSource(&small);
    small.play(std::vector<std::uint8_t>(256, 128));
    ASSERT_TRUE(fft.prepared());
    EXPECT_EQ(fft.BufSize(), 1024);

    // A source with longer buffers: the tables grow to it before its first buffer is taken in.
    fft.setSource(&large);
    large.play(std::vector<std::uint8_t>(4096, 0));
    ASSERT_TRUE(fft.prepared());
    EXPECT_EQ(fft.BufSize(), 4096);
    EXPECT_NEAR(fft.Magnitude(0), 4096 * 8192.0 / std::sqrt(4096.0), 1e-6);

    // Back to the shorter one: the length stays (it never shrinks below the set length), the
    // history starts again.
    fft.setSource(&small);
    small.play(std::vector<std::uint8_t>(256, 0));
    EXPECT_EQ(fft.BufSize(), 4096);
    EXPECT_NEAR(fft.Magnitude(0), 256 * 8192.0 / std::sqrt(4096.0), 1e-6);
}
