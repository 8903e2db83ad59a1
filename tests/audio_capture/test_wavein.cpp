// The wave-in layer: real ALSA capture through the `file` plugin, result codes and texts, and the
// capture thread's handling of overruns, stops and vanishing devices on a scripted stream.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "alsa_capture.h"
#include "alsa_env.h"
#include "recorder.h"
#include "wavein.h"
#include "wavein_device.h"

namespace {

WAVEFORMATEX pcm(unsigned rate, unsigned channels, unsigned bits) {
    const auto block =
        pcmFormatBlock(static_cast<int>(rate), static_cast<int>(channels), static_cast<int>(bits));
    return waveFormatFromBlock(block.data());
}

// A hidden window that keeps every message it receives.
struct Inbox {
    std::vector<TMessage> messages;
    HWND window = AllocateHWnd([this](TMessage& m) { messages.push_back(m); });
    ~Inbox() { DeallocateHWnd(window); }
    DWORD_PTR callback() const { return reinterpret_cast<DWORD_PTR>(window); }
    std::size_t count(unsigned msg) const {
        std::size_t n = 0;
        for (const TMessage& m : messages) n += m.Msg == msg;
        return n;
    }
};

struct Buffers {
    std::vector<std::vector<char>> memory;
    std::vector<WAVEHDR> headers;
    Buffers(int count, DWORD bytes) : memory(count, std::vector<char>(bytes)), headers(count) {
        for (int i = 0; i < count; ++i) {
            headers[i].lpData = memory[i].data();
            headers[i].dwBufferLength = bytes;
        }
    }
    void add(HWAVEIN h, int i) {
        ASSERT_EQ(waveInPrepareHeader(h, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(waveInAddBuffer(h, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
};

const WAVEHDR* header(const TMessage& m) {
    return reinterpret_cast<const WAVEHDR*>(m.LParam);
}

}  // namespace

TEST(WaveInAlsa, CapturesTheFileInQueueOrderWithOrderedNotifications) {
    useToneConfig();
    const auto& file = captureFileBytes();
    const int threads = threadCount();
    Inbox inbox;
    const WAVEFORMATEX fmt = pcm(11025, 1, 8);
    EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, &fmt, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
    HWAVEIN h = nullptr;
    ASSERT_EQ(waveInOpen(&h, WAVE_MAPPER, &fmt, inbox.callback(), 0, CALLBACK_WINDOW),
              MMSYSERR_NOERROR);
    EXPECT_EQ(threadCount(), threads + 1);

    Buffers b(4, 1000);
    for (int i = 0; i < 4; ++i) b.add(h, i);
    EXPECT_EQ(waveInUnprepareHeader(h, &b.headers[0], sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
    ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(runUntil([&] { return inbox.messages.size() >= 5; }));

    ASSERT_EQ(inbox.messages[0].Msg, MM_WIM_OPEN);
    EXPECT_EQ(reinterpret_cast<HWAVEIN>(inbox.messages[0].WParam), h);
    std::vector<char> captured;
    for (int i = 0; i < 4; ++i) {
        const TMessage& m = inbox.messages[static_cast<std::size_t>(i + 1)];
        ASSERT_EQ(m.Msg, MM_WIM_DATA);
        EXPECT_EQ(reinterpret_cast<HWAVEIN>(m.WParam), h);
        ASSERT_EQ(header(m), &b.headers[i]);
        EXPECT_EQ(b.headers[i].dwBytesRecorded, 1000u);
        EXPECT_EQ(b.headers[i].dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
        captured.insert(captured.end(), b.memory[i].begin(), b.memory[i].end());
    }
    // Re-queued buffers go on where the stream was.
    b.add(h, 1);
    b.add(h, 0);
    ASSERT_TRUE(runUntil([&] { return inbox.count(MM_WIM_DATA) >= 6; }));
    EXPECT_EQ(header(inbox.messages[5]), &b.headers[1]);
    EXPECT_EQ(header(inbox.messages[6]), &b.headers[0]);
    captured.insert(captured.end(), b.memory[1].begin(), b.memory[1].end());
    captured.insert(captured.end(), b.memory[0].begin(), b.memory[0].end());
    EXPECT_TRUE(
        std::equal(captured.begin(), captured.end(), file.begin(),
                   [](char c, std::uint8_t u) { return static_cast<std::uint8_t>(c) == u; }));

    MMTIME t{};
    t.wType = TIME_SAMPLES;
    ASSERT_EQ(waveInGetPosition(h, &t, sizeof t), MMSYSERR_NOERROR);
    EXPECT_EQ(t.u.sample, 6000u);

    // Stopped, a queued buffer stays queued: close refuses until a reset returns it.
    EXPECT_EQ(waveInStop(h), MMSYSERR_NOERROR);
    b.add(h, 2);
    runFor(20);
    EXPECT_EQ(inbox.count(MM_WIM_DATA), 6u);
    EXPECT_EQ(waveInClose(h), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveInReset(h), MMSYSERR_NOERROR);
    EXPECT_EQ(b.headers[2].dwBytesRecorded, 0u);
    EXPECT_TRUE(b.headers[2].dwFlags & WHDR_DONE);
    waveInGetPosition(h, &t, sizeof t);
    EXPECT_EQ(t.u.sample, 0u);  // a reset starts the count again
    EXPECT_EQ(waveInClose(h), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInStart(h), MMSYSERR_INVALHANDLE);
    ASSERT_TRUE(runUntil([&] { return inbox.count(MM_WIM_CLOSE) == 1; }));
    EXPECT_EQ(inbox.messages.back().Msg, MM_WIM_CLOSE);
    EXPECT_EQ(header(inbox.messages[inbox.messages.size() - 2]), &b.headers[2]);
    runFor(30);
    EXPECT_EQ(inbox.messages.back().Msg, MM_WIM_CLOSE);  // nothing after the close
    EXPECT_EQ(threadCount(), threads);
}

TEST(WaveInAlsa, DeviceNumbersFollowAlsasCapturePcmList) {
    useAlsaConfig(
        "pcm.tessarin_gone { type hw card 9 hint { show on description \"gone\" } }\n"
        "pcm.tessarin_tone { type null hint { show on description \"tone\" } }");
    const auto names = alsaCaptureDevices();
    EXPECT_EQ(waveInGetNumDevs(), names.size());
    EXPECT_EQ(std::count(names.begin(), names.end(), "null"), 0);
    const auto gone = std::find(names.begin(), names.end(), "tessarin_gone");
    const auto tone = std::find(names.begin(), names.end(), "tessarin_tone");
    ASSERT_NE(gone, names.end());
    ASSERT_NE(tone, names.end());

    const WAVEFORMATEX fmt = pcm(11025, 1, 8);
    Inbox inbox;
    HWAVEIN h = nullptr;
    const auto n = static_cast<UINT>(names.size());
    EXPECT_EQ(waveInOpen(nullptr, n, &fmt, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(waveInOpen(&h, n + 7, &fmt, inbox.callback(), 0, CALLBACK_WINDOW),
              MMSYSERR_BADDEVICEID);
    EXPECT_EQ(waveInOpen(&h, static_cast<UINT>(gone - names.begin()), &fmt, inbox.callback(), 0,
                         CALLBACK_WINDOW),
              MMSYSERR_BADDEVICEID);
    const auto toneId = static_cast<UINT>(tone - names.begin());
    ASSERT_EQ(waveInOpen(&h, toneId, &fmt, inbox.callback(), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(h), MMSYSERR_NOERROR);

    // Formats the layer cannot describe to ALSA, or a broken format block.
    for (const WAVEFORMATEX& bad : {pcm(11025, 1, 12), pcm(11025, 0, 8), pcm(0, 1, 8)})
        EXPECT_EQ(waveInOpen(nullptr, toneId, &bad, 0, 0, WAVE_FORMAT_QUERY), WAVERR_BADFORMAT);
    WAVEFORMATEX notPcm = fmt;
    notPcm.wFormatTag = 3;
    EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, &notPcm, 0, 0, WAVE_FORMAT_QUERY), WAVERR_BADFORMAT);
    WAVEFORMATEX misaligned = fmt;
    misaligned.nBlockAlign = 2;
    EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, &misaligned, 0, 0, WAVE_FORMAT_QUERY),
              WAVERR_BADFORMAT);
    EXPECT_EQ(waveInOpen(&h, toneId, &fmt, 0x7777, 0, CALLBACK_WINDOW), MMSYSERR_INVALPARAM);
}

TEST(WaveInAlsa, NoSoundSystemIsNoDriver) {
    useAlsaConfig("pcm.!default { type hw card 9 }");
    const WAVEFORMATEX fmt = pcm(11025, 1, 8);
    Inbox inbox;
    HWAVEIN h = nullptr;
    EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, &fmt, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NODRIVER);
    EXPECT_EQ(waveInOpen(&h, WAVE_MAPPER, &fmt, inbox.callback(), 0, CALLBACK_WINDOW),
              MMSYSERR_NODRIVER);
    runFor(10);
    EXPECT_TRUE(inbox.messages.empty());
}

TEST(WaveInAlsa, AlsaErrorsMapOntoResultCodes) {
    struct Case {
        int error;
        MMRESULT forDefault, forListed;
    };
    const Case open[] = {
        {-EBUSY, 4, 4}, {-EAGAIN, 4, 4},       {-ENOMEM, 7, 7}, {-ENOENT, 6, 2}, {-ENODEV, 6, 2},
        {-ENXIO, 6, 2}, {-ECONNREFUSED, 6, 6}, {-EACCES, 6, 6}, {-EIO, 1, 1},    {-EINVAL, 1, 1},
    };
    for (const Case& c : open) {
        EXPECT_EQ(alsaOpenError(c.error, true), c.forDefault) << c.error;
        EXPECT_EQ(alsaOpenError(c.error, false), c.forListed) << c.error;
    }
    const Case format[] = {
        {-EINVAL, 32, 32}, {-EIO, 32, 32}, {-EBUSY, 4, 4}, {-ENOMEM, 7, 7}, {-ENODEV, 6, 2}};
    for (const Case& c : format) {
        EXPECT_EQ(alsaFormatError(c.error, true), c.forDefault) << c.error;
        EXPECT_EQ(alsaFormatError(c.error, false), c.forListed) << c.error;
    }
}

TEST(WaveInAlsa, ResultCodesHaveTexts) {
    char text[260];
    for (MMRESULT code : {0u, 2u, 4u, 6u, 7u, 32u}) {
        ASSERT_EQ(waveOutGetErrorTextA(code, text, sizeof text), MMSYSERR_NOERROR) << code;
        EXPECT_EQ(TRecorder::ErrorText(code), text);
    }
    EXPECT_EQ(waveOutGetErrorTextA(12, text, sizeof text), MMSYSERR_BADERRNUM);
    EXPECT_EQ(TRecorder::ErrorText(12), "MMERR_???");
    ASSERT_EQ(waveOutGetErrorTextA(2, text, 8), MMSYSERR_NOERROR);  // cut to fit, terminated
    EXPECT_EQ(std::string(text), "The aud");
    EXPECT_EQ(waveOutGetErrorTextA(2, text, 0), MMSYSERR_INVALPARAM);
}

// ---- The capture thread on a scripted stream ----

namespace {

// Delivers frames numbered by a running counter, or errors, as the script says. Every call comes
// from the engine with the device locked; the test reads the counters after the device is closed
// or through the mutex.
struct Script {
    std::mutex mutex;
    std::deque<long> steps;  // > 0: that many frames; <= 0: that result once
    int next = 0;
    int starts = 0, stops = 0, recovers = 0;
    int recoverResult = 0;
};

class ScriptStream : public CaptureStream {
public:
    explicit ScriptStream(std::shared_ptr<Script> s) : s_(std::move(s)) {}
    int start() override {
        std::lock_guard lock(s_->mutex);
        ++s_->starts;
        return 0;
    }
    int stop() override {
        std::lock_guard lock(s_->mutex);
        ++s_->stops;
        return 0;
    }
    long read(void* buffer, unsigned long frames) override {
        std::lock_guard lock(s_->mutex);
        if (s_->steps.empty()) return -EAGAIN;
        long& step = s_->steps.front();
        if (step <= 0) {
            const long r = step;
            s_->steps.pop_front();
            return r;
        }
        const long n = std::min<long>(step, static_cast<long>(frames));
        auto* out = static_cast<std::uint8_t*>(buffer);
        for (long i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(s_->next++);
        if ((step -= n) == 0) s_->steps.pop_front();
        return n;
    }
    int recover(int) override {
        std::lock_guard lock(s_->mutex);
        ++s_->recovers;
        return s_->recoverResult;
    }
    int pollDescriptors(pollfd*, int) override { return 0; }

private:
    std::shared_ptr<Script> s_;
};

class ScriptedDevice : public ::testing::Test {
protected:
    void SetUp() override {
        runFor(0);
        CaptureBackend b;
        b.deviceCount = [] { return 1u; };
        b.open = [this](UINT, const CaptureFormat&, bool query,
                        std::unique_ptr<CaptureStream>* out) {
            if (!query) *out = std::make_unique<ScriptStream>(script);
            return MMSYSERR_NOERROR;
        };
        previous = setCaptureBackend(b);
        const WAVEFORMATEX fmt = pcm(11025, 1, 8);
        ASSERT_EQ(waveInOpen(&h, 0, &fmt, inbox.callback(), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    }
    void TearDown() override { setCaptureBackend(previous); }

    void feed(std::initializer_list<long> steps) {
        std::lock_guard lock(script->mutex);
        script->steps.insert(script->steps.end(), steps);
    }
    std::vector<int> doneOrder() const {
        std::vector<int> out;
        for (const TMessage& m : inbox.messages)
            if (m.Msg == MM_WIM_DATA)
                out.push_back(static_cast<int>(header(m) - bufs.headers.data()));
        return out;
    }

    std::shared_ptr<Script> script = std::make_shared<Script>();
    CaptureBackend previous;
    Inbox inbox;
    Buffers bufs{3, 100};
    HWAVEIN h = nullptr;
};

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

TEST_F(ScriptedDevice, OverrunKeepsTheRingOrderAndStopReturnsThePartialBuffer) {
    feed({100, -EPIPE, 150});
    for (int i = 0; i < 3; ++i) bufs.add(h, i);
    ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(runUntil([&] { return inbox.count(MM_WIM_DATA) == 2; }));
    EXPECT_EQ(wavein_device::overruns(h), 1u);

    // Waiting for data that does not come costs no CPU.
    const double before = cpuSeconds();
    runFor(300);
    EXPECT_LT(cpuSeconds() - before, 0.1);

    EXPECT_EQ(waveInStop(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(runUntil([&] { return inbox.count(MM_WIM_DATA) == 3; }));
    EXPECT_EQ(doneOrder(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(bufs.headers[2].dwBytesRecorded, 50u);
    for (int i = 0; i < 250; ++i)
        EXPECT_EQ(static_cast<std::uint8_t>(bufs.memory[i / 100][i % 100]), i & 0xFF) << i;
    EXPECT_EQ(waveInStop(h), MMSYSERR_NOERROR);  // nothing more to return
    EXPECT_EQ(waveInClose(h), MMSYSERR_NOERROR);
    std::lock_guard lock(script->mutex);
    EXPECT_EQ(script->recovers, 1);
    EXPECT_EQ(script->starts, 1);
}

TEST_F(ScriptedDevice, AVanishingDeviceEndsCaptureCleanly) {
    const int threads = threadCount();
    feed({150, -ENODEV});
    for (int i = 0; i < 3; ++i) bufs.add(h, i);
    ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(runUntil([&] { return inbox.count(MM_WIM_DATA) == 3; }));
    EXPECT_EQ(doneOrder(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(bufs.headers[0].dwBytesRecorded, 100u);
    EXPECT_EQ(bufs.headers[1].dwBytesRecorded, 50u);
    EXPECT_EQ(bufs.headers[2].dwBytesRecorded, 0u);
    // The owner hears of it once, after the buffers.
    ASSERT_TRUE(runUntil([&] { return inbox.count(MM_WIM_ERROR) == 1; }));
    EXPECT_EQ(inbox.messages.back().Msg, MM_WIM_ERROR);
    EXPECT_EQ(reinterpret_cast<HWAVEIN>(inbox.messages.back().WParam), h);
    EXPECT_EQ(inbox.messages.back().LParam, static_cast<LPARAM>(WAVERR_DEVICELOST));

    EXPECT_EQ(waveInAddBuffer(h, &bufs.headers[0], sizeof(WAVEHDR)), MMSYSERR_NODRIVER);
    EXPECT_EQ(waveInStart(h), MMSYSERR_NODRIVER);
    EXPECT_EQ(waveInStop(h), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInReset(h), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(runUntil([&] { return inbox.count(MM_WIM_CLOSE) == 1; }));
    runFor(20);
    EXPECT_EQ(inbox.messages.back().Msg, MM_WIM_CLOSE);
    EXPECT_EQ(threadCount(), threads - 1);

    // The owner can open again.
    script = std::make_shared<Script>();
    feed({100});
    const WAVEFORMATEX fmt = pcm(11025, 1, 8);
    ASSERT_EQ(waveInOpen(&h, 0, &fmt, inbox.callback(), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    bufs.add(h, 0);
    waveInStart(h);
    ASSERT_TRUE(runUntil([&] { return inbox.count(MM_WIM_DATA) == 4; }));
    EXPECT_EQ(bufs.headers[0].dwBytesRecorded, 100u);
    waveInReset(h);
    EXPECT_EQ(waveInClose(h), MMSYSERR_NOERROR);
    EXPECT_EQ(inbox.count(MM_WIM_ERROR), 1u);
}

TEST_F(ScriptedDevice, EveryOtherFailureWhileCapturingEndsItTheSameWay) {
    // Input/output error, a PCM in a bad state, a server that went away, and an overrun that
    // the stream cannot recover from.
    for (const long error : {-EIO, -EBADFD, -ENOTCONN, -EPIPE}) {
        SCOPED_TRACE(error);
        inbox.messages.clear();
        script->recoverResult = -ENODEV;
        feed({30, error});
        for (int i = 0; i < 3; ++i) bufs.add(h, i);
        ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
        ASSERT_TRUE(runUntil([&] { return inbox.count(MM_WIM_ERROR) == 1; }));
        runFor(20);
        EXPECT_EQ(inbox.count(MM_WIM_DATA), 3u);
        EXPECT_EQ(inbox.count(MM_WIM_ERROR), 1u);
        EXPECT_EQ(inbox.messages.back().Msg, MM_WIM_ERROR);
        EXPECT_EQ(bufs.headers[0].dwBytesRecorded, 30u);
        EXPECT_EQ(waveInClose(h), MMSYSERR_NOERROR);
        const WAVEFORMATEX fmt = pcm(11025, 1, 8);
        ASSERT_EQ(waveInOpen(&h, 0, &fmt, inbox.callback(), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    }
    waveInClose(h);
}

// ---- Streams that wake the capture thread in unusual ways ----

namespace {

// A stream that signals its data on the last of `count` descriptors (a PCM made of several
// devices has one or more per device): each byte written to that pipe is 100 frames. With
// `neverDelivers`, the pipe stays readable and reads find nothing, forever.
class PipeStream : public CaptureStream {
public:
    PipeStream(int count, bool neverDelivers) : neverDelivers_(neverDelivers) {
        for (int i = 0; i < count; ++i) {
            int p[2];
            if (::pipe2(p, O_NONBLOCK | O_CLOEXEC) != 0) std::abort();
            pipes_.push_back({p[0], p[1]});
        }
    }
    ~PipeStream() override {
        for (const auto& [r, w] : pipes_) ::close(r), ::close(w);
    }
    int writeEnd() const { return pipes_.back().second; }

    int start() override { return 0; }
    int stop() override { return 0; }
    long read(void* buffer, unsigned long frames) override {
        if (neverDelivers_) return -EAGAIN;
        char byte;
        if (::read(pipes_.back().first, &byte, 1) != 1) return -EAGAIN;
        const long n = std::min(100L, static_cast<long>(frames));
        std::memset(buffer, byte, static_cast<std::size_t>(n));
        return n;
    }
    int recover(int) override { return 0; }
    int pollDescriptorCount() override { return static_cast<int>(pipes_.size()); }
    int pollDescriptors(pollfd* fds, int space) override {
        const int n = std::min(space, static_cast<int>(pipes_.size()));
        for (int i = 0; i < n; ++i) fds[i] = pollfd{pipes_[i].first, POLLIN, 0};
        return n;
    }

private:
    std::vector<std::pair<int, int>> pipes_;
    bool neverDelivers_;
};

class PipeDevice : public ::testing::Test {
protected:
    void open(int descriptors, bool neverDelivers) {
        runFor(0);
        auto s = std::make_unique<PipeStream>(descriptors, neverDelivers);
        stream = s.get();
        pending = std::move(s);
        CaptureBackend b;
        b.deviceCount = [] { return 1u; };
        b.open = [this](UINT, const CaptureFormat&, bool query,
                        std::unique_ptr<CaptureStream>* out) {
            if (!query) *out = std::move(pending);
            return MMSYSERR_NOERROR;
        };
        previous = setCaptureBackend(b);
        const WAVEFORMATEX fmt = pcm(11025, 1, 8);
        ASSERT_EQ(waveInOpen(&h, 0, &fmt, inbox.callback(), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
        for (int i = 0; i < 3; ++i) bufs.add(h, i);
        ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
    }
    void TearDown() override {
        if (h != nullptr) {
            waveInReset(h);
            waveInClose(h);
        }
        setCaptureBackend(previous);
    }

    std::unique_ptr<CaptureStream> pending;
    PipeStream* stream = nullptr;
    CaptureBackend previous;
    Inbox inbox;
    Buffers bufs{3, 100};
    HWAVEIN h = nullptr;
};

}  // namespace

TEST_F(PipeDevice, DataSignalledOnTheTwentiethDescriptorIsRead) {
    open(20, false);
    // One buffer's worth at a time, each once the thread waits for it.
    std::size_t done = 0;
    for (char c : {'a', 'b', 'c'}) {
        runFor(20);
        ASSERT_EQ(::write(stream->writeEnd(), &c, 1), 1);
        ASSERT_TRUE(runUntil([&] { return inbox.count(MM_WIM_DATA) == done + 1; }, 3000)) << c;
        EXPECT_EQ(bufs.memory[done++][99], c);
    }
}

TEST_F(PipeDevice, AStreamThatSignalsDataItNeverDeliversIsGivenUpWithoutSpinning) {
    open(1, true);
    char c = 'x';
    ASSERT_EQ(::write(stream->writeEnd(), &c, 1), 1);  // readable from now on
    ASSERT_TRUE(runUntil([&] { return inbox.count(MM_WIM_ERROR) == 1; }, 3000));
    EXPECT_EQ(inbox.count(MM_WIM_DATA), 3u);
    const double before = cpuSeconds();
    runFor(300);
    EXPECT_LT(cpuSeconds() - before, 0.1);
}
