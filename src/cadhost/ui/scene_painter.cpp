// Rendering a scene: software rasterizer for the bulk, QPainter for wide lines and glyphs.
#include "cadhost/ui/scene_painter.h"

#include "cadhost/model/text_layout.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vexilo::cadhost {

namespace {

// DXF text height is the height of capitals; a font's pixel size is about 1.4 times that.
constexpr double kCapToPixelSize = 1.0 / 0.72;

QColor toColor(std::uint32_t rgb) {
    return QColor::fromRgb(rgb);
}

QFont textFont(double pixelSize) {
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixelSize))));
    return font;
}

void drawWide(QPainter& painter, const Viewport& view, const SceneWideSegment& w) {
    const Vec2 d = w.end - w.start;
    const double len = length(Vec3{d.x, d.y, 0.0});
    if (len <= 0.0) {
        return;
    }
    const Vec2 n{-d.y / len, d.x / len};
    const Vec2 a = view.toScreen(w.start + n * (w.startWidth / 2));
    const Vec2 b = view.toScreen(w.end + n * (w.endWidth / 2));
    const Vec2 c = view.toScreen(w.end - n * (w.endWidth / 2));
    const Vec2 e = view.toScreen(w.start - n * (w.startWidth / 2));
    const QPointF quad[4] = {{a.x, a.y}, {b.x, b.y}, {c.x, c.y}, {e.x, e.y}};
    painter.setBrush(toColor(w.rgb));
    painter.drawPolygon(quad, 4);
}

// Lays out a text (alignment, stretching, wrapping, line pitch) against the real advance of
// its glyphs and draws each line, slanted and mirrored as the text says.
void drawText(QPainter& painter, const Viewport& view, const SceneText& text) {
    const TextPrimitive& t = text.shape;
    const double capPixels = t.height * view.scale;
    if (capPixels > 2000.0) {
        return;
    }
    const QFont font = textFont(capPixels * kCapToPixelSize);
    const QFontMetricsF metrics(font);
    // The cap height of the font as set, in its own pixels: widths in text heights.
    const double fontCap = font.pixelSize() / kCapToPixelSize;
    const TextMeasure measure = [&](std::string_view s) {
        return metrics.horizontalAdvance(
                   QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()))) /
               fontCap;
    };
    std::vector<TextLine> lines;
    const TextFrame frame = layoutText(t, measure, &lines);
    if (!(frame.height > 0.0) || frame.height * view.scale > 2000.0) {
        return;
    }
    // Drawing units per pixel of the font.
    const double unit = frame.height / fontCap;
    const Vec2 at = view.toScreen(xy(t.position));
    painter.setFont(font);
    painter.setPen(toColor(text.rgb));
    for (const TextLine& line : lines) {
        painter.save();
        // From the text's frame (drawing units, y up) to the screen.
        painter.translate(at.x, at.y);
        painter.scale(view.scale, -view.scale);
        painter.rotate(t.rotation * 180.0 / std::numbers::pi);
        painter.scale((t.mirror & kTextBackward) != 0 ? -1.0 : 1.0,
                      (t.mirror & kTextUpsideDown) != 0 ? -1.0 : 1.0);
        painter.translate(line.origin.x, line.origin.y);
        painter.shear(std::tan(t.oblique), 0.0);
        // Glyphs are drawn y down in font pixels.
        painter.scale(unit * frame.xScale, -unit);
        painter.drawText(
            QPointF(0.0, 0.0),
            QString::fromUtf8(line.text.data(), static_cast<qsizetype>(line.text.size())));
        painter.restore();
    }
}

// Filled areas go under the lines: they are drawn first.
void drawFills(const Scene& scene, const Viewport& view, QImage& image) {
    if (scene.fills().empty()) {
        return;
    }
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    const Box2 visible = view.visibleBox();
    for (const SceneFill& fill : scene.fills()) {
        if (fill.box.max.x < visible.min.x || fill.box.min.x > visible.max.x ||
            fill.box.max.y < visible.min.y || fill.box.min.y > visible.max.y) {
            continue;
        }
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        std::size_t at = fill.firstPoint;
        for (std::uint32_t loop = 0; loop < fill.loopCount; ++loop) {
            const std::uint32_t n = scene.fillLoops()[fill.firstLoop + loop];
            for (std::uint32_t i = 0; i < n; ++i) {
                const Vec2 p = view.toScreen(scene.fillPoints()[at + i]);
                if (i == 0) {
                    path.moveTo(p.x, p.y);
                } else {
                    path.lineTo(p.x, p.y);
                }
            }
            path.closeSubpath();
            at += n;
        }
        painter.setBrush(toColor(fill.rgb));
        painter.drawPath(path);
    }
}

} // namespace

RasterStats renderScene(const Scene& scene, const Viewport& view, QImage& image) {
    if (image.width() != view.width || image.height() != view.height ||
        (image.format() != QImage::Format_RGB32 &&
         image.format() != QImage::Format_ARGB32_Premultiplied)) {
        image = QImage(view.width, view.height, QImage::Format_RGB32);
    }
    image.fill(kBackground);
    drawFills(scene, view, image);
    std::vector<std::size_t> bigTexts;
    auto* pixels = reinterpret_cast<std::uint32_t*>(image.bits());
    const RasterStats stats = scene.rasterize(
        view, pixels, static_cast<std::size_t>(image.bytesPerLine()) / 4, kGreekPixels, &bigTexts);

    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    const Box2 visible = view.visibleBox();
    for (const SceneWideSegment& w : scene.wideSegments()) {
        if (std::max(w.startWidth, w.endWidth) * view.scale < 1.5) {
            continue;
        }
        Box2 box;
        box.add(w.start);
        box.add(w.end);
        const double half = std::max(w.startWidth, w.endWidth) / 2;
        if (box.max.x + half < visible.min.x || box.min.x - half > visible.max.x ||
            box.max.y + half < visible.min.y || box.min.y - half > visible.max.y) {
            continue;
        }
        drawWide(painter, view, w);
    }
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    for (const std::size_t i : bigTexts) {
        drawText(painter, view, scene.texts()[i]);
    }
    return stats;
}

} // namespace vexilo::cadhost
