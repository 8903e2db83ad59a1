#pragma once
// The contact sheet of `make preview`: every picture at 1:1 with its key name under it, then
// mock-ups of windows composed from the pictures at their places. The layout is a line-based
// description (one command per line; fields separated by '|'):
//
//   width|W                                  sheet width in pixels (default 1700)
//   heading|TEXT                             starts a new group of pictures
//   picture|NAME|PATH                        one picture at 1:1, captioned NAME
//   mockup|TITLE|W|H|RRGGBB                  starts a window mock-up (client size, face colour)
//   image|PATH|X|Y[|W|H]                     a picture at its place (stretched to W x H if given)
//   keyed|PATH|X|Y|W|H                       a colour-keyed picture (black not painted), stretched
//   needle|PATH|X|Y|SIDE|ANGLE[|CX|CY|CW|CH] the needle turned by ANGLE degrees in a SIDE square,
//                                            clipped to its panel when CX..CH are given
//   label|X|Y|W|H|ALIGN|SIZE|bold|RRGGBB|TEXT a label (W, H 0: sized to its text; else
//                                            wrapped in that box); ALIGN left/center/right;
//                                            '#' breaks lines
//   frame|X|Y|W|H|RRGGBB                     an outline (a list box's place, say)
//   box|X|Y|W|H|FILL|OUTLINE                 a filled rectangle
//   end                                      closes the mock-up
//
// "{{section.key}}" in a label's text is replaced by the language text.

#include <QImage>
#include <string>

#include "skin_texts.h"

QImage composeContactSheet(const std::string& layout, const SkinTexts* texts);
