#pragma once
// Colour-keyed pictures for the controls that draw "transparent" by a key colour (the string ends,
// the peg hint, the needle): every pixel that should not be painted becomes exactly the key colour,
// and no painted pixel may equal it by accident.

#include <QColor>
#include <QImage>
#include <QPoint>

// Pixels of `over` that differ from `base` (read at `offset`) by at most `tolerance` in every
// channel become `key`; the others are kept, so anti-aliased edges stay blended with exactly what
// lies beneath the control on screen.
QImage keyAgainstBase(const QImage& over, const QImage& base, QPoint offset, QColor key,
                      int tolerance = 2);

// Pixels with alpha below `threshold` become `key`; the others are composed over `matte`.
QImage keyByAlpha(const QImage& picture, QColor matte, QColor key, int threshold = 24);

// Composes the picture over an opaque colour (for pictures shown without transparency).
QImage flatten(const QImage& picture, QColor background);
