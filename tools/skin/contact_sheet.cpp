#include "contact_sheet.h"

#include <QFont>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <memory>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

constexpr int kMargin = 16;
constexpr int kGap = 14;
constexpr int kCaption = 16;
const QColor kSheetColour(0x2b, 0x2b, 0x2e);
const QColor kCaptionColour(0xe8, 0xe8, 0xe8);

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '|')) fields.push_back(field);
    return fields;
}

QImage load(const std::string& path) {
    QImage image;
    if (!image.load(QString::fromStdString(path))) throw std::runtime_error("cannot read " + path);
    return image.convertToFormat(QImage::Format_ARGB32);
}

QColor colour(const std::string& hex) {
    return QColor(QString::fromStdString("#" + hex));
}

QFont font(int pixelSize, bool bold) {
    QFont f("Liberation Sans");
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

// Black pixels become transparent: how the program draws its colour-keyed pictures.
QImage keyOutBlack(const QImage& image) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* p = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((p[x] & 0xFFFFFF) == 0) p[x] = 0;
    }
    return out;
}

std::string substitute(const std::string& text, const SkinTexts* texts) {
    static const std::regex token(R"(\{\{([A-Za-z0-9_]+)\.([A-Za-z0-9_]+)\}\})");
    std::string out;
    auto last = text.cbegin();
    for (std::sregex_iterator it(text.begin(), text.end(), token), end; it != end; ++it) {
        const auto& m = *it;
        out.append(last, m[0].first);
        const auto value = texts ? texts->get(m[1], m[2]) : std::nullopt;
        out += value ? *value : "?" + m[1].str() + "." + m[2].str();
        last = m[0].second;
    }
    out.append(last, text.cend());
    std::replace(out.begin(), out.end(), '#', '\n');
    return out;
}

// One placed element of the sheet.
struct Block {
    QImage image;
    std::string caption;
    bool heading = false;
};

class MockupBuilder {
public:
    MockupBuilder(const std::string& title, int w, int h, QColor face)
        : title_(title), canvas_(w, h, QImage::Format_ARGB32) {
        canvas_.fill(face);
        painter_ = std::make_unique<QPainter>(&canvas_);
        painter_->setRenderHint(QPainter::TextAntialiasing);
    }

    void command(const std::vector<std::string>& f, const SkinTexts* texts) {
        const std::string& what = f[0];
        auto num = [&f](std::size_t i) { return std::stoi(f.at(i)); };
        if (what == "image") {
            const QImage img = load(f.at(1));
            if (f.size() >= 6)
                painter_->drawImage(QRect(num(2), num(3), num(4), num(5)), img);
            else
                painter_->drawImage(QPoint(num(2), num(3)), img);
        } else if (what == "keyed") {
            painter_->drawImage(QRect(num(2), num(3), num(4), num(5)), keyOutBlack(load(f.at(1))));
        } else if (what == "needle") {
            const int side = num(4);
            const double angle = std::stod(f.at(5));
            QImage turned =
                load(f.at(1)).transformed(QTransform().rotate(-angle), Qt::FastTransformation);
            turned = keyOutBlack(turned);
            painter_->save();
            if (f.size() >= 10) painter_->setClipRect(QRect(num(6), num(7), num(8), num(9)));
            painter_->drawImage(
                QPoint(num(2) + (side - turned.width()) / 2, num(3) + (side - turned.height()) / 2),
                turned);
            painter_->restore();
        } else if (what == "label") {
            const int w = num(3), h = num(4);
            Qt::Alignment align = Qt::AlignTop;
            align |= f.at(5) == "center"  ? Qt::AlignHCenter
                     : f.at(5) == "right" ? Qt::AlignRight
                                          : Qt::AlignLeft;
            painter_->setFont(font(num(6), f.at(7) == "bold"));
            painter_->setPen(colour(f.at(8)));
            const QString text = QString::fromStdString(substitute(f.at(9), texts));
            const QRect box(num(1), num(2), w > 0 ? w : 2000, h > 0 ? h : 2000);
            const int wrap = w > 0 ? Qt::TextWordWrap : 0;
            painter_->drawText(box, static_cast<int>(align) | wrap, text);
        } else if (what == "box") {
            painter_->setPen(colour(f.at(6)));
            painter_->setBrush(colour(f.at(5)));
            painter_->drawRect(num(1), num(2), num(3) - 1, num(4) - 1);
        } else if (what == "frame") {
            painter_->setPen(colour(f.at(5)));
            painter_->setBrush(Qt::NoBrush);
            painter_->drawRect(num(1), num(2), num(3) - 1, num(4) - 1);
        } else {
            throw std::runtime_error("unknown mock-up command " + what);
        }
    }

    Block finish() {
        painter_.reset();
        return Block{canvas_, title_, false};
    }

private:
    std::string title_;
    QImage canvas_;
    std::unique_ptr<QPainter> painter_;
};

}  // namespace

QImage composeContactSheet(const std::string& layout, const SkinTexts* texts) {
    int sheetWidth = 1700;
    std::vector<Block> blocks;
    std::unique_ptr<MockupBuilder> mockup;
    std::istringstream lines(layout);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        const auto f = split(line);
        if (mockup) {
            if (f[0] == "end") {
                blocks.push_back(mockup->finish());
                mockup.reset();
            } else {
                mockup->command(f, texts);
            }
        } else if (f[0] == "width") {
            sheetWidth = std::stoi(f.at(1));
        } else if (f[0] == "heading") {
            blocks.push_back(Block{QImage(), substitute(f.at(1), texts), true});
        } else if (f[0] == "picture") {
            blocks.push_back(Block{load(f.at(2)), f.at(1), false});
        } else if (f[0] == "mockup") {
            mockup = std::make_unique<MockupBuilder>(f.at(1), std::stoi(f.at(2)),
                                                     std::stoi(f.at(3)), colour(f.at(4)));
        } else {
            throw std::runtime_error("unknown sheet command " + f[0]);
        }
    }
    if (mockup) throw std::runtime_error("mock-up without end");

    // Flow layout: rows of blocks, a heading always starts a new row.
    struct Placed {
        const Block* block;
        QPoint at;
    };
    std::vector<Placed> placed;
    int x = kMargin, y = kMargin, rowHeight = 0;
    for (const Block& b : blocks) {
        if (b.heading) {
            y += rowHeight + (placed.empty() ? 0 : kGap);
            placed.push_back({&b, QPoint(kMargin, y)});
            y += 28;
            x = kMargin;
            rowHeight = 0;
            continue;
        }
        const QFontMetrics fm(font(11, false));
        const int w =
            std::max(b.image.width(), fm.horizontalAdvance(QString::fromStdString(b.caption)));
        if (x > kMargin && x + w > sheetWidth - kMargin) {
            x = kMargin;
            y += rowHeight + kGap;
            rowHeight = 0;
        }
        placed.push_back({&b, QPoint(x, y)});
        x += w + kGap;
        rowHeight = std::max(rowHeight, b.image.height() + kCaption);
    }
    const int height = y + rowHeight + kMargin;

    QImage sheet(sheetWidth, height, QImage::Format_ARGB32);
    sheet.fill(kSheetColour);
    QPainter p(&sheet);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (const auto& [b, at] : placed) {
        const QString caption = QString::fromStdString(b->caption);
        if (b->heading) {
            p.setFont(font(16, true));
            p.setPen(kCaptionColour);
            p.drawText(QRect(at.x(), at.y(), sheetWidth, 24), Qt::AlignLeft | Qt::AlignVCenter,
                       caption);
            continue;
        }
        p.drawImage(at, b->image);
        p.setFont(font(11, false));
        p.setPen(kCaptionColour);
        p.drawText(QRect(at.x(), at.y() + b->image.height() + 1, sheetWidth, kCaption - 1),
                   Qt::AlignLeft | Qt::AlignTop, caption);
    }
    return sheet;
}
