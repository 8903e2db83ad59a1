// TRecorder against a scripted wave-in device: the ring of buffers, the clients, the states and
// the error paths.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "errors.h"
#include "fake_wavein.h"
#include "recorder.h"
#include "utilgui.h"

namespace {

// A component that logs the events it is sent.
class Listener : public TComponent {
public:
    explicit Listener(std::vector<std::string>* log, std::string name = "client")
        : log_(log), name_(std::move(name)) {}
    void Event(TComponent*, std::uint8_t kind) {
        log_->push_back(name_ + ":" + std::to_string(kind));
    }
    void Other(TComponent*, std::uint8_t kind) {
        log_->push_back(name_ + " other:" + std::to_string(kind));
    }
    TAudioClientEvent event() { return TAudioClientEvent::bind(this, &Listener::Event); }
    TAudioClientEvent other() { return TAudioClientEvent::bind(this, &Listener::Other); }

private:
    std::vector<std::string>* log_;
    std::string name_;
};

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override { deliverMessages(); }

    // A recorder that does not start by itself, with the given buffer size.
    std::unique_ptr<TRecorder> make(int bufSize) {
        auto r = std::make_unique<TRecorder>();
        r->setAutoStart(false);
        r->setBufSize(bufSize);
        deliverMessages();
        return r;
    }

    int bufferIndex(const TRecorder& r, const WAVEHDR* h) const {
        return static_cast<int>((reinterpret_cast<const std::uint8_t*>(h->lpData) - r.Block()) /
                                r.BufferBytes());
    }

    std::vector<int> queued(const TRecorder& r) const {
        std::vector<int> out;
        for (const WAVEHDR* h : fake.queue) out.push_back(bufferIndex(r, h));
        return out;
    }

    FakeWaveIn fake;
};

}  // namespace

TEST_F(RecorderTest, RingQueuesSevenAndRecyclesTheHeldBuffer) {
    auto r = make(4069);
    EXPECT_EQ(r->State(), TRecorderState::Closed);
    r->Start();
    EXPECT_EQ(r->State(), TRecorderState::Capturing);
    EXPECT_TRUE(fake.started);
    EXPECT_EQ(r->BufferBytes(), 4069);
    EXPECT_EQ(r->BlockBytes(), 32552u);
    EXPECT_EQ(queued(*r), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    for (const WAVEHDR* h : fake.queue) EXPECT_EQ(h->dwBufferLength, 4069u);

    std::vector<int> taken;
    r->OnSample = [&](TComponent* sender) {
        EXPECT_EQ(sender, r.get());
        taken.push_back(static_cast<int>((r->Data() - r->Block()) / r->BufferBytes()));
        EXPECT_EQ(r->FrameCount(), 4069);
        EXPECT_EQ(r->Sample(0), (static_cast<int>(taken.size()) * 10) * 64 - 8192);
    };

    fake.complete(-1, 10);
    deliverMessages();
    EXPECT_EQ(taken, std::vector<int>{0});
    EXPECT_EQ(r->Current(), 1);
    EXPECT_EQ(queued(*r), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));  // 7 joins the ring

    for (int k = 2; k <= 9; ++k) {
        fake.complete(-1, k * 10);
        deliverMessages();
        EXPECT_EQ(fake.queue.size(), 7u);
    }
    EXPECT_EQ(taken, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 0}));
    // Buffer 0 is held now; 7 went back at this completion.
    EXPECT_EQ(queued(*r), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(fake.count("unprepare"), 9);
}

TEST_F(RecorderTest, PartialBufferAndFrameSizes) {
    auto r = make(256);
    r->Quality().setChannels(2);
    r->Quality().setBitsPerSample(16);
    r->Start();
    EXPECT_EQ(r->FrameBytes(), 4);
    EXPECT_EQ(r->BufferBytes(), 1024);
    fake.complete();
    deliverMessages();
    EXPECT_EQ(r->BytesRecorded(), 1024);
    EXPECT_EQ(r->FrameCount(), 256);
    fake.complete(100);
    deliverMessages();
    EXPECT_EQ(r->FrameCount(), 25);

    r->Stop();
    r->setBufSize(256);
    r->Quality().setChannels(1);
    r->Quality().setBitsPerSample(8);
    r->Start();
    EXPECT_EQ(r->BlockBytes(), 2048u);
}

TEST_F(RecorderTest, SampleMixesEveryFormatRow) {
    struct Row {
        int channels, bits;
        std::vector<unsigned char> bytes;
        std::vector<int> expected;
    };
    const std::vector<Row> rows = {
        {1, 8, {128, 0, 255}, {0, -8192, 8128}},
        {1, 16, {0x00, 0x80, 0xFF, 0x7F, 0xFD, 0xFF}, {-32768, 32767, -3}},
        {2, 8, {0, 0, 255, 255, 0, 255}, {-32768, 32512, -128}},
        {2, 16, {0xFD, 0xFF, 0, 0, 0x00, 0x80, 0x00, 0x80}, {-1, -32768}},
        {1, 24, {200, 1, 2, 7, 8, 9}, {200, 1}},  // other depths: the raw byte i
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.channels) + "x" + std::to_string(row.bits));
        auto r = make(64);
        r->Quality().setChannels(row.channels);
        r->Quality().setBitsPerSample(row.bits);
        r->Start();
        fake.completeWith(row.bytes);
        deliverMessages();
        ASSERT_EQ(r->FrameCount(),
                  static_cast<int>(row.bytes.size() * 8 / (row.channels * row.bits)));
        for (std::size_t i = 0; i < row.expected.size(); ++i)
            EXPECT_EQ(r->Sample(static_cast<int>(i)), row.expected[i]) << "frame " << i;
        EXPECT_EQ(r->Sample(r->FrameCount()), 0);  // past the buffer
        EXPECT_EQ(r->Sample(-1), 0);
        r->Release();
    }
}

TEST_F(RecorderTest, ClientsTakeHighestEmptyEntryAndHearEveryEventBeforeOnSample) {
    std::vector<std::string> log;
    auto r = make(32);
    std::vector<std::unique_ptr<Listener>> listeners;
    for (int i = 0; i < 7; ++i) {
        listeners.push_back(std::make_unique<Listener>(&log, "c" + std::to_string(i)));
        r->AddClient(listeners.back()->event());
    }
    EXPECT_EQ(r->Client(5), listeners[0]->event());
    EXPECT_EQ(r->Client(0), listeners[5]->event());  // the seventh found no room
    r->AddClient(TAudioClientEvent());

    r->RemoveClient(listeners[1]->other());  // same target, other function: stays
    EXPECT_EQ(r->Client(4), listeners[1]->event());
    r->RemoveClient(listeners[1]->event());
    EXPECT_TRUE(r->Client(4).empty());
    listeners[2].reset();  // destruction empties its entry
    EXPECT_TRUE(r->Client(3).empty());
    r->AddClient(listeners[6]->other());
    EXPECT_EQ(r->Client(4), listeners[6]->other());

    r->OnSample = [&](TComponent*) { log.push_back("OnSample"); };
    r->Start();
    deliverMessages();
    EXPECT_EQ(log, (std::vector<std::string>{"c5:2", "c4:2", "c3:2", "c6 other:2", "c0:2"}));
    log.clear();
    fake.complete();
    deliverMessages();
    EXPECT_EQ(log,
              (std::vector<std::string>{"c5:0", "c4:0", "c3:0", "c6 other:0", "c0:0", "OnSample"}));
    log.clear();
    r->Stop();
    deliverMessages();
    // The buffers the reset returned belong to a closed device: only the close is reported.
    EXPECT_EQ(log, (std::vector<std::string>{"c5:1", "c4:1", "c3:1", "c6 other:1", "c0:1"}));
    EXPECT_EQ(fake.opens, 1);
    EXPECT_EQ(r->Data(), nullptr);
    EXPECT_EQ(r->FrameCount(), 0);
}

TEST_F(RecorderTest, FailedOpensRaiseWithThePlatformCodeAndTheNextStartTriesAgain) {
    auto r = make(256);
    fake.queryResult = WAVERR_BADFORMAT;
    try {
        r->Start();
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), 32);
        EXPECT_EQ(e.message(), "waveInOpenQuery: fake text 32");
    }
    EXPECT_EQ(r->State(), TRecorderState::Failed);
    // The next start asks the device again, without a Stop in between: refused once more, it
    // raises again; accepted, capture starts.
    const int queries = fake.count("query");
    EXPECT_THROW(r->Start(), EInOutError);
    EXPECT_EQ(fake.count("query"), queries + 1);
    fake.queryResult = MMSYSERR_NOERROR;
    r->Start();
    EXPECT_EQ(r->State(), TRecorderState::Capturing);
    EXPECT_TRUE(fake.started);
    r->Start();  // while capturing: nothing restarts
    EXPECT_EQ(fake.count("query"), queries + 2);
    EXPECT_EQ(r->Current(), 0);
    r->Stop();
    EXPECT_EQ(r->State(), TRecorderState::Closed);
    EXPECT_EQ(r->BlockBytes(), 0u);

    fake.queryResult = MMSYSERR_NOERROR;
    fake.openResult = MMSYSERR_ALLOCATED;
    r->Device().setId(1);
    try {
        r->Open();
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), 4);
        EXPECT_EQ(e.message(), "waveInOpen: fake text 4");
    }
    EXPECT_EQ(fake.lastDevice, 1u);
    EXPECT_EQ(r->State(), TRecorderState::Failed);
    r->setBufSize(128);  // a BufSize write closes as well
    EXPECT_EQ(r->State(), TRecorderState::Closed);

    // Sizes that describe no buffer are refused before anything is allocated or opened.
    fake.openResult = MMSYSERR_NOERROR;
    const int opens = fake.count("query");
    for (const auto& [frames, code] :
         {std::pair{0, 11}, std::pair{-5, 11}, std::pair{300000000, 7}}) {
        r->setBufSize(frames);
        try {
            r->Start();
            FAIL() << "no error for " << frames;
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.ErrorCode(), code);
        }
        EXPECT_EQ(r->BlockBytes(), 0u);
    }
    EXPECT_EQ(fake.count("query"), opens);
}

TEST_F(RecorderTest, ADeviceThatFailsWhileCapturingIsClosedReportedOnceAndStartsAgain) {
    std::vector<std::string> log;
    Listener listener(&log);
    auto r = make(64);
    r->AddClient(listener.event());
    std::vector<int> errors;
    r->OnError = [&](TComponent* sender, int code) {
        EXPECT_EQ(sender, r.get());
        // Closed before the owner hears of it, so the owner may start again at once.
        EXPECT_EQ(r->State(), TRecorderState::Closed);
        EXPECT_EQ(fake.handle, nullptr);
        errors.push_back(code);
    };
    r->Start();
    fake.complete(-1, 7);
    deliverMessages();
    const HWAVEIN lost = fake.handle;
    log.clear();
    fake.lose();
    deliverMessages();
    deliverMessages();  // what the close posted
    EXPECT_EQ(errors, std::vector<int>{static_cast<int>(WAVERR_DEVICELOST)});
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "client:1");  // the clients hear the device close
    EXPECT_EQ(r->Data(), nullptr);
    EXPECT_EQ(fake.count("close"), 1);

    // A late notification of the lost device reaches nobody.
    PostMessage(r->Window(), MM_WIM_ERROR, reinterpret_cast<WPARAM>(lost),
                static_cast<LPARAM>(WAVERR_DEVICELOST));
    deliverMessages();
    EXPECT_EQ(errors.size(), 1u);

    r->Start();
    EXPECT_EQ(fake.opens, 2);
    EXPECT_EQ(r->State(), TRecorderState::Capturing);
    EXPECT_EQ(fake.queue.size(), 7u);
}

TEST_F(RecorderTest, ErrorTextFallsBackWhenThePlatformHasNoText) {
    EXPECT_EQ(TRecorder::ErrorText(2), "fake text 2");
    fake.errorTextResult = MMSYSERR_BADERRNUM;
    EXPECT_EQ(TRecorder::ErrorText(99), "MMERR_???");
    fake.errorTextResult = MMSYSERR_NODRIVER;
    EXPECT_EQ(TRecorder::ErrorText(2), "No driver present");
    fake.errorTextResult = MMSYSERR_NOMEM;
    EXPECT_EQ(TRecorder::ErrorText(2), "Unable to allocate or lock memory");
}

TEST_F(RecorderTest, AutoStartFailureShowsOneBoxOnTheFirstLoopPass) {
    std::vector<std::pair<std::string, std::string>> boxes;
    auto previous = setMostradorMensagem([&](const std::string& text, const std::string& caption) {
        boxes.emplace_back(text, caption);
    });
    fake.queryResult = MMSYSERR_NODRIVER;
    {
        TRecorder quiet;
        quiet.setAutoStart(false);  // still in time: the trigger is only posted
        TRecorder r;
        EXPECT_TRUE(boxes.empty());
        deliverMessages();
        deliverMessages();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].first, "EInOutError waveInOpenQuery: fake text 6");
        EXPECT_EQ(boxes[0].second, "EntradaAudio auto-start");
        EXPECT_EQ(r.State(), TRecorderState::Failed);
        EXPECT_EQ(fake.count("query"), 1);
    }
    fake.queryResult = MMSYSERR_NOERROR;
    {
        TRecorder r;
        deliverMessages();
        EXPECT_EQ(r.State(), TRecorderState::Capturing);
    }
    setMostradorMensagem(previous);
}

TEST_F(RecorderTest, DestroyingACapturingRecorderClosesAndRemovesItsWindow) {
    std::vector<std::string> log;
    Listener listener(&log);
    HWND window;
    {
        auto r = make(64);
        r->AddClient(listener.event());
        r->Start();
        window = r->Window();
        EXPECT_TRUE(IsWindow(window));
        fake.complete();
    }
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(fake.count("stop"), 1);
    EXPECT_EQ(fake.count("close"), 1);
    EXPECT_EQ(fake.handle, nullptr);
    deliverMessages();
    EXPECT_TRUE(log.empty());  // nothing reaches a destroyed recorder's clients
}

TEST_F(RecorderTest, ReleaseAndStartAgainMakesANewWindow) {
    auto r = make(64);
    r->Start();
    const HWND first = r->Window();
    r->Stop();
    r->Release();
    EXPECT_EQ(r->Window(), nullptr);
    EXPECT_FALSE(IsWindow(first));
    r->Start();
    EXPECT_TRUE(IsWindow(r->Window()));
    EXPECT_EQ(r->State(), TRecorderState::Capturing);

    fake.position = 1234;
    EXPECT_EQ(r->SamplePos(), 1234u);
    r->Reset();  // every queued buffer comes back; the device stays open
    EXPECT_EQ(r->State(), TRecorderState::Open);
    deliverMessages();
    EXPECT_EQ(fake.queue.size(), 7u);  // each completion re-queued the held buffer
    r->Release();
    EXPECT_EQ(r->SamplePos(), 1234u);  // reading it opens the device again
    EXPECT_EQ(r->State(), TRecorderState::Open);
}
