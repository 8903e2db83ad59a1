// RotateBitmap and TRotateImage: sizes, pixels against the plain per-pixel evaluation,
// transparency, placement, rendering only on change, pictures and mouse events.

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QPaintEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <random>

#include "errors.h"
#include "rotimg.h"

namespace {

QApplication& app() {
    static int argc = 1;
    static char name[] = "test_rotimg";
    static char* argv[] = {name, nullptr};
    // Kept to the end of the process: destroying it at exit races the input devices that the
    // test library's mouse events created.
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

class RotImg : public ::testing::Test {
protected:
    static void SetUpTestSuite() { app(); }
};

QRgb rgbAt(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xffffff;
}

void fillRect(QImage& image, const QRect& rect, const QColor& color) {
    QPainter painter(&image);
    painter.fillRect(rect, color);
}

// A parent widget painted in one colour, to see where a child lets it show through.
class Backdrop : public QWidget {
public:
    Backdrop(int w, int h, const QColor& color) {
        resize(w, h);
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, color);
        setPalette(p);
    }
};

// A W × H picture on black with a white bar from its centre to its right edge.
QImage arrowRight(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::black);
    for (int x = w / 2; x < w; ++x) image.setPixel(x, h / 2, qRgb(255, 255, 255));
    return image;
}

// Counts renderings.
class CountingImage : public TRotateImage {
public:
    using TRotateImage::TRotateImage;
    void CreateRotatedBitmap() override {
        ++renders;
        TRotateImage::CreateRotatedBitmap();
    }
    int renders = 0;
};

}  // namespace

TEST_F(RotImg, RotateBitmapSizesAndTheTwoSimplestAngles) {
    QImage wide(100, 50, QImage::Format_RGB32);
    wide.fill(Qt::red);
    EXPECT_EQ(RotateBitmap(wide, 45, Qt::black).size(), QSize(106, 106));
    EXPECT_EQ(wide.format(), QImage::Format_RGB888);  // converted as a side effect

    // 0 degrees: pixel for pixel the picture.
    QImage picture(37, 23, QImage::Format_RGB888);
    std::mt19937 rng(7);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) picture.setPixel(x, y, rng() | 0xff000000u);
    const QImage same = RotateBitmap(picture, 0, Qt::black);
    EXPECT_EQ(same, picture);

    // 90 degrees: W × H becomes H × W, and a bar pointing right points up.
    QImage arrow = arrowRight(41, 21);
    const QImage up = RotateBitmap(arrow, 90, Qt::black);
    ASSERT_EQ(up.size(), QSize(21, 41));
    EXPECT_EQ(rgbAt(up, 10, 2), 0xffffffu);   // near the top, on the centre column
    EXPECT_EQ(rgbAt(up, 10, 38), 0x000000u);  // the bottom half stays dark
    EXPECT_EQ(rgbAt(up, 17, 20), 0x000000u);  // nothing points right any more

    QImage empty;
    EXPECT_TRUE(RotateBitmap(empty, 30, Qt::black).isNull());
}

TEST_F(RotImg, BackgroundFillsTheCornersAndBadAnglesDoNotTurn) {
    QImage square(20, 20, QImage::Format_RGB32);
    square.fill(Qt::white);
    const QImage turned = RotateBitmap(square, 45, QColor(0, 0, 255));
    EXPECT_EQ(rgbAt(turned, 0, 0), 0x0000ffu);
    EXPECT_EQ(rgbAt(turned, turned.width() / 2, turned.height() / 2), 0xffffffu);

    QImage arrow = arrowRight(30, 10);
    EXPECT_EQ(RotateBitmap(arrow, std::nan(""), Qt::black), arrow);
    EXPECT_EQ(RotateBitmap(arrow, INFINITY, Qt::black), arrow);
}

// The fast rendering must give exactly the pixels of the plain per-pixel evaluation, for any
// picture, angle (including those whose positions fall on halves) and placement.
TEST_F(RotImg, FastRenderingEqualsThePlainEvaluation) {
    std::mt19937 rng(2024);
    const double special[] = {0, 30, 45, 60, 90, 120, 135, 180, -90, 270, 1e-9, 89.9999999, -45};
    int compared = 0;
    for (int p = 0; p < 24; ++p) {
        const int w = 1 + static_cast<int>(rng() % 90), h = 1 + static_cast<int>(rng() % 90);
        QImage picture(w, h, QImage::Format_ARGB32_Premultiplied);
        picture.fill(0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                // Full, sparse, a thin bar, or only the edges: the content box varies.
                const int mode = p % 4;
                const bool on = mode == 0   ? true
                                : mode == 1 ? rng() % 40 == 0
                                : mode == 2 ? std::abs(x - w / 2) < 2
                                            : x == 0 || y == h - 1;
                if (on) picture.setPixel(x, y, 0xff000001u | (rng() & 0xfffffe));
            }
        const rotimg::RotationSource source(picture, 0);
        QImage picture24 = picture.convertToFormat(QImage::Format_RGB888);
        for (int a = 0; a < 40; ++a) {
            const double angle = a < 13 ? special[a] : (rng() % 720000) / 1000.0 - 360.0;
            const rotimg::Rotation rotation = rotimg::rotationFor(angle);
            const int side = static_cast<int>(std::lrint(std::hypot(w + 2.0, h + 2.0)));
            const QPoint origin = a % 5 == 0 ? QPoint(-3, 4) : QPoint(a % 3, 1);
            QImage fast(side, side, QImage::Format_ARGB32_Premultiplied);
            QImage plain(side, side, QImage::Format_ARGB32_Premultiplied);
            rotimg::rotateInto(source, rotation, fast, origin, 0);
            rotimg::rotateIntoPlain(picture, rotation, plain, origin, 0);
            ASSERT_EQ(fast, plain) << w << "x" << h << " at " << angle;

            const QImage turned24 = RotateBitmap(picture24, angle, QColor(1, 2, 3));
            QImage plain24(turned24.size(), QImage::Format_RGB888);
            rotimg::rotateIntoPlain(picture24, rotation, plain24, QPoint(0, 0), qRgb(1, 2, 3));
            ASSERT_EQ(turned24, plain24) << w << "x" << h << " at " << angle;
            compared += 2;
        }
    }
    EXPECT_EQ(compared, 24 * 40 * 2);
}

TEST_F(RotImg, PicturesTooLargeForTheFastPathStillTurn) {
    QImage tall(3, 4200, QImage::Format_RGB888);
    tall.fill(Qt::black);
    tall.setPixel(1, 1, qRgb(255, 0, 0));  // near the top end
    const QImage turned = RotateBitmap(tall, -90, Qt::white);
    ASSERT_EQ(turned.size(), QSize(4200, 3));
    // Turned clockwise, the top lies at the right. With even sizes the truncated centres put
    // source row 0 one column past the right edge, and column 0 takes no source row at all.
    EXPECT_EQ(rgbAt(turned, 4199, 1), 0xff0000u);
    EXPECT_EQ(rgbAt(turned, 4198, 1), 0x000000u);
    EXPECT_EQ(rgbAt(turned, 0, 1), 0xffffffu);
}

TEST_F(RotImg, UniqueSizeSquareDoesNotDependOnTheAngle) {
    TRotateImage image;
    QImage wide(100, 50, QImage::Format_RGB32);
    wide.fill(Qt::red);
    image.Picture().setBitmap(wide);
    for (long double angle : {0.0L, 17.0L, 45.0L, 90.0L, 133.3L}) {
        image.setAngle(angle);
        EXPECT_EQ(image.RotatedBitmap().size(), QSize(114, 114)) << static_cast<double>(angle);
    }
    image.setUniqueSize(false);
    image.setAngle(45);
    EXPECT_EQ(image.RotatedBitmap().size(), QSize(106, 106));

    QImage needle(113, 113, QImage::Format_RGB32);
    needle.fill(Qt::black);
    image.setUniqueSize(true);
    image.Picture().setBitmap(needle);
    EXPECT_EQ(image.RotatedBitmap().size(), QSize(163, 163));
}

TEST_F(RotImg, RendersOnlyOnARealChange) {
    CountingImage image;
    image.Picture().setBitmap(arrowRight(20, 20));
    const int start = image.renders;
    image.setAngle(12.5L);
    image.setAngle(12.5L);
    EXPECT_EQ(image.renders, start + 1);
    image.setCenter(false);  // unchanged
    image.setColor(image.Color());
    EXPECT_EQ(image.renders, start + 1);
    image.setColor(Qt::darkGreen);
    EXPECT_EQ(image.renders, start + 2);

    // Properties set in a batch render once, when loading ends.
    CountingImage loading;
    loading.BeginLoading();
    loading.setCenter(true);
    loading.setTransparent(true);
    loading.setAngle(30);
    loading.Picture().setBitmap(arrowRight(10, 10));
    EXPECT_EQ(loading.renders, 0);
    loading.Loaded();
    EXPECT_EQ(loading.renders, 1);
}

// Records the area of every paint event a widget receives.
class PaintLog : public QObject {
public:
    explicit PaintLog(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
    // Lets pending repaints happen and answers what they painted since the last call.
    QRegion flush() {
        QApplication::processEvents();
        QApplication::processEvents();
        const QRegion r = painted;
        painted = QRegion();
        return r;
    }
    QRegion painted;
};

// Pixels of `b`, in control coordinates, that differ from `a`.
QRegion changedPixels(const QImage& a, const QImage& b, QPoint at) {
    QRegion r;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) r += QRect(at.x() + x, at.y() + y, 1, 1);
    return r;
}

TEST_F(RotImg, RepaintsOnlyThePixelsThatChange) {
    Backdrop parent(120, 120, QColor(0, 200, 0));
    auto* image = new TRotateImage(&parent);
    image->setGeometry(0, 0, 120, 120);
    image->setCenter(true);
    image->setColor(Qt::black);
    image->setTransparent(true);
    image->Picture().setBitmap(arrowRight(81, 81));
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    PaintLog log(image);
    log.flush();

    // Angles that differ by far less than a pixel at the tip render the same pixels: nothing
    // is painted, however often they are set.
    for (long double a : {1e-9L, 2e-12L, 1e-15L, 0.0L}) image->setAngle(a);
    EXPECT_TRUE(log.flush().isEmpty());

    // A turn of a few degrees repaints the pixels it changes and little more than them: the
    // bar's old and new places, not the whole control.
    const QImage before = image->RotatedBitmap();
    image->setAngle(6.0L);
    const QRegion changed = changedPixels(before, image->RotatedBitmap(), image->DestRect().topLeft());
    ASSERT_FALSE(changed.isEmpty());
    const QRegion painted = log.flush();
    EXPECT_EQ(painted.subtracted(changed.boundingRect()), QRegion());
    EXPECT_EQ(changed.subtracted(painted), QRegion());
    EXPECT_LT(painted.boundingRect().height(), image->height() / 4);

    // A picture of another size changes the rendered square's size: the whole control.
    image->Picture().setBitmap(arrowRight(41, 41));
    EXPECT_EQ(log.flush(), QRegion(image->rect()));
    // Clearing the picture repaints what it showed; clearing it again, nothing.
    image->Picture().clear();
    EXPECT_EQ(log.flush(), QRegion(image->rect()));
    image->setAngle(30);
    EXPECT_TRUE(log.flush().isEmpty());
}

TEST_F(RotImg, TransparentUniqueSizeLetsTheParentShowThroughColorPixels) {
    Backdrop parent(60, 60, QColor(0, 200, 0));
    auto* image = new TRotateImage(&parent);
    image->setGeometry(0, 0, 60, 60);
    image->setColor(Qt::black);
    image->setTransparent(true);
    QImage picture(30, 30, QImage::Format_RGB32);
    picture.fill(Qt::black);
    fillRect(picture, QRect(10, 10, 10, 10), Qt::white);
    picture.setPixel(12, 12, qRgb(0, 0, 0));  // a picture pixel of exactly Color
    image->Picture().setBitmap(picture);

    // At angle 0 the picture sits at (0, 0) of its 45 × 45 square.
    EXPECT_TRUE(image->RotatedBitmapTransparent());
    EXPECT_EQ(image->RotatedBitmap().size(), QSize(45, 45));
    const QImage shot = parent.grab().toImage();
    EXPECT_EQ(rgbAt(shot, 15, 15), 0xffffffu);
    EXPECT_EQ(rgbAt(shot, 2, 2), 0x00c800u);    // the picture's black background
    EXPECT_EQ(rgbAt(shot, 40, 40), 0x00c800u);  // the square beyond the picture
    EXPECT_EQ(rgbAt(shot, 12, 12), 0x00c800u);  // the pixel of exactly Color
    EXPECT_EQ(rgbAt(shot, 13, 12), 0xffffffu);
}

TEST_F(RotImg, WithoutUniqueSizeTheCornersArePaintedInColor) {
    Backdrop parent(60, 60, QColor(0, 200, 0));
    auto* image = new TRotateImage(&parent);
    image->setGeometry(0, 0, 60, 60);
    image->setUniqueSize(false);
    image->setTransparent(true);
    image->setColor(QColor(0, 0, 255));
    image->setAngle(45);
    QImage picture(30, 30, QImage::Format_RGB32);
    picture.fill(QColor(255, 0, 0));  // its bottom-left colour, the picture's own key
    fillRect(picture, QRect(10, 10, 10, 10), Qt::white);
    image->Picture().setBitmap(picture);

    EXPECT_FALSE(image->RotatedBitmapTransparent());
    const QImage shot = parent.grab().toImage();
    EXPECT_EQ(rgbAt(shot, 0, 0), 0x0000ffu);    // a corner of the turned square: Color
    EXPECT_EQ(rgbAt(shot, 21, 21), 0xffffffu);  // the centre of the picture
    EXPECT_EQ(rgbAt(shot, 21, 8), 0x0000ffu);   // the picture's key colour shows Color
    EXPECT_EQ(rgbAt(shot, 55, 55), 0x00c800u);  // outside the rendered bitmap
}

TEST_F(RotImg, PlacementStretchCenterAndAutoSize) {
    TRotateImage image;
    image.resize(200, 100);
    image.Picture().setBitmap(arrowRight(20, 20));  // square of side 31
    EXPECT_EQ(image.DestRect(), QRect(0, 0, 31, 31));
    image.setCenter(true);
    EXPECT_EQ(image.DestRect(), QRect(84, 34, 31, 31));
    image.setStretch(true);
    EXPECT_EQ(image.DestRect(), QRect(0, 0, 200, 100));
    image.setStretch(false);
    image.resize(21, 21);
    EXPECT_EQ(image.DestRect(), QRect(-5, -5, 31, 31));

    // With Stretch the square is drawn from its top-left corner: at 0 degrees the picture
    // then sits at (0, 0) of the square, whatever Center says.
    image.setStretch(true);
    const QImage stretched = image.RotatedBitmap();
    EXPECT_EQ(rgbAt(stretched, 19, 10), 0xffffffu);
    image.setStretch(false);
    EXPECT_EQ(rgbAt(image.RotatedBitmap(), 19 + 5, 10 + 5), 0xffffffu);

    image.setAutoSize(true);
    EXPECT_EQ(image.size(), QSize(31, 31));
    image.setUniqueSize(false);
    image.setAngle(90);
    EXPECT_EQ(image.size(), QSize(20, 20));
}

TEST_F(RotImg, EmptyPictureRendersAndPaintsNothing) {
    Backdrop parent(20, 20, QColor(10, 20, 30));
    auto* image = new TRotateImage(&parent);
    image->setGeometry(0, 0, 20, 20);
    image->setColor(Qt::white);
    image->setAngle(33);
    EXPECT_TRUE(image->RotatedBitmap().isNull());
    EXPECT_EQ(rgbAt(parent.grab().toImage(), 10, 10), 0x0a141eu);

    image->Picture().setBitmap(arrowRight(8, 8));
    image->Picture().clear();
    EXPECT_TRUE(image->RotatedBitmap().isNull());
}

TEST_F(RotImg, PictureKindsCanvasAndJpeg) {
    TRotateImage image;
    image.resize(16, 12);
    {
        auto canvas = image.GetCanvas();  // an empty picture becomes a bitmap of our size
        canvas->painter().fillRect(0, 0, 4, 4, Qt::red);
    }
    EXPECT_EQ(image.Picture().kind(), TPicture::Kind::Bitmap);
    EXPECT_EQ(QSize(image.Picture().width(), image.Picture().height()), QSize(16, 12));
    image.setUniqueSize(false);
    EXPECT_EQ(rgbAt(image.RotatedBitmap(), 1, 1), 0xff0000u);  // drawing re-rendered

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    arrowRight(24, 16).save(&buffer, "JPEG", 95);
    ASSERT_TRUE(image.Picture().loadJpeg(bytes.constData(), bytes.size()));
    EXPECT_EQ(image.Picture().kind(), TPicture::Kind::Jpeg);
    EXPECT_EQ(image.RotatedBitmap().size(), QSize(24, 16));
    try {
        image.GetCanvas();
        FAIL() << "a JPEG picture has no canvas";
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Can only modify an image if it contains a bitmap");
    }

    const QByteArray truncated = bytes.left(bytes.size() / 2);
    EXPECT_FALSE(image.Picture().loadJpeg(truncated.constData(), truncated.size()));
    EXPECT_TRUE(image.Picture().isEmpty());
    EXPECT_FALSE(image.Picture().loadJpeg("not a jpeg", 10));
    EXPECT_TRUE(image.Picture().isEmpty());
    EXPECT_TRUE(image.RotatedBitmap().isNull());
}

TEST_F(RotImg, ClicksAndMouseEvents) {
    QWidget parent;
    parent.resize(50, 50);
    auto* image = new TRotateImage(&parent);
    image->setGeometry(10, 10, 20, 20);
    parent.show();
    QSignalSpy clicks(image, &TRotateImage::Click);
    QSignalSpy downs(image, &TRotateImage::MouseDown);
    QSignalSpy ups(image, &TRotateImage::MouseUp);
    QTest::mouseClick(image, Qt::LeftButton, Qt::NoModifier, QPoint(5, 6));
    EXPECT_EQ(clicks.count(), 1);
    ASSERT_EQ(downs.count(), 1);
    EXPECT_EQ(downs.at(0).at(2).toInt(), 5);
    EXPECT_EQ(downs.at(0).at(3).toInt(), 6);
    EXPECT_EQ(ups.count(), 1);

    // Released outside the control: no click.
    QTest::mousePress(image, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseRelease(image, Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
    EXPECT_EQ(clicks.count(), 1);
    // The right button does not click.
    QTest::mouseClick(image, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(clicks.count(), 1);

    QSignalSpy doubles(image, &TRotateImage::DblClick);
    QTest::mouseDClick(image, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    EXPECT_EQ(doubles.count(), 1);
}
