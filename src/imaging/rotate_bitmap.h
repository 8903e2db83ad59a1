#pragma once
// RotateBitmap: turns a bitmap by an angle in degrees (positive turns it counter-clockwise on the
// screen) with nearest-neighbour sampling by inverse mapping. The corners that the turned picture
// does not cover take the background colour. Pixels are 24-bit (QImage::Format_RGB888).
//
// The arithmetic is fixed so that every caller gets the same pixels for the same angle: the sine
// and cosine are taken once in extended precision (long double); the destination's size is
// round(W·|cos θ| + H·|sin θ|) × round(W·|sin θ| + H·|cos θ|), rounding halves to even; centres
// are the sizes divided by two, truncated; destination pixel (x, y) takes source pixel
// (round(dx·cos θ − dy·sin θ) + W div 2, round(dx·sin θ + dy·cos θ) + H div 2), dx and dy being
// its distance from the destination's centre and both expressions evaluated in extended
// precision, when that lies inside the source.

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <vector>

// Returns a new bitmap owned by the caller. Converts `source` to 24 bits per pixel as a side
// effect. An empty source gives an empty (null) result.
QImage RotateBitmap(QImage& source, double angle, const QColor& background);

namespace rotimg {

// Sine and cosine of an angle in degrees, taken once per rotation. An angle that is not finite
// does not turn the picture.
struct Rotation {
    long double cosine;
    long double sine;
};

Rotation rotationFor(double angleDegrees);

// Size of a W × H picture turned by `rotation`.
QSize rotatedSize(int width, int height, const Rotation& rotation);

// A picture prepared for repeated rotation: its pixels inside a border of background pixels, in
// rows of 2^rowShift + 64 bytes (a power of two plus one cache line, so that walking down a column
// does not keep hitting the same cache sets). This lets the rendering loop run without a bounds
// test or a multiplication per pixel. Pixels are Format_RGB888 or 32-bit (Format_RGB32 / ARGB32 /
// ARGB32_Premultiplied), as given.
class RotationSource {
public:
    RotationSource() = default;
    // `background` as for rotateInto below.
    RotationSource(const QImage& picture, QRgb background);

    bool isNull() const { return width_ < 1 || height_ < 1; }
    int width() const { return width_; }
    int height() const { return height_; }
    int bytesPerPixel() const { return bytesPerPixel_; }
    // Whether the bordered copy exists (pictures up to 4096 pixels a side).
    bool bordered() const { return !padded_.empty(); }
    // The smallest rectangle holding every pixel that differs from the background (empty when
    // none does): only positions inside it need to be looked up.
    QRect content() const { return content_; }
    // Byte offset of row y from row 0 is (y << rowShift()) + (y << kRowExtraShift).
    int rowShift() const { return rowShift_; }
    static constexpr int kRowExtraShift = 6;
    // Pixel (x, y) of the picture for -kBorder <= x < width + kBorder (likewise y).
    const uchar* pixel(int x, int y) const {
        const qsizetype row = y;
        return origin_ + (row << rowShift_) + (row << kRowExtraShift) +
               static_cast<qsizetype>(x) * bytesPerPixel_;
    }
    const QImage& picture() const { return picture_; }

    static constexpr int kBorder = 2;

private:
    QImage picture_;  // the picture itself, for the plain per-pixel path
    std::vector<uchar> padded_;
    const uchar* origin_ = nullptr;
    QRect content_;
    int rowShift_ = 0;
    int width_ = 0, height_ = 0, bytesPerPixel_ = 0;
};

// Renders `source` turned by `rotation` into `target`: the turned bitmap, of rotatedSize(source)
// pixels, sits with its top-left corner at `origin` of `target`; every pixel of `target` that no
// source pixel lands on is set to `background`. Pixel sizes must agree: Format_RGB888 images
// (background: its red, green and blue), or 32-bit ones (background: the 32-bit value written as
// it is). One pass writes each pixel of `target` once; nothing is allocated once the scratch
// tables of the calling thread are as large as the picture.
void rotateInto(const RotationSource& source, const Rotation& rotation, QImage& target,
                QPoint origin, QRgb background);

// The same rendering, evaluating the two roundings of every pixel one by one in extended
// precision. Used for pictures too large for the fast path, and as its reference.
void rotateIntoPlain(const QImage& source, const Rotation& rotation, QImage& target, QPoint origin,
                     QRgb background);

}  // namespace rotimg
