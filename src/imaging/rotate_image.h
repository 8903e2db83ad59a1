#pragma once
// TRotateImage: a picture control that shows its picture turned by Angle degrees (positive turns
// it counter-clockwise). It has no window of its own: it paints onto its parent's area, and the
// parent shows through wherever it paints nothing.
//
// It keeps the picture unchanged and renders a turned copy (the rendered bitmap) whenever the
// picture, the angle, the colour or a rendering option changes; painting only copies that bitmap.
// A change repaints only the pixels it changes, so a needle that turns by less than a pixel costs
// no drawing at all.
// With UniqueSize the rendered bitmap is a square whose side exceeds the picture's diagonal by
// at least two pixels, so its size does not depend on the angle and its bottom-left pixel always
// has the colour Color; with Transparent, the pixels of that colour are then not painted.

#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "picture.h"
#include "rotate_bitmap.h"

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

class TRotateImage : public QWidget {
    Q_OBJECT

public:
    explicit TRotateImage(QWidget* parent = nullptr);
    ~TRotateImage() override;

    // Degrees, extended precision. Setting the current value again does nothing.
    long double Angle() const { return angle_; }
    void setAngle(long double angle);

    bool AutoSize() const { return autoSize_; }
    void setAutoSize(bool autoSize);
    bool Center() const { return center_; }
    void setCenter(bool center);
    bool Stretch() const { return stretch_; }
    void setStretch(bool stretch);
    bool Transparent() const { return transparent_; }
    void setTransparent(bool transparent);
    bool UniqueSize() const { return uniqueSize_; }
    void setUniqueSize(bool uniqueSize);
    // Background of the rendering: the corners the turned picture does not cover.
    QColor Color() const { return color_; }
    void setColor(const QColor& color);
    // Only used to decide which sides AutoSize may change (CanAutoSize).
    TAlign Align() const { return align_; }
    void setAlign(TAlign align) { align_ = align; }

    // The owned picture; changing its content re-renders.
    TPicture& Picture() { return picture_; }
    const TPicture& Picture() const { return picture_; }
    // Copies `picture` into the owned picture.
    void setPicture(const TPicture& picture) { picture_.Assign(picture); }

    // The rendered bitmap with 24-bit pixels (a null image when there is nothing to show) and
    // whether it is drawn without the pixels of the colour of its bottom-left pixel.
    QImage RotatedBitmap() const;
    QSize RotatedSize() const { return rotated_.size(); }
    bool RotatedBitmapTransparent() const { return rotatedTransparent_; }

    // Rebuilds the rendered bitmap from the picture, Angle, Color, UniqueSize, Center and
    // Stretch; with AutoSize the control then takes the rendered bitmap's size.
    virtual void CreateRotatedBitmap();
    // Where the rendered bitmap is drawn within the control.
    QRect DestRect() const;
    // Called when the picture's content changes: re-renders, and repaints the part of the control
    // whose pixels changed (nothing when the new rendering is the same as the last).
    void PictureChanged();
    // The size AutoSize proposes: the rendered width unless Align is top or bottom (or client),
    // the rendered height unless Align is left or right (or client). Always answers true.
    bool CanAutoSize(int& newWidth, int& newHeight) const;

    // A canvas to draw on the picture's bitmap; an empty picture first becomes a white bitmap of
    // the control's size. Throws EInvalidOperation when the picture holds anything but a bitmap.
    std::unique_ptr<TPictureCanvas> GetCanvas();

    // While properties are being set up in a batch, picture changes do not render; Loaded ends
    // the batch and renders once.
    void BeginLoading() { loading_ = true; }
    void Loaded();

signals:
    void Click();
    void DblClick();
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    const rotimg::RotationSource& workingBitmap(bool keyed);
    void applyAutoSize();
    void updateOpacity();
    QRect changedArea(const QImage& before, bool transparentBefore,
                      const QRect& geometryBefore) const;

    TPicture picture_;
    long double angle_ = 0.0L;
    bool autoSize_ = false;
    bool center_ = false;
    bool stretch_ = false;
    bool transparent_ = false;
    bool uniqueSize_ = true;
    QColor color_;
    TAlign align_ = TAlign::alNone;

    // The rendered bitmap, ready to paint: 0xffRRGGBB pixels (Format_RGB32), or, when it is
    // transparent, Format_ARGB32_Premultiplied with the pixels of the key colour (Color) as 0.
    QImage rotated_;
    bool rotatedTransparent_ = false;
    // The rendering before the last change, kept to compare with and to render into next time.
    QImage previous_;
    bool painting_ = false;
    bool turning_ = false;  // the change being rendered is a new angle
    bool loading_ = false;
    bool leftPressed_ = false;

    // The picture drawn over Color in the rendered bitmap's format (keyed or not), prepared for
    // rotation; rebuilt only when one of its inputs changes.
    rotimg::RotationSource working_;
    std::uint64_t workingGeneration_ = 0;
    QRgb workingColor_ = 0;
    bool workingTransparent_ = false;
    bool workingKeyed_ = false;
    bool workingValid_ = false;
};
