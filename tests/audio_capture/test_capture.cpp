// TRecorder on real ALSA capture (the `file` plugin): a tone reaches the analyser and the pitch
// estimator, bytes reach Sample unchanged, failed opens raise the platform's codes, and repeated
// start / stop / release leaves nothing behind.

#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "afinacao.h"
#include "alsa_env.h"
#include "errors.h"
#include "estimador_afinacao.h"
#include "fft.h"
#include "private_sound_server.h"
#include "recorder.h"

TEST(Capture, ToneReachesTheAnalyserAndTheEstimatorUnchanged) {
    useToneConfig();
    TRecorder r;
    r.setAutoStart(false);
    r.setBufSize(4069);
    r.Quality().setFrequency(11025);
    TFFT fft;
    fft.setSource(&r);
    fft.setBufSize(16380);
    EXPECT_EQ(fft.BufSize(), 16384);

    std::vector<std::uint8_t> captured;
    std::vector<int> first;
    int buffers = 0;
    r.OnSample = [&](TComponent*) {
        if (buffers == 0)
            for (int i = 0; i < 3; ++i) first.push_back(r.Sample(i));
        EXPECT_EQ(r.FrameCount(), 4069);
        captured.insert(captured.end(), r.Data(), r.Data() + r.BytesRecorded());
        if (++buffers == 6) r.Stop();  // the analyser has seen more than N samples
    };
    r.Start();
    ASSERT_TRUE(runUntil([&] { return buffers == 6; }));
    runFor(20);
    EXPECT_EQ(buffers, 6);  // nothing arrives for the closed device
    r.Release();

    EXPECT_EQ(first, (std::vector<int>{0, -8192, 8128}));
    const auto& file = captureFileBytes();
    ASSERT_EQ(captured.size(), 6u * 4069);
    EXPECT_TRUE(std::equal(captured.begin(), captured.end(), file.begin()));

    ASSERT_TRUE(fft.prepared());
    int peak = 0;
    for (int i = 1; i < 8190; ++i)
        if (fft.Magnitude(i) > fft.Magnitude(peak)) peak = i;
    EXPECT_EQ(peak, 163);  // 110 Hz / (11025 / 16384 Hz)

    Afinacao a("Baixo", "", 1, {"A"}, {45}, {110.0});
    EstimadorAfinacao estimator;
    estimator.setAfinacao(&a);
    estimator.setCordaSelecionada(0);
    estimator.calcularDesvios();
    EXPECT_DOUBLE_EQ(estimator.frequenciaPico(fft), 163 * estimator.larguraBin());
    EXPECT_NEAR(estimator.desvio(fft), 0.0, 1e-9);
}

TEST(Capture, ADeviceThatDoesNotExistRaisesCode2) {
    useToneConfig();
    TRecorder r;
    r.setAutoStart(false);
    r.Device().setId(r.DeviceCount() + 3);
    try {
        r.Start();
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), 2);
        EXPECT_EQ(e.message(), "waveInOpenQuery: " + TRecorder::ErrorText(2));
    }
    EXPECT_EQ(r.State(), TRecorderState::Failed);
    r.Stop();
    r.Device().setId(-1);
    EXPECT_NO_THROW(r.Start());
    EXPECT_EQ(r.State(), TRecorderState::Capturing);
}

TEST(Capture, NoSoundSystemRaisesCode6) {
    useAlsaConfig("pcm.!default { type hw card 9 }");
    TRecorder r;
    r.setAutoStart(false);
    try {
        r.Start();
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), 6);
        EXPECT_EQ(e.message(), "waveInOpenQuery: " + TRecorder::ErrorText(6));
    }
    EXPECT_FALSE(r.QualitySupported());
}

TEST(Capture, TwoHundredStartStopReleaseCyclesLeaveNothingBehind) {
    useToneConfig();
    TRecorder r;
    r.setAutoStart(false);
    r.setBufSize(256);
    int buffers = 0;
    r.OnSample = [&](TComponent*) { ++buffers; };
    const auto cycle = [&] {
        const int before = buffers;
        r.Start();
        ASSERT_TRUE(runUntil([&] { return buffers > before; }, 5000));
        r.Stop();
        r.Release();
    };
    cycle();
    runFor(5);
    const int threads = threadCount(), fds = fdCount();
    const std::size_t heap = mallinfo2().uordblks;
    for (int i = 0; i < 200; ++i) {
        cycle();
        if (HasFatalFailure()) return;
    }
    runFor(5);
    EXPECT_EQ(threadCount(), threads);
    EXPECT_EQ(fdCount(), fds);
    // One cycle allocates at least a 2 KiB block, a thread and an ALSA handle; a leak of any of
    // them would grow the heap far beyond this.
    EXPECT_LT(static_cast<long long>(mallinfo2().uordblks) - static_cast<long long>(heap),
              64 * 1024);
    EXPECT_EQ(r.Window(), nullptr);
}

TEST(Capture, ASoundServerThatGoesAwayIsReportedOnceAndCaptureComesBackWithIt) {
    auto server = std::make_unique<testkit::PrivateSoundServer>();
    if (!server->running()) GTEST_SKIP() << "no PulseAudio on this machine";
    useAlsaConfig("pcm.!default { type pulse }");
    TRecorder r;
    r.setAutoStart(false);
    r.setBufSize(256);
    int buffers = 0;
    std::vector<int> errors;
    r.OnSample = [&](TComponent*) { ++buffers; };
    r.OnError = [&](TComponent*, int code) { errors.push_back(code); };
    r.Start();
    ASSERT_TRUE(runUntil([&] { return buffers >= 2; }));

    server.reset();  // the desktop's sound server ends
    ASSERT_TRUE(runUntil([&] { return !errors.empty(); }));
    runFor(200);
    EXPECT_EQ(errors, std::vector<int>{static_cast<int>(WAVERR_DEVICELOST)});
    EXPECT_EQ(r.State(), TRecorderState::Closed);

    // Back again, the next start opens it.
    server = std::make_unique<testkit::PrivateSoundServer>();
    ASSERT_TRUE(server->running());
    const int before = buffers;
    r.Start();
    EXPECT_TRUE(runUntil([&] { return buffers >= before + 2; }));
    r.Stop();
    r.Release();
    EXPECT_EQ(errors.size(), 1u);
}

namespace {

struct CaptureThreads {
    long wakeUps = 0;     // times they went to sleep and were woken (voluntary switches)
    double cpuNs = 0.0;   // time they ran
};

// The capture threads of this process so far.
CaptureThreads captureThreads() {
    CaptureThreads total;
    for (const auto& t : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::ifstream(t.path() / "comm") >> name;
        if (name != "wavein-capture") continue;
        std::ifstream status(t.path() / "status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                total.wakeUps += std::stol(line.substr(line.find(':') + 1));
        double ns = 0.0;
        std::ifstream(t.path() / "schedstat") >> ns;
        total.cpuNs += ns;
    }
    return total;
}

}  // namespace

// From a sound server, capture wakes once per period and sleeps in between, also after it was
// stopped and started again (when PulseAudio's plugin, prepared a second time, would keep its
// descriptor ready).
TEST(Capture, ThroughASoundServerCaptureSleepsBetweenItsPeriods) {
    auto server = std::make_unique<testkit::PrivateSoundServer>();
    if (!server->running()) GTEST_SKIP() << "no PulseAudio on this machine";
    useAlsaConfig("pcm.!default { type pulse }");
    TRecorder r;
    r.setAutoStart(false);
    r.setBufSize(4069);
    r.Quality().setFrequency(11025);
    int buffers = 0;
    r.OnSample = [&](TComponent*) { ++buffers; };
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        r.Start();
        const int started = buffers;
        ASSERT_TRUE(runUntil([&] { return buffers >= started + 2; }));
        const CaptureThreads before = captureThreads();
        const int first = buffers;
        ASSERT_TRUE(runUntil([&] { return buffers >= first + 6; }));
        const CaptureThreads after = captureThreads();
        r.Stop();
        // Six buffers of 0.37 s take 44 periods of 50 ms: the thread wakes about once per
        // period, plus its waits on the locks it shares with its owner and the sound library.
        // Between wake-ups it sleeps instead of spinning on a descriptor that stays ready
        // (tens of milliseconds of running would show it).
        const long wakeUps = after.wakeUps - before.wakeUps;
        EXPECT_GT(wakeUps, 0);
        EXPECT_LE(wakeUps, 20 * (buffers - first));
        EXPECT_LT(after.cpuNs - before.cpuNs, 0.02e9);
    }
    r.Release();
}
