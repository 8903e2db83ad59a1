#include "rotate_image.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "errors.h"
#include "rotate_bitmap.h"

namespace {

// Sets a flag for as long as it lives, also when what runs meanwhile throws.
class FlagGuard {
public:
    explicit FlagGuard(bool& flag) : flag_(flag), saved_(flag) { flag_ = true; }
    ~FlagGuard() { flag_ = saved_; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& flag_;
    bool saved_;
};

// Makes `image` an image of `size` and `format`, keeping its pixel buffer when it already is one.
void ensureImage(QImage& image, QSize size, QImage::Format format) {
    if (image.size() != size || image.format() != format) image = QImage(size, format);
}

// The smallest rectangle holding every pixel in which two 32-bit images of one size differ;
// empty when they are equal. A turning needle compares this on every tick, so each row is
// compared in blocks: the whole row, then only the columns outside the rectangle found so far,
// and pixel by pixel only where such a block differs.
QRect differingPixels(const QImage& a, const QImage& b) {
    const int width = a.width();
    int top = -1, bottom = -1, left = width, right = -1;
    const auto bytes = [](int pixels) { return static_cast<std::size_t>(pixels) * sizeof(QRgb); };
    for (int y = 0; y < a.height(); ++y) {
        const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        if (std::memcmp(pa, pb, bytes(width)) == 0) continue;
        if (top < 0) top = y;
        bottom = y;
        if (left > 0 && std::memcmp(pa, pb, bytes(left)) != 0) {
            int x0 = 0;
            while (pa[x0] == pb[x0]) ++x0;
            left = x0;
        }
        if (right < width - 1 &&
            std::memcmp(pa + right + 1, pb + right + 1, bytes(width - 1 - right)) != 0) {
            int x1 = width - 1;
            while (pa[x1] == pb[x1]) --x1;
            right = x1;
        }
    }
    if (top < 0) return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

}  // namespace

TRotateImage::TRotateImage(QWidget* parent) : QWidget(parent) {
    resize(105, 105);
    color_ = palette().color(QPalette::Base);  // the system's window (content) colour
    setMouseTracking(true);
    picture_.setOnChange([this] { PictureChanged(); });
}

TRotateImage::~TRotateImage() {
    picture_.setOnChange(nullptr);
}

void TRotateImage::setAngle(long double angle) {
    if (angle == angle_) return;
    angle_ = angle;
    FlagGuard turning(turning_);
    PictureChanged();
}

void TRotateImage::setAutoSize(bool autoSize) {
    if (autoSize == autoSize_) return;
    autoSize_ = autoSize;
    if (autoSize_ && !loading_) applyAutoSize();
}

void TRotateImage::setCenter(bool center) {
    if (center == center_) return;
    center_ = center;
    PictureChanged();
}

void TRotateImage::setStretch(bool stretch) {
    if (stretch == stretch_) return;
    stretch_ = stretch;
    PictureChanged();
}

void TRotateImage::setTransparent(bool transparent) {
    if (transparent == transparent_) return;
    transparent_ = transparent;
    PictureChanged();
}

void TRotateImage::setUniqueSize(bool uniqueSize) {
    if (uniqueSize == uniqueSize_) return;
    uniqueSize_ = uniqueSize;
    PictureChanged();
}

void TRotateImage::setColor(const QColor& color) {
    if (color == color_) return;
    color_ = color;
    if (loading_) return;
    update();
    CreateRotatedBitmap();
}

void TRotateImage::Loaded() {
    loading_ = false;
    PictureChanged();
}

const rotimg::RotationSource& TRotateImage::workingBitmap(bool keyed) {
    const QRgb color = color_.rgb();
    if (workingValid_ && workingGeneration_ == picture_.generation() && workingColor_ == color &&
        workingTransparent_ == picture_.transparent() && workingKeyed_ == keyed)
        return working_;
    QImage composed(picture_.width(), picture_.height(), QImage::Format_RGB888);
    working_ = rotimg::RotationSource();
    if (!composed.isNull()) {
        composed.fill(color_);
        picture_.drawOnto(composed);
        QImage pixels = composed.convertToFormat(keyed ? QImage::Format_ARGB32_Premultiplied
                                                       : QImage::Format_RGB32);
        const QRgb opaqueColor = 0xff000000u | color;
        if (keyed) {
            for (int y = 0; y < pixels.height(); ++y) {
                auto* p = reinterpret_cast<QRgb*>(pixels.scanLine(y));
                std::replace(p, p + pixels.width(), opaqueColor, QRgb{0});
            }
        }
        working_ = rotimg::RotationSource(pixels, keyed ? QRgb{0} : opaqueColor);
    }
    workingGeneration_ = picture_.generation();
    workingColor_ = color;
    workingTransparent_ = picture_.transparent();
    workingKeyed_ = keyed;
    workingValid_ = true;
    return working_;
}

void TRotateImage::CreateRotatedBitmap() {
    const int w = picture_.width();
    const int h = picture_.height();
    if (w < 1 || h < 1) {
        rotated_ = QImage();
        rotatedTransparent_ = false;
        applyAutoSize();
        return;
    }
    // A transparent rendered bitmap leaves out the colour of its bottom-left pixel, which is
    // always Color; its pixels of that colour are stored as fully transparent.
    const bool keyed = uniqueSize_ && transparent_;
    const QImage::Format format =
        keyed ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    const QRgb background = keyed ? QRgb{0} : 0xff000000u | color_.rgb();
    const rotimg::RotationSource& working = workingBitmap(keyed);
    const rotimg::Rotation rotation = rotimg::rotationFor(static_cast<double>(angle_));
    const QSize turned = rotimg::rotatedSize(w, h, rotation);
    if (uniqueSize_) {
        // A square wider than the picture's diagonal: its size is the same for every angle.
        const long double dw = w + 2.0L, dh = h + 2.0L;
        const int side = static_cast<int>(std::lrintl(std::sqrt(dw * dw + dh * dh)));
        ensureImage(rotated_, QSize(side, side), format);
        const QPoint origin =
            center_ && !stretch_ ? QPoint((side - turned.width()) / 2, (side - turned.height()) / 2)
                                 : QPoint(0, 0);
        rotimg::rotateInto(working, rotation, rotated_, origin, background);
    } else {
        ensureImage(rotated_, turned, format);
        rotimg::rotateInto(working, rotation, rotated_, QPoint(0, 0), background);
    }
    rotatedTransparent_ = keyed;
    applyAutoSize();
}

QImage TRotateImage::RotatedBitmap() const {
    if (rotated_.isNull()) return QImage();
    QImage bitmap(rotated_.size(), QImage::Format_RGB888);
    const QRgb color = color_.rgb();
    for (int y = 0; y < rotated_.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(rotated_.constScanLine(y));
        uchar* out = bitmap.scanLine(y);
        for (int x = 0; x < rotated_.width(); ++x, out += 3) {
            const QRgb p = rotatedTransparent_ && in[x] == 0 ? color : in[x];
            out[0] = static_cast<uchar>(qRed(p));
            out[1] = static_cast<uchar>(qGreen(p));
            out[2] = static_cast<uchar>(qBlue(p));
        }
    }
    return bitmap;
}

QRect TRotateImage::DestRect() const {
    const int rw = rotated_.width();
    const int rh = rotated_.height();
    if (stretch_) return QRect(0, 0, width(), height());
    if (center_) return QRect((width() - rw) / 2, (height() - rh) / 2, rw, rh);
    return QRect(0, 0, rw, rh);
}

bool TRotateImage::CanAutoSize(int& newWidth, int& newHeight) const {
    if (align_ == TAlign::alNone || align_ == TAlign::alLeft || align_ == TAlign::alRight)
        newWidth = rotated_.width();
    if (align_ == TAlign::alNone || align_ == TAlign::alTop || align_ == TAlign::alBottom)
        newHeight = rotated_.height();
    return true;
}

void TRotateImage::applyAutoSize() {
    if (!autoSize_) return;
    int w = width(), h = height();
    if (CanAutoSize(w, h) && (w != width() || h != height())) resize(w, h);
}

void TRotateImage::updateOpacity() {
    // The parent need not paint beneath the control when the rendered bitmap covers all of it
    // with opaque pixels.
    bool opaque = !picture_.isEmpty() && !picture_.transparent();
    if (opaque && !stretch_ && (rotated_.width() < width() || rotated_.height() < height()))
        opaque = false;
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
}

QRect TRotateImage::changedArea(const QImage& before, bool transparentBefore,
                                const QRect& geometryBefore) const {
    // A stretched bitmap, a new size, place or pixel format: the whole control.
    if (stretch_ || geometry() != geometryBefore || before.size() != rotated_.size() ||
        before.format() != rotated_.format() || transparentBefore != rotatedTransparent_)
        return rect();
    if (rotated_.isNull()) return {};  // nothing shown before, nothing now
    const QRect changed = differingPixels(before, rotated_);
    if (changed.isEmpty()) return {};
    return changed.translated(DestRect().topLeft()) & rect();
}

void TRotateImage::PictureChanged() {
    if (loading_) return;
    if (!picture_.isEmpty()) picture_.setTransparent(transparent_);
    // The last rendering is set aside to compare with; its buffer of the time before takes the
    // new rendering, so a turning needle allocates nothing.
    std::swap(previous_, rotated_);
    const bool transparentBefore = rotatedTransparent_;
    const QRect geometryBefore = geometry();
    CreateRotatedBitmap();
    if (autoSize_ && picture_.width() > 0 && picture_.height() > 0)
        setGeometry(x(), y(), rotated_.width(), rotated_.height());
    updateOpacity();  // after rendering: it depends on the new bitmap's size
    const QRect changed =
        painting_ ? QRect() : changedArea(previous_, transparentBefore, geometryBefore);
    // Only a turning control keeps the spare rendering for its next turn; the others (string
    // ends, peg hints) change seldom and need not hold two.
    if (!turning_) previous_ = QImage();
    if (!changed.isEmpty()) update(changed);
}

std::unique_ptr<TPictureCanvas> TRotateImage::GetCanvas() {
    if (picture_.isEmpty()) {
        QImage bitmap(std::max(1, width()), std::max(1, height()), QImage::Format_RGB888);
        bitmap.fill(Qt::white);
        picture_.setBitmap(bitmap);
    }
    if (picture_.kind() != TPicture::Kind::Bitmap)
        throw EInvalidOperation("Can only modify an image if it contains a bitmap");
    return std::make_unique<TPictureCanvas>(picture_);
}

void TRotateImage::paintEvent(QPaintEvent*) {
    if (rotated_.isNull()) return;
    FlagGuard drawing(painting_);
    QPainter painter(this);
    painter.drawImage(DestRect(), rotated_);
}

void TRotateImage::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) leftPressed_ = true;
    emit MouseDown(event->button(), event->modifiers(), p.x(), p.y());
}

void TRotateImage::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    emit MouseMove(event->buttons(), event->modifiers(), p.x(), p.y());
}

void TRotateImage::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton && leftPressed_) {
        leftPressed_ = false;
        if (rect().contains(p)) emit Click();
    }
    emit MouseUp(event->button(), event->modifiers(), p.x(), p.y());
}

void TRotateImage::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    leftPressed_ = false;
    if (event->button() == Qt::LeftButton) emit DblClick();
    emit MouseDown(event->button(), event->modifiers(), p.x(), p.y());
}
