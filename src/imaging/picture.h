#pragma once
// TPicture: the picture a TRotateImage shows and owns: empty, a bitmap, or a JPEG (kept decoded).
// Any change of its content calls the change handler; its owner re-renders from there.
//
// Its transparency flag is the graphic's own: when set, drawing the picture leaves out every pixel
// of the colour of its bottom-left pixel (a colour key), so what lies beneath shows through.
// Pixels with an alpha channel of their own are blended over what lies beneath in any case.

#include <QImage>
#include <QPainter>
#include <cstddef>
#include <cstdint>
#include <functional>

class TPicture {
public:
    enum class Kind { Empty, Bitmap, Jpeg };

    TPicture() = default;
    TPicture(const TPicture& other) { copyContent(other); }
    TPicture& operator=(const TPicture& other);  // copies the content, keeps the handler

    Kind kind() const { return kind_; }
    bool isEmpty() const { return kind_ == Kind::Empty; }
    int width() const { return graphic_.width(); }
    int height() const { return graphic_.height(); }
    // The decoded pixels; a null image when empty.
    const QImage& graphic() const { return graphic_; }

    bool transparent() const { return transparent_; }
    // Sets the graphic's own transparency flag; does not count as a change of content.
    void setTransparent(bool transparent) { transparent_ = transparent; }

    // Copies another picture (the handler of this one stays).
    void Assign(const TPicture& source);
    // A bitmap; a null image empties the picture.
    void setBitmap(const QImage& bitmap);
    // A JPEG file held in memory. A file that does not decode leaves the picture empty and
    // answers false.
    bool loadJpeg(const void* data, std::size_t size);
    // A JPEG that was decoded elsewhere.
    void setJpeg(const QImage& decoded);
    void clear();

    // The bitmap to draw on (see TPictureCanvas); null unless the picture holds a bitmap.
    QImage* bitmapForDrawing() { return kind_ == Kind::Bitmap ? &graphic_ : nullptr; }

    // Tells the handler that the content changed.
    void changed();
    void setOnChange(std::function<void()> handler) { onChange_ = std::move(handler); }
    // Increases with every change of content; lets users keep work derived from the content.
    std::uint64_t generation() const { return generation_; }

    // Draws the picture at (0, 0) over `target` as described above.
    void drawOnto(QImage& target) const;

private:
    void copyContent(const TPicture& other);
    void replace(Kind kind, const QImage& image);

    Kind kind_ = Kind::Empty;
    QImage graphic_;
    bool transparent_ = false;
    std::uint64_t generation_ = 0;
    std::function<void()> onChange_;
};

// A painter on a picture's bitmap; when it goes out of scope the picture reports the change.
class TPictureCanvas {
public:
    explicit TPictureCanvas(TPicture& picture);
    ~TPictureCanvas();
    TPictureCanvas(const TPictureCanvas&) = delete;
    TPictureCanvas& operator=(const TPictureCanvas&) = delete;

    QPainter& painter() { return painter_; }

private:
    TPicture& picture_;
    QPainter painter_;
};
