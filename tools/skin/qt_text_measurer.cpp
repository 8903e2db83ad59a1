#include "qt_text_measurer.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QString>
#include <stdexcept>

double QtTextMeasurer::width(const FontSpec& font, const std::string& utf8) const {
    // Measured at a large size and scaled, so hinting at small sizes does not skew the result.
    constexpr int kReference = 1000;
    QFont f(QString::fromStdString(font.family));
    f.setPixelSize(kReference);
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(true);
    const QFontInfo info(f);
    if (info.family().compare(f.family(), Qt::CaseInsensitive) != 0)
        throw std::runtime_error("font not installed: " + font.family);
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    const double advance = QFontMetricsF(f).horizontalAdvance(text) * font.pixelSize / kReference;
    return advance + font.letterSpacing * static_cast<double>(text.size());
}
