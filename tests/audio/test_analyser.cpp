// The analyser's transform and read-outs: lengths, exact magnitudes, agreement with a direct
// radix-2 transform, channel selection.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "fft.h"
#include "real_fft.h"
#include "replay_source.h"

namespace {

// The textbook in-place iterative radix-2 transform (bit-reversed input, per-stage twiddles),
// kept deliberately plain as the reference our packed real transform must agree with.
std::vector<std::complex<double>> referenceDft(const std::vector<double>& x) {
    const std::size_t n = x.size();
    int stages = 0;
    for (std::size_t v = n - 1; v != 0; v >>= 1) ++stages;
    std::vector<std::complex<double>> a(n);
    for (std::size_t k = 0; k < n; ++k) {
        std::size_t r = 0;
        for (int b = 0; b < stages; ++b) r |= ((k >> b) & 1u) << (stages - 1 - b);
        a[r] = x[k];
    }
    for (std::size_t half = 1; half < n; half *= 2) {
        for (std::size_t j = 0; j < half; ++j) {
            const double angle = j * 6.283185307179586 / (2.0 * half);
            const std::complex<double> w(std::cos(angle), -std::sin(angle));
            for (std::size_t k = j; k < n; k += 2 * half) {
                const std::complex<double> t = a[k + half] * w;
                a[k + half] = a[k] - t;
                a[k] += t;
            }
        }
    }
    return a;
}

std::vector<double> randomSamples(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> d(-8192.0, 8128.0);
    std::vector<double> x(n);
    for (auto& v : x) v = d(gen);
    return x;
}

// A source replaying 8-bit mono buffers of `frames` frames.
struct Rig {
    explicit Rig(int frames, int fftSize) {
        source.setBufSize(frames);
        fft.setSource(&source);
        fft.setBufSize(fftSize);
    }
    TReplaySource source;
    TFFT fft;
};

}  // namespace

TEST(RealFft, AgreesWithRadix2ReferenceAtEverySize) {
    for (int n : {1, 2, 4, 8, 16, 64, 1024, 16384}) {
        const auto x = randomSamples(static_cast<std::size_t>(n), static_cast<unsigned>(n));
        RealFft fft(n);
        fft.transform(x.data());
        const auto ref = referenceDft(x);
        double largest = 0.0;
        for (const auto& c : ref) largest = std::max(largest, std::abs(c));
        for (int k = 0; k < n; ++k) {
            const std::complex<double> got(fft.real(k), fft.imag(k));
            ASSERT_LT(std::abs(got - ref[static_cast<std::size_t>(k)]), 1e-9 * largest)
                << "n=" << n << " bin " << k;
        }
    }
}

TEST(Analyser, LengthRoundsToPowerOfTwoNeverBelowSourceBuffer) {
    TFFT alone;
    EXPECT_EQ(alone.BufSize(), 1024);
    for (auto [written, expected] :
         {std::pair{16380, 16384}, {1, 1}, {4096, 4096}, {0, 1}, {-5, 1}}) {
        alone.setBufSize(written);
        EXPECT_EQ(alone.BufSize(), expected) << written;
    }

    TReplaySource small;  // 256 frames
    TFFT withSmall;
    withSmall.setSource(&small);
    EXPECT_EQ(withSmall.BufSize(), 1024);
    withSmall.setBufSize(16380);
    EXPECT_EQ(withSmall.BufSize(), 16384);

    TReplaySource big;
    big.setBufSize(4069);
    TFFT withBig;
    withBig.setSource(&big);
    EXPECT_EQ(withBig.BufSize(), 4096);
    withBig.setBufSize(1000);
    EXPECT_EQ(withBig.BufSize(), 4096);
}

TEST(Analyser, PreparedWithoutSourceKeepsWrittenLengthAndIsUnprepared) {
    TReplaySource source;
    TFFT fft;
    fft.setSource(&source);
    source.open();
    ASSERT_TRUE(fft.prepared());
    fft.setSource(nullptr);
    fft.setBufSize(1000);
    EXPECT_EQ(fft.BufSize(), 1000);
    EXPECT_FALSE(fft.prepared());
    EXPECT_EQ(fft.Magnitude(3), 0.0);
}

TEST(Analyser, ConstantInputAndCosineOnABinGiveExactMagnitudes) {
    const int n = 16384;
    Rig rig(4096, n);
    // Byte 0 enters as -8192: a constant window puts -8192 * N into bin 0 only.
    const std::vector<std::uint8_t> zeros(4096, 0);
    for (int b = 0; b < 4; ++b) rig.source.play(zeros);
    EXPECT_NEAR(rig.fft.Magnitude(0), 8192.0 * std::sqrt(double(n)), 1e-6);
    EXPECT_NEAR(rig.fft.Magnitude(1), 0.0, 1e-6);
    EXPECT_NEAR(rig.fft.Magnitude(n / 2), 0.0, 1e-6);

    // A 16-bit cosine of amplitude 8192 exactly on bin N/4 (samples 8192, 0, -8192, 0, ...).
    TReplaySource wide;
    wide.setBufSize(n);
    wide.Quality().setBitsPerSample(16);
    TFFT fft;
    fft.setSource(&wide);
    fft.setBufSize(n);
    std::vector<std::uint8_t> bytes(2 * n);
    for (int i = 0; i < n; ++i) {
        const auto v =
            static_cast<std::int16_t>(std::lround(8192.0 * std::cos(2.0 * M_PI * (n / 4) * i / n)));
        bytes[2 * i] = static_cast<std::uint8_t>(v & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    }
    wide.play(bytes);
    const int k = n / 4;
    EXPECT_NEAR(fft.Magnitude(k), 524288.0, 1e-6);
    EXPECT_NEAR(fft.Magnitude(n - k), 524288.0, 1e-6);  // the mirrored bin
    EXPECT_NEAR(static_cast<double>(fft.BarLevel(k)), 512.0, 1e-9);
    EXPECT_NEAR(fft.Magnitude(k + 1), 0.0, 1e-6);

    // The complex bins carry the phase: a cosine is real and positive at its bin; a sine
    // (a quarter period later) is negative imaginary; mirrored bins are conjugates.
    EXPECT_EQ(fft.Length(), n);
    EXPECT_NEAR(fft.Bin(k).real(), 524288.0, 1e-6);
    EXPECT_NEAR(fft.Bin(k).imag(), 0.0, 1e-6);
    for (int i = 0; i < n; ++i) {
        const auto v =
            static_cast<std::int16_t>(std::lround(8192.0 * std::sin(2.0 * M_PI * (n / 4) * i / n)));
        bytes[2 * i] = static_cast<std::uint8_t>(v & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    }
    wide.play(bytes);
    EXPECT_NEAR(fft.Bin(k).real(), 0.0, 1e-6);
    EXPECT_NEAR(fft.Bin(k).imag(), -524288.0, 1e-6);
    EXPECT_NEAR(fft.Bin(n - k).imag(), 524288.0, 1e-6);
    EXPECT_EQ(fft.Bin(-1), std::complex<double>());
    EXPECT_EQ(fft.Bin(n), std::complex<double>());
}

TEST(Analyser, BarQueries) {
    Rig rig(4069, 16380);
    rig.source.play(std::vector<std::uint8_t>(4069, 128));
    EXPECT_EQ(rig.fft.BarCount(), 8192);
    EXPECT_EQ(rig.fft.sampleRate(), 11025u);
    EXPECT_EQ(static_cast<double>(rig.fft.BarFrequency(8191)), 5511.0);
    // Silence: every sample is 0, so is every magnitude.
    for (int i = 0; i < 16384; i += 997) EXPECT_EQ(rig.fft.Magnitude(i), 0.0);
}

TEST(Analyser, ChannelSelection) {
    // 16-bit stereo: left 1000, right 3000 in every frame.
    TReplaySource stereo;
    stereo.setBufSize(256);
    stereo.Quality().setChannels(2);
    stereo.Quality().setBitsPerSample(16);
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 256; ++i)
        for (std::int16_t v : {std::int16_t(1000), std::int16_t(3000)}) {
            bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(v >> 8));
        }
    const double root = std::sqrt(256.0);
    for (auto [channel, value] : {std::pair{TFFTChannel::chBoth, 2000.0},
                                  {TFFTChannel::chLeft, 1000.0},
                                  {TFFTChannel::chRight, 3000.0}}) {
        TFFT fft;
        fft.setSource(&stereo);
        fft.setBufSize(256);
        fft.setChannels(channel);
        stereo.play(bytes);
        EXPECT_NEAR(fft.Magnitude(0), value * root, 1e-9) << static_cast<int>(channel);
        fft.setSource(nullptr);
    }

    // 8-bit stereo, right channel read directly: byte 255 enters as +8128.
    TReplaySource stereo8;
    stereo8.setBufSize(64);
    stereo8.Quality().setChannels(2);
    TFFT fft8;
    fft8.setSource(&stereo8);
    fft8.setBufSize(64);
    fft8.setChannels(TFFTChannel::chRight);
    std::vector<std::uint8_t> pairs;
    for (int i = 0; i < 64; ++i) pairs.insert(pairs.end(), {0, 255});
    stereo8.play(pairs);
    EXPECT_NEAR(fft8.Magnitude(0), 8128.0 * 8.0, 1e-9);

    // Asking for the right channel of a mono stream falls back to the mixed sample.
    Rig mono(64, 64);
    mono.fft.setChannels(TFFTChannel::chRight);
    mono.source.play(std::vector<std::uint8_t>(64, 0));
    EXPECT_NEAR(mono.fft.Magnitude(0), 8192.0 * 8.0, 1e-9);
}

TEST(Analyser, ToneOnTheCaptureGridPeaksInNearestAnalyserBin) {
    // 16380 requested, 16384 transformed: a tone at f peaks at the bin nearest f * 16384 / 11025.
    Rig rig(4069, 16380);
    const double f = 110.0;
    std::vector<std::uint8_t> tone(4069 * 5);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<std::uint8_t>(
            std::lround(128 + 100 * std::sin(2 * M_PI * f * i / 11025.0)));
    for (int b = 0; b < 5; ++b) rig.source.play(tone.data() + b * 4069, 4069);
    int best = 0;
    for (int i = 1; i < 8192; ++i)
        if (rig.fft.Magnitude(i) > rig.fft.Magnitude(best)) best = i;
    EXPECT_EQ(best, static_cast<int>(std::lround(f * 16384 / 11025.0)));
}

TEST(Analyser, BufferLongerThanTheWindowIsNotLoaded) {
    Rig rig(64, 64);
    rig.source.play(std::vector<std::uint8_t>(64, 0));
    const double before = rig.fft.Magnitude(0);
    rig.source.play(std::vector<std::uint8_t>(65, 255));  // 65 frames > N = 64
    EXPECT_EQ(rig.fft.Magnitude(0), before);
}
