// The needle's rendering against Qt's own rotation, and one whole display tick against the
// timer's 50 ms period. Prints:
//   RATIO rotate_needle/qt_transform <our render time / QImage::transformed time>
//   RATIO tick/frame_budget <tick time / 50 ms>
// Times are the thread's CPU time.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "afinacao.h"
#include "estimador_afinacao.h"
#include "laco_exibicao.h"
#include "rotimg.h"
#include "spectrum.h"

namespace {

// A needle like the tuner's: 113 × 113 on black, pointing up from the centre, with a tapered
// blade, a short tail and a hub.
QImage needlePicture() {
    QImage image(113, 113, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    QLinearGradient blade(50, 0, 63, 0);
    blade.setColorAt(0, QColor(150, 20, 15));
    blade.setColorAt(0.5, QColor(240, 60, 40));
    blade.setColorAt(1, QColor(150, 20, 15));
    p.setBrush(blade);
    const QPointF shape[] = {{56.5, 3}, {60.5, 56.5}, {58.5, 78}, {54.5, 78}, {52.5, 56.5}};
    p.drawPolygon(shape, 5);
    QRadialGradient hub(56.5, 56.5, 10);
    hub.setColorAt(0, QColor(230, 230, 220));
    hub.setColorAt(1, QColor(90, 90, 85));
    p.setBrush(hub);
    p.drawEllipse(QPointF(56.5, 56.5), 10, 10);
    return image;
}

// A picture without any background: every position is looked up.
QImage opaquePicture() {
    QImage image(113, 113, QImage::Format_RGB32);
    for (int y = 0; y < 113; ++y)
        for (int x = 0; x < 113; ++x) image.setPixel(x, y, qRgb(2 * x + 1, 2 * y + 1, 128));
    return image;
}

double threadCpuMicros() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}

// The machine is shared: the two sides are timed in alternating blocks, so that both see the
// same load, and the median of the blocks' ratios is reported.
template <class Ours, class Reference>
double pairedRatio(Ours&& ours, Reference&& reference, int rounds = 61, int block = 40) {
    std::vector<double> ratios;
    for (int r = 0; r < rounds; ++r) {
        double tOurs = 0, tRef = 0;
        for (int side = 0; side < 2; ++side) {
            const bool oursNow = (side == 0) == (r % 2 == 0);
            const double t0 = threadCpuMicros();
            for (int i = 0; i < block; ++i) oursNow ? ours() : reference();
            (oursNow ? tOurs : tRef) = threadCpuMicros() - t0;
        }
        if (tRef > 0) ratios.push_back(tOurs / tRef);
    }
    std::sort(ratios.begin(), ratios.end());
    return ratios.empty() ? 0.0 : ratios[ratios.size() / 2];
}

// Median CPU time of one call, in microseconds, over blocks of calls.
template <class F>
double medianMicros(F&& f, int rounds = 61, int block = 40) {
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        const double t0 = threadCpuMicros();
        for (int i = 0; i < block; ++i) f();
        times.push_back((threadCpuMicros() - t0) / block);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// An angle that differs at every call and sweeps the needle's whole range.
double angleAt(long i) {
    return -90.0 + static_cast<double>((i * 37) % 1800) * 0.1 + 0.013;
}

void configureNeedle(TRotateImage& needle, const QImage& picture = needlePicture()) {
    needle.BeginLoading();
    needle.setGeometry(0, 0, 163, 163);
    needle.setCenter(true);
    needle.setTransparent(true);
    needle.setColor(Qt::black);
    needle.Picture().setBitmap(picture);
    needle.Loaded();
}

// Our rendering of `picture` against Qt's on the same picture and angles.
double renderRatio(const QImage& picture) {
    TRotateImage needle;
    configureNeedle(needle, picture);
    long i = 0, j = 0;
    return pairedRatio([&] { needle.setAngle(angleAt(i++)); },
                       [&] {
                           QImage turned = picture.transformed(QTransform().rotate(-angleAt(j++)),
                                                               Qt::FastTransformation);
                           benchmark::DoNotOptimize(turned.constBits());
                       });
}

void BM_rotate_needle(benchmark::State& state) {
    TRotateImage needle;
    configureNeedle(needle);
    long i = 0;
    for (auto _ : state) {
        needle.setAngle(angleAt(i++));
        benchmark::DoNotOptimize(needle.RotatedSize());
    }
}
BENCHMARK(BM_rotate_needle);

void BM_qt_transform(benchmark::State& state) {
    const QImage picture = needlePicture();
    long i = 0;
    for (auto _ : state) {
        QImage turned =
            picture.transformed(QTransform().rotate(-angleAt(i++)), Qt::FastTransformation);
        benchmark::DoNotOptimize(turned.constBits());
    }
}
BENCHMARK(BM_qt_transform);

class SpectrumStub : public TSpectrum {
public:
    SpectrumStub() : magnitudes_(8192, 0.01) {}
    double Magnitude(int i) const override {
        return i >= 0 && i < static_cast<int>(magnitudes_.size()) ? magnitudes_[i] : 0.0;
    }
    std::complex<double> Bin(int i) const override { return Magnitude(i); }
    int Length() const override { return 16384; }
    void peakAt(int bin) {
        std::fill(magnitudes_.begin(), magnitudes_.end(), 0.01);
        magnitudes_[bin] = 5.0;
    }

private:
    std::vector<double> magnitudes_;
};

// One tick as the main window runs it: the estimator's scan of the high E string's band, the
// loop's arithmetic and the needle's re-render. The peak alternates between bins three away
// from the target on either side every four ticks, so the needle moves at every tick.
class TickFixture {
public:
    TickFixture() {
        std::vector<int> notas = {40, 45, 50, 55, 59, 64};
        std::vector<std::string> nomes;
        std::vector<double> freqs;
        for (int n : notas) {
            nomes.push_back(nomeNotaMIDI(n));
            freqs.push_back(frequenciaNotaMIDI(n));
        }
        violao_ = std::make_unique<Afinacao>("Guitar", "Standard", 6, nomes, notas, freqs);
        estimador_.setAfinacao(violao_.get());
        estimador_.calcularDesvios();
        estimador_.setCordaSelecionada(5);
        const int alvo = static_cast<int>(
            std::lround((freqs[5] - estimador_.desvios()[5]) / estimador_.larguraBin()));
        abaixo_.peakAt(alvo - 3);
        acima_.peakAt(alvo + 3);
        configureNeedle(needle_);
    }

    // Answers whether the needle had to be rendered again.
    bool run() {
        const SpectrumStub& espectro = (i_++ / 4) % 2 ? acima_ : abaixo_;
        laco_.timerTimer(false, estimador_, espectro);
        const bool moved = laco_.angulo() != needle_.Angle();
        needle_.setAngle(laco_.angulo());
        return moved;
    }

private:
    std::unique_ptr<Afinacao> violao_;
    EstimadorAfinacao estimador_;
    SpectrumStub abaixo_, acima_;
    TRotateImage needle_;
    LacoExibicao laco_;
    long i_ = 0;
};

void BM_tick(benchmark::State& state) {
    TickFixture tick;
    long renders = 0;
    for (auto _ : state) renders += tick.run();
    if (renders != static_cast<long>(state.iterations()))
        state.SkipWithError("the needle did not move at every tick");
}
BENCHMARK(BM_tick);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("RATIO rotate_needle/qt_transform %.3f\n", renderRatio(needlePicture()));
    // For information (no goal): a picture without any background, where every position is
    // looked up.
    std::printf("# rotate_opaque_picture/qt_transform %.3f\n", renderRatio(opaquePicture()));
    {
        TickFixture tick;
        std::printf("RATIO tick/frame_budget %.5f\n", medianMicros([&] { tick.run(); }) / 50000.0);
    }
    return 0;
}
