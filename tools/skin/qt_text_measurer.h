#pragma once
// Text widths from Qt's font engine (needs a QGuiApplication; the build runs it on the offscreen
// platform). Fonts are looked up by family; a family the machine lacks is an error rather than a
// silent substitute, because the renderer would then draw a different face than was measured.

#include "svg_prepare.h"

class QtTextMeasurer : public TextMeasurer {
public:
    double width(const FontSpec& font, const std::string& utf8) const override;
};
