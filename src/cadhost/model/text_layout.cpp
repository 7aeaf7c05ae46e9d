// Text layout shared by the boxes of the model and the glyphs the view draws.
#include "cadhost/model/text_layout.h"

#include <algorithm>
#include <cmath>

namespace vexilo::cadhost {

namespace {

/// The code point starting at `s[i]` and its length in bytes (a stray byte counts as one).
std::pair<char32_t, std::size_t> codePointAt(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (i + n > s.size()) {
        n = 1;
    }
    char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
    for (std::size_t k = 1; k < n; ++k) {
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    return {cp, n};
}

/// Characters a line may break before and after without a space (CJK ideographs, kana,
/// Hangul and full-width forms), as AutoCAD wraps Chinese text.
bool breaksAnywhere(char32_t cp) {
    return (cp >= 0x2E80 && cp <= 0x9FFF) || (cp >= 0xAC00 && cp <= 0xD7AF) ||
           (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFF00 && cp <= 0xFFEF);
}

/// The lines one paragraph wraps into at `limit` text heights (no limit when not positive):
/// greedy, breaking at spaces and around CJK characters; a word wider than the limit keeps a
/// line of its own.
template <typename Emit>
void wrapParagraph(std::string_view paragraph, double limit, const TextMeasure& measure,
                   Emit&& emit) {
    if (!(limit > 0.0)) {
        emit(paragraph);
        return;
    }
    const double space = measure(" ");
    std::size_t lineStart = std::string_view::npos;
    std::size_t lineEnd = 0;
    double lineWidth = 0.0;
    std::size_t i = 0;
    while (i < paragraph.size()) {
        if (paragraph[i] == ' ') {
            ++i;
            continue;
        }
        // The next piece: one CJK character, or a run up to a space or a CJK character.
        const std::size_t start = i;
        auto [cp, n] = codePointAt(paragraph, i);
        i += n;
        if (!breaksAnywhere(cp)) {
            while (i < paragraph.size() && paragraph[i] != ' ') {
                const auto [next, m] = codePointAt(paragraph, i);
                if (breaksAnywhere(next)) {
                    break;
                }
                i += m;
            }
        }
        const double width = measure(paragraph.substr(start, i - start));
        const bool spaced = start > 0 && paragraph[start - 1] == ' ';
        if (lineStart == std::string_view::npos) {
            lineStart = start;
            lineEnd = i;
            lineWidth = width;
            continue;
        }
        const double joined = lineWidth + (spaced ? space * double(start - lineEnd) : 0.0) + width;
        if (joined <= limit * (1.0 + 1e-9)) {
            lineEnd = i;
            lineWidth = joined;
            continue;
        }
        emit(paragraph.substr(lineStart, lineEnd - lineStart));
        lineStart = start;
        lineEnd = i;
        lineWidth = width;
    }
    emit(lineStart == std::string_view::npos ? std::string_view()
                                             : paragraph.substr(lineStart, lineEnd - lineStart));
}

} // namespace

double estimatedTextWidth(std::string_view s) {
    double width = 0.0;
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) != 0x80) {
            width += c >= 0xE0 ? 1.0 : 0.6;
        }
    }
    return width;
}

TextFrame layoutText(const TextPrimitive& t, const TextMeasure& measure,
                     std::vector<TextLine>* lines) {
    TextFrame frame;
    frame.height = t.height;
    frame.xScale = t.multiline || !(t.widthFactor > 0.0) ? 1.0 : t.widthFactor;
    const double slant = std::tan(t.oblique);
    const double descent = kTextDescender;
    // Adds one line to the box and the list: its baseline starts at (x, y) before mirroring.
    const auto place = [&](std::string_view text, double x, double y, double width) {
        const double h = frame.height;
        const double sx = (t.mirror & kTextBackward) != 0 ? -1.0 : 1.0;
        const double sy = (t.mirror & kTextUpsideDown) != 0 ? -1.0 : 1.0;
        // The glyphs' box sheared by the oblique angle about the baseline, then mirrored.
        for (const double gy : {-descent * h, h}) {
            for (const double gx : {0.0, width}) {
                frame.box.add(Vec2{(x + gx + gy * slant) * sx, (y + gy) * sy});
            }
        }
        if (lines != nullptr) {
            lines->push_back({text, {x, y}, width});
        }
    };
    if (!t.multiline) {
        const double natural = measure(t.text) * t.height;
        double width = natural * frame.xScale;
        if (t.horizontal == 3 || t.horizontal == 5) {
            if (natural > 0.0 && t.fitLength > 0.0) {
                if (t.horizontal == 3) {
                    // Aligned: the whole text scales to the length, keeping its proportions.
                    frame.height = t.height * t.fitLength / width;
                } else {
                    frame.xScale = t.fitLength / natural;
                }
                width = t.fitLength;
            }
            place(t.text, 0.0, 0.0, width);
            return frame;
        }
        static constexpr double kShift[] = {0.0, 0.5, 1.0, 0.0, 0.5, 0.0};
        const double h = t.height;
        double y = 0.0;
        if (t.horizontal == 4) {
            // "Middle": halfway up from the descenders to the capitals.
            y = -h + (h + descent * h) / 2.0;
        } else if (t.vertical == 1) {
            y = descent * h;
        } else if (t.vertical == 2) {
            y = -h / 2.0;
        } else if (t.vertical == 3) {
            y = -h;
        }
        place(t.text, -width * kShift[std::min<int>(t.horizontal, 5)], y, width);
        return frame;
    }
    // MTEXT: paragraphs wrapped at the reference width, lines one pitch apart, the block
    // placed by its attachment point (1 top left ... 9 bottom right).
    const int attachment = std::clamp<int>(t.horizontal, 1, 9) - 1;
    const double h = t.height;
    const double pitch = kMTextLinePitch * h * (t.lineSpacing > 0.0 ? t.lineSpacing : 1.0);
    const double limit = h > 0.0 ? t.referenceWidth / h : 0.0;
    std::size_t start = 0;
    struct Pending {
        std::string_view text;
        double width;
    };
    std::vector<Pending> pending;
    while (start <= t.text.size()) {
        std::size_t end = t.text.find('\n', start);
        if (end == std::string_view::npos) {
            end = t.text.size();
        }
        wrapParagraph(t.text.substr(start, end - start), limit, measure,
                      [&](std::string_view line) {
                          pending.push_back({line, measure(line) * h});
                      });
        start = end + 1;
    }
    const std::size_t count = pending.size();
    // The block reaches from the first line's capitals to the last line's descenders.
    const double blockHeight = h + pitch * double(count - 1) + descent * h;
    const double top = blockHeight * (attachment / 3) / 2.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double shift = pending[i].width * (attachment % 3) / 2.0;
        place(pending[i].text, -shift, top - h - pitch * double(i), pending[i].width);
    }
    return frame;
}

} // namespace vexilo::cadhost
