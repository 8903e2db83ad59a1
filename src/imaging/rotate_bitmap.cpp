#include "rotate_bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

// How the fast path stays exact
// ------------------------------
// Source coordinates are computed in 16.16 fixed point from one table entry per column and one
// value per row: x + 0.5 = (dx·cos θ + W div 2 + 0.5) − dy·sin θ, each term rounded to 1/65536,
// so the sum is off by at most one unit (and a tiny amount for working in double) and its integer
// part is the correctly rounded source column unless the exact value lies within a few units of
// a half. The rendering loop flags such pixels as it goes; they are computed again one by one in
// extended precision. The source carries a border of background pixels, so a coordinate that is
// off by one, or a column at the edge of a row's span, reads background; coordinates are clamped
// into that border. Only the columns of a row that may land in the part of the source that
// differs from the background are looked up at all; the rest of the target is background.

namespace {

constexpr long double kPi = 3.141592653589793238462643383279502884L;

// Rounds to the nearest integer, halves to even (the FPU's default rounding mode). This file is
// built with -fno-math-errno so that the call becomes a single FPU instruction.
inline long roundHalfEven(long double value) {
    return std::lrintl(value);
}

constexpr int kFrac = 16;
constexpr std::int32_t kFracMask = (1 << kFrac) - 1;
constexpr double kFixedScale = 65536.0;
constexpr std::int32_t kNear = 4;  // units of 1/65536 around a half that are computed again
constexpr int kMaxFast = 4096;     // larger pictures take the plain path (fixed point range)

// Whether a 16.16 value lies within kNear units of a whole number.
inline bool nearWhole(std::int32_t value) {
    return static_cast<std::uint32_t>((value + kNear) & kFracMask) <= 2u * kNear;
}

constexpr int kExtra = rotimg::RotationSource::kRowExtraShift;

// One run of a row: pixel k of the run takes the source pixel at column
// ((colX[k] − rowX) >> 16) and row ((colY[k] + rowY) >> 16), both counted from the border's
// top-left corner and clamped into the bordered picture. Returns whether any of the run's
// coordinates lies too near a half.
struct Run {
    const std::int32_t* colX;
    const std::int32_t* colY;
    int count;
    std::int32_t rowX, rowY;
    std::int32_t maxX, maxY;  // the bordered picture's last column and row
    const uchar* src;         // the border's top-left corner
    int rowShift;             // byte offset of source row y is (y << rowShift) + (y << kExtra)
    std::uint32_t background;
    // Pixels that may be written from the run's start to the end of the target (at least
    // count): beyond the run they lie outside the source, where the target holds background.
    qsizetype room;
};

// The source offsets of a run are computed in chunks with plain integer arithmetic, which the
// compiler turns into vector code; `copy` then moves the chunk's pixels.
template <class Copy>
inline bool forOffsets(const Run& run, int shift, int extraShift, int scale, Copy&& copy) {
    constexpr int kChunk = 64;
    alignas(64) std::int32_t offsets[kChunk];
    std::uint32_t near = 0;
    for (int done = 0; done < run.count; done += kChunk) {
        const int n = std::min(kChunk, run.count - done);
        const std::int32_t* __restrict cx = run.colX + done;
        const std::int32_t* __restrict cy = run.colY + done;
        const std::int32_t rowX = run.rowX, rowY = run.rowY;
        for (int k = 0; k < n; ++k) {
            const std::int32_t fx = cx[k] - rowX;
            const std::int32_t fy = cy[k] + rowY;
            // Bitwise on purpose: no branch, so the loop stays vectorised.
            near |= static_cast<std::uint32_t>(nearWhole(fx)) |
                    static_cast<std::uint32_t>(nearWhole(fy));
            const std::int32_t sx = std::clamp(fx >> kFrac, 0, run.maxX);
            const std::int32_t sy = std::clamp(fy >> kFrac, 0, run.maxY);
            offsets[k] = (sy << shift) + (sy << extraShift) + sx * scale;
        }
        copy(offsets, n);
    }
    return near != 0;
}

bool copyRun24(uchar* __restrict out, const Run& run) {
    return forOffsets(run, run.rowShift, kExtra, 3, [&](const std::int32_t* offsets, int n) {
        for (int k = 0; k < n; ++k, out += 3) std::memcpy(out, run.src + offsets[k], 3);
    });
}

// 32-bit rows are whole pixels: offsets count pixels.
bool copyRun32Plain(std::uint32_t* __restrict out, const Run& run) {
    const auto* src = reinterpret_cast<const std::uint32_t*>(run.src);
    return forOffsets(run, run.rowShift - 2, kExtra - 2, 1,
                      [&](const std::int32_t* offsets, int n) {
                          for (int k = 0; k < n; ++k) *out++ = src[offsets[k]];
                      });
}

#if defined(__x86_64__) || defined(__i386__)
// The same with AVX2, whose gather loads eight pixels at once. Lanes past the end of the run
// gather nothing and hold the background; they are stored too when the target has room (it then
// holds background there anyway), else the last group is stored through a mask.
__attribute__((target("avx2"))) bool copyRun32Avx2(std::uint32_t* __restrict out, const Run& run) {
    const int* src = reinterpret_cast<const int*>(run.src);
    const __m256i rowX = _mm256_set1_epi32(run.rowX);
    const __m256i rowY = _mm256_set1_epi32(run.rowY);
    const __m256i maxX = _mm256_set1_epi32(run.maxX);
    const __m256i maxY = _mm256_set1_epi32(run.maxY);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i background = _mm256_set1_epi32(static_cast<int>(run.background));
    const __m128i shift = _mm_cvtsi32_si128(run.rowShift - 2);
    constexpr int extraShift = kExtra - 2;
    const __m256i nearOffset = _mm256_set1_epi32(kNear);
    const __m256i fracMask = _mm256_set1_epi32(kFracMask);
    const __m256i nearLimit = _mm256_set1_epi32(2 * kNear + 1);
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const bool wholeGroups = run.room >= ((run.count + 7) & ~7);
    __m256i near = zero;
    for (int k = 0; k < run.count; k += 8) {
        const __m256i active = _mm256_cmpgt_epi32(_mm256_set1_epi32(run.count - k), lanes);
        // The column tables have eight entries of slack, so whole groups can be loaded.
        const __m256i fx = _mm256_sub_epi32(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(run.colX + k)), rowX);
        const __m256i fy = _mm256_add_epi32(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(run.colY + k)), rowY);
        const __m256i nx = _mm256_and_si256(_mm256_add_epi32(fx, nearOffset), fracMask);
        const __m256i ny = _mm256_and_si256(_mm256_add_epi32(fy, nearOffset), fracMask);
        near = _mm256_or_si256(
            near, _mm256_and_si256(active, _mm256_or_si256(_mm256_cmpgt_epi32(nearLimit, nx),
                                                           _mm256_cmpgt_epi32(nearLimit, ny))));
        const __m256i sx =
            _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(fx, kFrac), zero), maxX);
        const __m256i sy =
            _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(fy, kFrac), zero), maxY);
        const __m256i index = _mm256_add_epi32(
            _mm256_add_epi32(_mm256_sll_epi32(sy, shift), _mm256_slli_epi32(sy, extraShift)), sx);
        const __m256i pixels = _mm256_mask_i32gather_epi32(background, src, index, active, 4);
        if (wholeGroups || k + 8 <= run.count)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), pixels);
        else
            _mm256_maskstore_epi32(reinterpret_cast<int*>(out + k), active, pixels);
    }
    return !_mm256_testz_si256(near, near);
}
#endif

using CopyRun32 = bool (*)(std::uint32_t* __restrict out, const Run& run);

CopyRun32 copyRun32() {
    static const CopyRun32 chosen = [] {
#if defined(__x86_64__) || defined(__i386__)
        if (__builtin_cpu_supports("avx2")) return &copyRun32Avx2;
#endif
        return &copyRun32Plain;
    }();
    return chosen;
}

template <int Bytes>
struct PixelOps;

template <>
struct PixelOps<3> {
    struct Value {
        uchar rgb[3];
    };
    static Value from(QRgb c) {
        return Value{{static_cast<uchar>(qRed(c)), static_cast<uchar>(qGreen(c)),
                      static_cast<uchar>(qBlue(c))}};
    }
    static void put(uchar* p, const Value& v) { std::memcpy(p, v.rgb, 3); }
    static void copy(uchar* p, const uchar* from) { std::memcpy(p, from, 3); }
    static void fill(uchar* p, int count, const Value& v) {
        for (int i = 0; i < count; ++i, p += 3) std::memcpy(p, v.rgb, 3);
    }
    static bool copyRun(uchar* out, const Run& run) { return copyRun24(out, run); }
};

template <>
struct PixelOps<4> {
    using Value = std::uint32_t;
    static Value from(QRgb c) { return c; }
    static void put(uchar* p, Value v) { std::memcpy(p, &v, 4); }
    static void copy(uchar* p, const uchar* from) { std::memcpy(p, from, 4); }
    static void fill(uchar* p, int count, Value v) {
        if (count <= 0) return;
        if (v == 0u || v == ~0u) {  // every byte alike (the needle's transparent black)
            std::memset(p, static_cast<int>(v & 0xff), static_cast<std::size_t>(count) * 4);
            return;
        }
        auto* q = reinterpret_cast<std::uint32_t*>(p);
        std::fill(q, q + count, v);
    }
    static bool copyRun(uchar* out, const Run& run) {
        return copyRun32()(reinterpret_cast<std::uint32_t*>(out), run);
    }
};

bool is32Bit(QImage::Format format) {
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied;
}

int bytesPerPixelOf(const QImage& image) {
    if (image.format() == QImage::Format_RGB888) return 3;
    if (is32Bit(image.format())) return 4;
    return 0;
}

struct Scratch {
    std::vector<std::int32_t> columnX;  // (dx·cos θ + W div 2 + 0.5) in 16.16
    std::vector<std::int32_t> columnY;  // (dx·sin θ + H div 2 + 0.5) in 16.16
};

Scratch& scratch() {
    thread_local Scratch s;
    return s;
}

inline std::int32_t toFixed(double value) {
    return static_cast<std::int32_t>(std::lrint(value * kFixedScale));
}

// The columns j of a row for which slope·j + offset lies within [min, max], computed in double.
class ColumnRange {
public:
    ColumnRange(double slope, double min, double max) : min_(min), max_(max) {
        flat_ = std::fabs(slope) < 1e-12;  // constant along the row
        if (!flat_) inverse_ = 1.0 / slope;
    }

    // Intersects [lo, hi) with the columns for this offset.
    void narrow(double offset, int& lo, int& hi) const {
        if (flat_) {
            if (offset < min_ || offset > max_) hi = lo;
            return;
        }
        const double a = (min_ - offset) * inverse_;
        const double b = (max_ - offset) * inverse_;
        // Clamped into [lo - 1, hi + 1], where a cast truncates like floor and one comparison
        // more gives ceil.
        const double x1 = std::clamp(std::min(a, b), lo - 1.0, hi + 1.0);
        const double x2 = std::clamp(std::max(a, b), lo - 1.0, hi + 1.0);
        const int t1 = static_cast<int>(x1 + 1.0) - 1;  // floor(x1)
        const int first = t1 + static_cast<int>(t1 < x1);
        const int last = static_cast<int>(x2 + 1.0) - 1;  // floor(x2)
        lo = std::max(lo, first);
        hi = std::max(lo, std::min(hi, last + 1));
    }

private:
    double min_, max_;
    double inverse_ = 0.0;
    bool flat_ = false;
};

template <int Bytes>
void rotateFast(const rotimg::RotationSource& source, const rotimg::Rotation& rotation,
                QImage& target, QPoint origin, QRgb background) {
    using Ops = PixelOps<Bytes>;
    const typename Ops::Value bg = Ops::from(background);
    const int tw = target.width();
    const int th = target.height();
    uchar* const targetBits = target.bits();
    const qsizetype targetStride = target.bytesPerLine();
    const int sw = source.width(), sh = source.height();
    const QSize turned = rotimg::rotatedSize(sw, sh, rotation);
    const int rw = turned.width(), rh = turned.height();
    const long double c = rotation.cosine;
    const long double s = rotation.sine;
    const double cd = static_cast<double>(c), sd = static_cast<double>(s);
    const int cxd = rw / 2, cyd = rh / 2;
    const int cxs = sw / 2, cys = sh / 2;

    // Turned columns that fall inside the target.
    const int jFirst = std::clamp(-origin.x(), 0, rw);
    const int jLast = std::clamp(tw - origin.x(), jFirst, rw);

    Scratch& t = scratch();
    if (static_cast<int>(t.columnX.size()) < rw + 8) {  // eight entries of slack
        t.columnX.resize(rw + 8);
        t.columnY.resize(rw + 8);
    }
    std::int32_t* const colX = t.columnX.data();
    std::int32_t* const colY = t.columnY.data();
    constexpr int border = rotimg::RotationSource::kBorder;
    for (int j = 0; j < rw; ++j) {
        const double dx = j - cxd;
        colX[j] = toFixed(dx * cd + (cxs + 0.5 + border));
        colY[j] = toFixed(dx * sd + (cys + 0.5 + border));
    }

    // Only positions that may round into the part of the source that differs from the
    // background need a look-up: within half a pixel of it, with another pixel of slack.
    const QRect content = source.content();
    const ColumnRange rangeX(cd, content.left() - 1.5, content.right() + 1.5);
    const ColumnRange rangeY(sd, content.top() - 1.5, content.bottom() + 1.5);
    const uchar* const srcBase = source.pixel(-border, -border);

    // Background everywhere first (one pass), then the runs that the source covers.
    if (targetStride == static_cast<qsizetype>(tw) * Bytes) {
        Ops::fill(targetBits, tw * th, bg);
    } else {
        for (int y = 0; y < th; ++y) Ops::fill(targetBits + y * targetStride, tw, bg);
    }
    if (jFirst >= jLast || content.isEmpty()) return;
    const int yFirst = std::max(0, origin.y());
    const int yLast = std::min(th, origin.y() + rh);

    for (int y = yFirst; y < yLast; ++y) {
        uchar* row = targetBits + y * targetStride;
        const int ry = y - origin.y();
        const double dy = ry - cyd;

        // Columns whose source position may lie inside the content. Positions in the slack (or
        // off by one at a half) read background, from the picture or from its border; the run's
        // coordinates are clamped into that border, so nothing outside the bordered picture is
        // read.
        int lo = jFirst, hi = jLast;
        rangeX.narrow(cxs - cxd * cd - dy * sd, lo, hi);
        rangeY.narrow(cys - cxd * sd + dy * cd, lo, hi);
        if (lo >= hi) continue;
        const Run run{colX + lo,
                      colY + lo,
                      hi - lo,
                      toFixed(dy * sd),
                      toFixed(dy * cd),
                      sw + 2 * border - 1,
                      sh + 2 * border - 1,
                      srcBase,
                      source.rowShift(),
                      static_cast<std::uint32_t>(background),
                      (th - y) * targetStride / Bytes - (origin.x() + lo)};
        if (!Ops::copyRun(row + Bytes * static_cast<qsizetype>(origin.x() + lo), run)) continue;

        // Pixels whose position lies too near a half to trust the fixed point.
        const long double dyl = static_cast<long double>(ry - cyd);
        const long double dys = dyl * s;
        const long double dyc = dyl * c;
        for (int j = lo; j < hi; ++j) {
            if (!nearWhole(colX[j] - run.rowX) && !nearWhole(colY[j] + run.rowY)) continue;
            const long double dx = static_cast<long double>(j - cxd);
            const long sx = roundHalfEven(dx * c - dys) + cxs;
            const long sy = roundHalfEven(dx * s + dyc) + cys;
            uchar* p = row + Bytes * static_cast<qsizetype>(origin.x() + j);
            if (sx >= 0 && sx < sw && sy >= 0 && sy < sh)
                Ops::copy(p, source.pixel(static_cast<int>(sx), static_cast<int>(sy)));
            else
                Ops::put(p, bg);
        }
    }
}

template <int Bytes>
void rotatePlain(const QImage& source, const rotimg::Rotation& rotation, QImage& target,
                 QPoint origin, QRgb background) {
    using Ops = PixelOps<Bytes>;
    const typename Ops::Value bg = Ops::from(background);
    const int tw = target.width();
    const int th = target.height();
    const bool haveSource = !source.isNull() && source.width() > 0 && source.height() > 0;
    const int sw = haveSource ? source.width() : 0;
    const int sh = haveSource ? source.height() : 0;
    const QSize turned = haveSource ? rotimg::rotatedSize(sw, sh, rotation) : QSize(0, 0);
    const int rw = turned.width(), rh = turned.height();
    const long double c = rotation.cosine;
    const long double s = rotation.sine;
    const int cxd = rw / 2, cyd = rh / 2;
    const int cxs = sw / 2, cys = sh / 2;

    for (int y = 0; y < th; ++y) {
        uchar* out = target.scanLine(y);
        const long double dy = static_cast<long double>(y - origin.y() - cyd);
        const bool inRows = y - origin.y() >= 0 && y - origin.y() < rh;
        for (int x = 0; x < tw; ++x, out += Bytes) {
            const int jx = x - origin.x();
            if (!inRows || jx < 0 || jx >= rw) {
                Ops::put(out, bg);
                continue;
            }
            const long double dx = static_cast<long double>(jx - cxd);
            const long sx = roundHalfEven(dx * c - dy * s) + cxs;
            const long sy = roundHalfEven(dx * s + dy * c) + cys;
            if (sx >= 0 && sx < sw && sy >= 0 && sy < sh)
                Ops::copy(out, source.constScanLine(static_cast<int>(sy)) + Bytes * sx);
            else
                Ops::put(out, bg);
        }
    }
}

}  // namespace

namespace rotimg {

Rotation rotationFor(double angleDegrees) {
    if (!std::isfinite(angleDegrees)) return Rotation{1.0L, 0.0L};
    const long double theta = static_cast<long double>(angleDegrees) * kPi / 180.0L;
    return Rotation{std::cos(theta), std::sin(theta)};
}

QSize rotatedSize(int width, int height, const Rotation& rotation) {
    const long double c = std::fabs(rotation.cosine);
    const long double s = std::fabs(rotation.sine);
    const long double w =
        static_cast<long double>(width) * c + static_cast<long double>(height) * s;
    const long double h =
        static_cast<long double>(width) * s + static_cast<long double>(height) * c;
    return QSize(static_cast<int>(roundHalfEven(w)), static_cast<int>(roundHalfEven(h)));
}

RotationSource::RotationSource(const QImage& picture, QRgb background) {
    const int bytes = bytesPerPixelOf(picture);
    if (bytes == 0 || picture.width() < 1 || picture.height() < 1) return;
    picture_ = picture;
    width_ = picture.width();
    height_ = picture.height();
    bytesPerPixel_ = bytes;
    if (width_ > kMaxFast || height_ > kMaxFast) return;

    const std::size_t rowBytes = static_cast<std::size_t>(width_ + 2 * kBorder) * bytes;
    rowShift_ = 0;
    while ((std::size_t{1} << rowShift_) < rowBytes) ++rowShift_;
    const std::size_t stride = (std::size_t{1} << rowShift_) + (std::size_t{1} << kRowExtraShift);
    padded_.resize(stride * static_cast<std::size_t>(height_ + 2 * kBorder));
    for (std::size_t offset = 0; offset < padded_.size(); offset += stride) {
        uchar* row = padded_.data() + offset;
        if (bytes == 3)
            PixelOps<3>::fill(row, width_ + 2 * kBorder, PixelOps<3>::from(background));
        else
            PixelOps<4>::fill(row, width_ + 2 * kBorder, background);
    }
    origin_ = padded_.data() + kBorder * stride + kBorder * bytes;
    for (int y = 0; y < height_; ++y)
        std::memcpy(const_cast<uchar*>(pixel(0, y)), picture.constScanLine(y),
                    static_cast<std::size_t>(width_) * bytes);

    uchar bg[4];
    if (bytes == 3) {
        const auto v = PixelOps<3>::from(background);
        std::memcpy(bg, v.rgb, 3);
    } else {
        std::memcpy(bg, &background, 4);
    }
    int left = width_, right = -1, top = height_, bottom = -1;
    for (int y = 0; y < height_; ++y) {
        const uchar* p = pixel(0, y);
        for (int x = 0; x < width_; ++x, p += bytes) {
            if (std::memcmp(p, bg, bytes) == 0) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    content_ = right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

void rotateInto(const RotationSource& source, const Rotation& rotation, QImage& target,
                QPoint origin, QRgb background) {
    const int bytes = bytesPerPixelOf(target);
    if (target.isNull() || bytes == 0) return;
    if (!source.isNull() && source.bytesPerPixel() != bytes) return;
    const QSize turned =
        source.isNull() ? QSize() : rotatedSize(source.width(), source.height(), rotation);
    const bool fast = !source.isNull() && source.bordered() &&
                      std::max({turned.width(), turned.height(), target.width(), target.height(),
                                std::abs(origin.x()), std::abs(origin.y())}) <= kMaxFast;
    if (!fast) {
        rotateIntoPlain(source.picture(), rotation, target, origin, background);
        return;
    }
    if (bytes == 3)
        rotateFast<3>(source, rotation, target, origin, background);
    else
        rotateFast<4>(source, rotation, target, origin, background);
}

void rotateIntoPlain(const QImage& source, const Rotation& rotation, QImage& target, QPoint origin,
                     QRgb background) {
    const int bytes = bytesPerPixelOf(target);
    if (target.isNull() || bytes == 0) return;
    if (!source.isNull() && bytesPerPixelOf(source) != bytes) return;
    if (bytes == 3)
        rotatePlain<3>(source, rotation, target, origin, background);
    else
        rotatePlain<4>(source, rotation, target, origin, background);
}

}  // namespace rotimg

QImage RotateBitmap(QImage& source, double angle, const QColor& background) {
    if (source.isNull() || source.width() < 1 || source.height() < 1) return QImage();
    if (source.format() != QImage::Format_RGB888) source.convertTo(QImage::Format_RGB888);
    if (source.isNull()) return QImage();

    const rotimg::Rotation rotation = rotimg::rotationFor(angle);
    const QSize size = rotimg::rotatedSize(source.width(), source.height(), rotation);
    if (size.width() < 1 || size.height() < 1) return QImage();
    QImage turned(size, QImage::Format_RGB888);
    if (turned.isNull()) return QImage();  // too large to allocate
    const rotimg::RotationSource prepared(source, background.rgb());
    rotimg::rotateInto(prepared, rotation, turned, QPoint(0, 0), background.rgb());
    return turned;
}
