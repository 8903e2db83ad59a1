#include "picture.h"

#include <algorithm>

#include "jpeg_qimage.h"

namespace {

// Decodes a complete JPEG file held in memory; a null image when it is no sound JPEG.
QImage decodeJpeg(const void* data, std::size_t size) {
    if (data == nullptr || size == 0) return QImage();
    const auto decoded = decodificarJpegQImage(static_cast<const std::uint8_t*>(data), size);
    return decoded ? *decoded : QImage();
}

inline uchar blend(int over, int under, int alpha) {
    return static_cast<uchar>((over * alpha + under * (255 - alpha) + 127) / 255);
}

}  // namespace

TPicture& TPicture::operator=(const TPicture& other) {
    if (this != &other) Assign(other);
    return *this;
}

void TPicture::copyContent(const TPicture& other) {
    kind_ = other.kind_;
    graphic_ = other.graphic_;
    transparent_ = other.transparent_;
    ++generation_;
}

void TPicture::Assign(const TPicture& source) {
    if (this == &source) return;
    copyContent(source);
    changed();
}

void TPicture::replace(Kind kind, const QImage& image) {
    if (image.isNull() || image.width() < 1 || image.height() < 1) {
        kind_ = Kind::Empty;
        graphic_ = QImage();
    } else {
        kind_ = kind;
        graphic_ = image;
    }
    ++generation_;
    changed();
}

void TPicture::setBitmap(const QImage& bitmap) {
    replace(Kind::Bitmap, bitmap);
}

bool TPicture::loadJpeg(const void* data, std::size_t size) {
    const QImage decoded = decodeJpeg(data, size);
    replace(Kind::Jpeg, decoded);
    return !decoded.isNull();
}

void TPicture::setJpeg(const QImage& decoded) {
    replace(Kind::Jpeg, decoded);
}

void TPicture::clear() {
    replace(Kind::Empty, QImage());
}

void TPicture::changed() {
    ++generation_;
    if (onChange_) onChange_();
}

void TPicture::drawOnto(QImage& target) const {
    if (isEmpty() || target.isNull() || target.format() != QImage::Format_RGB888) return;
    const QImage argb = graphic_.convertToFormat(QImage::Format_ARGB32);
    const int w = std::min(argb.width(), target.width());
    const int h = std::min(argb.height(), target.height());
    const QRgb key = argb.pixel(0, argb.height() - 1);
    for (int y = 0; y < h; ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        uchar* out = target.scanLine(y);
        for (int x = 0; x < w; ++x, out += 3) {
            const QRgb p = in[x];
            if (transparent_ && p == key) continue;
            const int a = qAlpha(p);
            if (a == 0) continue;
            out[0] = blend(qRed(p), out[0], a);
            out[1] = blend(qGreen(p), out[1], a);
            out[2] = blend(qBlue(p), out[2], a);
        }
    }
}

TPictureCanvas::TPictureCanvas(TPicture& picture) : picture_(picture) {
    if (QImage* bitmap = picture_.bitmapForDrawing()) painter_.begin(bitmap);
}

TPictureCanvas::~TPictureCanvas() {
    if (painter_.isActive()) painter_.end();
    picture_.changed();
}
