#pragma once
// Turns a picture template into the SVG that the renderer draws:
//  - "{{var.NAME}}" becomes the value the build gives for NAME, unescaped (so one template serves
//    several pictures, e.g. a button's normal and pressed look, and may itself name a text token);
//  - "{{section.key}}" becomes that language text, escaped for XML (a missing text is an error, so
//    a language that lacks a picture text fails the build instead of shipping a blank button);
//  - href="png:NAME" becomes an inline PNG (NAME.png from the image folder), so pictures can be
//    drawn over already rendered ones (the neck over the stage, a button over its background);
//  - a <text> element with data-fit="W" gets a smaller font-size when its text is wider than W
//    pixels, so long words in any language still fit their button.

#include <map>
#include <string>

#include "skin_texts.h"

struct FontSpec {
    std::string family = "Liberation Sans";
    double pixelSize = 16;
    bool bold = false;
    bool italic = false;
    double letterSpacing = 0;
};

// Measures the advance width of a UTF-8 text in pixels.
class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    virtual double width(const FontSpec& font, const std::string& utf8) const = 0;
};

struct PrepareOptions {
    const SkinTexts* texts = nullptr;         // may be null when the template has no text tokens
    std::string imageDir;                     // folder of the png:NAME references
    const TextMeasurer* measurer = nullptr;   // needed only for data-fit texts
    std::map<std::string, std::string> vars;  // the {{var.NAME}} values
};

// Throws std::runtime_error naming what is missing or malformed.
std::string prepareSvg(const std::string& svg, const PrepareOptions& options);

// Helpers, exposed for tests.
std::string escapeXml(const std::string& text);
std::string unescapeXml(const std::string& text);
std::string base64(const std::string& bytes);
