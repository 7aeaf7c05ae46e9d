// Where the lines of a text go: TEXT alignment and stretching (aligned, fit), MTEXT attachment,
// word wrap at its reference width and AutoCAD's line pitch, mirroring and oblique angle. The
// glyph widths come from the caller: estimates for boxes and picking, a real font for drawing.
#pragma once

#include "cadhost/model/primitives.h"

#include <functional>
#include <string_view>
#include <vector>

namespace vexilo::cadhost {

/// The width of a run of text in text heights, at width factor 1.
using TextMeasure = std::function<double(std::string_view)>;

/// Descender depth of a font in text heights (that of AutoCAD's TXT font): where "Bottom"
/// alignment puts the lowest glyph.
inline constexpr double kTextDescender = 0.333;
/// AutoCAD's MTEXT line pitch in text heights at line spacing factor 1 (5/3, "3 on 5").
inline constexpr double kMTextLinePitch = 5.0 / 3.0;

/// One line of a laid-out text: its string (a part of the primitive's) and the start of its
/// baseline in the text's own frame (x along the text, y up, drawing units, origin at the
/// placement point), before mirroring; `width` is its stretched width in drawing units.
struct TextLine {
    std::string_view text;
    Vec2 origin;
    double width = 0.0;
};

/// The size the glyphs are drawn at and the box of all lines in the text's own frame, with
/// mirroring and the oblique angle applied.
struct TextFrame {
    /// Cap height in drawing units (an aligned text's height follows its length).
    double height = 0.0;
    /// Horizontal stretch of the glyphs (width factor, or what fits a fitted text).
    double xScale = 1.0;
    Box2 box;
};

/// Lays out `text` (its string, alignment, height, width factor, ...) with glyph widths from
/// `measure`; the lines go to `lines` when it is given.
TextFrame layoutText(const TextPrimitive& text, const TextMeasure& measure,
                     std::vector<TextLine>* lines = nullptr);

/// A rough width in text heights: 0.6 per Latin character, 1 per CJK one (for boxes and
/// picking, where no font is at hand).
double estimatedTextWidth(std::string_view utf8);

} // namespace vexilo::cadhost
