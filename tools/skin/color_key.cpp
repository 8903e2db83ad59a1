#include "color_key.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace {

// A painted pixel that happens to equal the key moves by one step, so it is still painted.
QRgb avoidKey(QRgb pixel, QRgb key) {
    if ((pixel & 0xFFFFFF) != (key & 0xFFFFFF)) return pixel | 0xFF000000;
    const int r = qRed(key) < 255 ? qRed(key) + 1 : 254;
    return qRgb(r, qGreen(key), qBlue(key));
}

QRgb over(QRgb top, QColor matte) {
    const int a = qAlpha(top);
    auto mix = [a](int t, int m) { return (t * a + m * (255 - a) + 127) / 255; };
    return qRgb(mix(qRed(top), matte.red()), mix(qGreen(top), matte.green()),
                mix(qBlue(top), matte.blue()));
}

}  // namespace

QImage keyAgainstBase(const QImage& overImage, const QImage& baseImage, QPoint offset, QColor key,
                      int tolerance) {
    const QImage top = overImage.convertToFormat(QImage::Format_ARGB32);
    const QImage base = baseImage.convertToFormat(QImage::Format_ARGB32);
    if (offset.x() < 0 || offset.y() < 0 || offset.x() + top.width() > base.width() ||
        offset.y() + top.height() > base.height())
        throw std::runtime_error("keyed picture lies outside its base picture");
    QImage out(top.size(), QImage::Format_RGB32);
    const QRgb k = key.rgb();
    for (int y = 0; y < top.height(); ++y) {
        const auto* t = reinterpret_cast<const QRgb*>(top.constScanLine(y));
        const auto* b =
            reinterpret_cast<const QRgb*>(base.constScanLine(y + offset.y())) + offset.x();
        auto* o = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < top.width(); ++x) {
            const QRgb p = over(t[x], QColor(b[x]));
            const int d =
                std::max({std::abs(qRed(p) - qRed(b[x])), std::abs(qGreen(p) - qGreen(b[x])),
                          std::abs(qBlue(p) - qBlue(b[x]))});
            o[x] = d <= tolerance ? k : avoidKey(p, k);
        }
    }
    return out;
}

QImage keyByAlpha(const QImage& picture, QColor matte, QColor key, int threshold) {
    const QImage in = picture.convertToFormat(QImage::Format_ARGB32);
    QImage out(in.size(), QImage::Format_RGB32);
    const QRgb k = key.rgb();
    for (int y = 0; y < in.height(); ++y) {
        const auto* s = reinterpret_cast<const QRgb*>(in.constScanLine(y));
        auto* o = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < in.width(); ++x)
            o[x] = qAlpha(s[x]) < threshold ? k : avoidKey(over(s[x], matte), k);
    }
    return out;
}

QImage flatten(const QImage& picture, QColor background) {
    const QImage in = picture.convertToFormat(QImage::Format_ARGB32);
    QImage out(in.size(), QImage::Format_RGB32);
    for (int y = 0; y < in.height(); ++y) {
        const auto* s = reinterpret_cast<const QRgb*>(in.constScanLine(y));
        auto* o = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < in.width(); ++x) o[x] = over(s[x], background);
    }
    return out;
}
