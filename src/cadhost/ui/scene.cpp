// Tessellation of a drawing into bucketed batches, and the rasterizer that draws them.
#include "cadhost/ui/scene.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vexilo::cadhost {

namespace {

constexpr double kChordAngle = 2.0 * std::numbers::pi / 96.0;

bool overlaps(const Box2& a, const Box2& b) {
    return !(a.max.x < b.min.x || b.max.x < a.min.x || a.max.y < b.min.y || b.max.y < a.min.y);
}

// Liang–Barsky: clips the segment to [0, w) × [0, h); false when nothing is left.
bool clip(double& x0, double& y0, double& x1, double& y1, double w, double h) {
    double t0 = 0.0;
    double t1 = 1.0;
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0, w - x0, y0, h - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) {
                return false;
            }
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0.0) {
            t0 = std::max(t0, r);
        } else {
            t1 = std::min(t1, r);
        }
        if (t0 > t1) {
            return false;
        }
    }
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = x0 + t0 * dx;
    y0 = y0 + t0 * dy;
    return true;
}

// The grid cell of a position in cell units, clamped in double: a float vertex may lie a
// rounding step outside the extents, which across a cell of 1e-9 is billions of cells.
int gridCell(double cells) {
    if (!(cells > 0.0)) {
        return 0;
    }
    return static_cast<int>(std::min(cells, static_cast<double>(Scene::kGrid - 1)));
}

// Draws pixel-centre to pixel-centre with a 16.16 fixed-point DDA: one pixel per step along the
// longer axis, aliased, one pixel wide (as CAD programs draw thin lines).
class Raster {
public:
    Raster(std::uint32_t* pixels, std::size_t stride, int width, int height)
        : m_pixels(pixels), m_stride(stride), m_w(width), m_h(height), m_maxX(width - 1e-6),
          m_maxY(height - 1e-6) {}

    void line(double x0, double y0, double x1, double y1, std::uint32_t rgb) {
        if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) {
            return;
        }
        if ((x0 < 0.0 && x1 < 0.0) || (y0 < 0.0 && y1 < 0.0) || (x0 > m_maxX && x1 > m_maxX) ||
            (y0 > m_maxY && y1 > m_maxY)) {
            return;
        }
        if (x0 < 0.0 || x1 < 0.0 || y0 < 0.0 || y1 < 0.0 || x0 > m_maxX || x1 > m_maxX ||
            y0 > m_maxY || y1 > m_maxY) {
            if (!clip(x0, y0, x1, y1, m_maxX, m_maxY)) {
                return;
            }
            // Clipping an end far outside computes the cut point as a difference of huge
            // numbers; its rounding may land it a little outside the picture.
            x0 = std::clamp(x0, 0.0, m_maxX);
            y0 = std::clamp(y0, 0.0, m_maxY);
            x1 = std::clamp(x1, 0.0, m_maxX);
            y1 = std::clamp(y1, 0.0, m_maxY);
        }
        const int ix0 = static_cast<int>(x0);
        const int iy0 = static_cast<int>(y0);
        const int ix1 = static_cast<int>(x1);
        const int iy1 = static_cast<int>(y1);
        const int dx = ix1 - ix0;
        const int dy = iy1 - iy0;
        const int n = std::max(std::abs(dx), std::abs(dy));
        if (n == 0) {
            m_pixels[static_cast<std::size_t>(iy0) * m_stride + ix0] = rgb;
            return;
        }
        std::int64_t fx = (std::int64_t{ix0} << 16) + 0x8000;
        std::int64_t fy = (std::int64_t{iy0} << 16) + 0x8000;
        const std::int64_t sx = (std::int64_t{dx} << 16) / n;
        const std::int64_t sy = (std::int64_t{dy} << 16) / n;
        for (int i = 0; i <= n; ++i) {
            m_pixels[static_cast<std::size_t>(fy >> 16) * m_stride + (fx >> 16)] = rgb;
            fx += sx;
            fy += sy;
        }
    }

    // A POINT: a small cross, so that survey points show at any zoom.
    void node(double x, double y, std::uint32_t rgb) {
        if (!(x >= 0.0 && y >= 0.0 && x <= m_maxX && y <= m_maxY)) {
            return;
        }
        const int ix = static_cast<int>(x);
        const int iy = static_cast<int>(y);
        for (int d = -1; d <= 1; ++d) {
            set(ix + d, iy, rgb);
            set(ix, iy + d, rgb);
        }
    }

private:
    void set(int x, int y, std::uint32_t rgb) {
        if (x >= 0 && y >= 0 && x < m_w && y < m_h) {
            m_pixels[static_cast<std::size_t>(y) * m_stride + x] = rgb;
        }
    }

    std::uint32_t* m_pixels;
    std::size_t m_stride;
    int m_w;
    int m_h;
    double m_maxX;
    double m_maxY;
};

} // namespace

std::uint32_t packRgb(Rgb color) {
    return 0xFF000000u | (std::uint32_t{color.r} << 16) | (std::uint32_t{color.g} << 8) |
           std::uint32_t{color.b};
}

Scene::Scene(const OpenDocument& document) {
    const Drawing& drawing = *document.drawing;
    // The scene does not wait for the spatial index, which is built meanwhile: the origin is
    // the first point drawn. What lies beyond the drawable range is left out, so every kept
    // coordinate minus the origin fits a float, and is as precise as from the middle of the
    // extents but for one bit.
    bool haveOrigin = false;

    MappedVector<SceneSegment>& segments = m_segments;
    Box2 entityBox;
    const auto addSegment = [&](Vec3 a, Vec3 b, std::uint32_t rgb) {
        if (!haveOrigin) {
            m_origin = xy(a);
            haveOrigin = true;
        }
        segments.push_back(
            {static_cast<float>(a.x - m_origin.x), static_cast<float>(a.y - m_origin.y),
             static_cast<float>(b.x - m_origin.x), static_cast<float>(b.y - m_origin.y), rgb});
        entityBox.add(xy(a));
        entityBox.add(xy(b));
    };
    const auto addWide = [&](Vec3 a, Vec3 b, double wa, double wb, std::uint32_t rgb) {
        if (wa > 0.0 || wb > 0.0) {
            m_wide.push_back({xy(a), xy(b), wa, wb, rgb});
        }
    };
    const auto drawable = [](Vec3 p, double margin) {
        return std::abs(p.x) + margin <= kMaxDrawableCoordinate &&
               std::abs(p.y) + margin <= kMaxDrawableCoordinate;
    };
    // Set when a primitive reaches beyond the drawable range: the whole entity is left out.
    bool outside = false;
    const PrimitiveSink sink = [&](const Primitive& primitive) {
        const std::uint32_t rgb = packRgb(primitive.color);
        if (const auto* s = std::get_if<SegmentPrimitive>(&primitive.shape)) {
            if (!drawable(s->start, 0.0) || !drawable(s->end, 0.0)) {
                outside = true;
                return false;
            }
            addSegment(s->start, s->end, rgb);
            addWide(s->start, s->end, s->startWidth, s->endWidth, rgb);
        } else if (const auto* a = std::get_if<ArcPrimitive>(&primitive.shape)) {
            if (!drawable(a->center, std::abs(a->radius)) || !std::isfinite(a->sweep)) {
                outside = true;
                return false;
            }
            const double sweep = std::min(std::abs(a->sweep), 2.0 * std::numbers::pi);
            const int n = std::max(2, static_cast<int>(std::ceil(sweep / kChordAngle)));
            Vec3 previous = a->pointAt(0.0);
            for (int i = 1; i <= n; ++i) {
                const double t = static_cast<double>(i) / n;
                const Vec3 next = a->pointAt(t);
                addSegment(previous, next, rgb);
                const double w0 = a->startWidth + (a->endWidth - a->startWidth) * (i - 1) / n;
                const double w1 = a->startWidth + (a->endWidth - a->startWidth) * t;
                addWide(previous, next, w0, w1, rgb);
                previous = next;
            }
        } else if (const auto* p = std::get_if<PointPrimitive>(&primitive.shape)) {
            if (!drawable(p->position, 0.0)) {
                outside = true;
                return false;
            }
            addSegment(p->position, p->position, rgb);
        } else if (const auto* f = std::get_if<FillPrimitive>(&primitive.shape)) {
            for (const Vec3 point : f->points) {
                if (!drawable(point, 0.0)) {
                    outside = true;
                    return false;
                }
            }
            SceneFill fill;
            fill.firstPoint = static_cast<std::uint32_t>(m_fillPoints.size());
            fill.firstLoop = static_cast<std::uint32_t>(m_fillLoops.size());
            fill.loopCount = static_cast<std::uint32_t>(f->loopSizes.size());
            fill.rgb = rgb;
            for (const Vec3 point : f->points) {
                m_fillPoints.push_back(xy(point));
                fill.box.add(xy(point));
            }
            m_fillLoops.insert(m_fillLoops.end(), f->loopSizes.begin(), f->loopSizes.end());
            entityBox.add(fill.box);
            m_fills.push_back(fill);
        } else if (const auto* r = std::get_if<RayPrimitive>(&primitive.shape)) {
            if (!drawable(r->origin, 0.0) || !isFinite(r->direction)) {
                outside = true;
                return false;
            }
            m_rays.push_back({xy(r->origin), xy(r->direction), r->bothWays, rgb});
            entityBox.add(xy(r->origin));
        } else if (const auto* t = std::get_if<TextPrimitive>(&primitive.shape)) {
            SceneText text{*t, rgb, {}};
            for (const Vec2 corner : t->corners()) {
                text.box.add(corner);
            }
            if (!isDrawable(text.box)) {
                outside = true;
                return false;
            }
            entityBox.add(text.box);
            m_texts.push_back(text);
        }
        return true;
    };
    PrimitiveOptions options;
    options.linetypes = true;
    for (const Entity& entity : drawing.entities()) {
        const std::size_t segmentMark = segments.size();
        const std::size_t wideMark = m_wide.size();
        const std::size_t textMark = m_texts.size();
        const std::size_t fillMark = m_fills.size();
        const std::size_t fillPointMark = m_fillPoints.size();
        const std::size_t fillLoopMark = m_fillLoops.size();
        const std::size_t rayMark = m_rays.size();
        entityBox = Box2{};
        outside = false;
        forEachPrimitive(drawing, entity, sink, options);
        if (outside) {
            segments.truncate(segmentMark);
            m_wide.resize(wideMark);
            m_texts.resize(textMark);
            m_fills.resize(fillMark);
            m_fillPoints.resize(fillPointMark);
            m_fillLoops.resize(fillLoopMark);
            m_rays.resize(rayMark);
            continue;
        }
        m_extents.add(entityBox);
    }

    // Buckets by the middle of each segment on a grid over the extents; each bucket's box is
    // that of its segments, so a long line makes its bucket large rather than being lost.
    m_buckets.assign(static_cast<std::size_t>(kGrid) * kGrid, Bucket{});
    if (segments.empty()) {
        return;
    }
    const double minX = m_extents.min.x - m_origin.x;
    const double minY = m_extents.min.y - m_origin.y;
    const double cellW = std::max((m_extents.max.x - m_extents.min.x) / kGrid, 1e-9);
    const double cellH = std::max((m_extents.max.y - m_extents.min.y) / kGrid, 1e-9);
    const auto cellOf = [&](const SceneSegment& s) {
        const double mx = (double(s.x0) + s.x1) * 0.5;
        const double my = (double(s.y0) + s.y1) * 0.5;
        const int cx = gridCell((mx - minX) / cellW);
        const int cy = gridCell((my - minY) / cellH);
        return static_cast<std::size_t>(cy * kGrid + cx);
    };
    for (const SceneSegment& s : segments) {
        Bucket& b = m_buckets[cellOf(s)];
        ++b.count;
        b.box.add(Vec2{s.x0 + m_origin.x, s.y0 + m_origin.y});
        b.box.add(Vec2{s.x1 + m_origin.x, s.y1 + m_origin.y});
    }
    std::uint32_t next = 0;
    for (Bucket& b : m_buckets) {
        b.first = next;
        next += b.count;
        b.count = 0;
    }
    // Stable within a bucket: draw order is kept among neighbours. A whole view then draws
    // bucket after bucket, each into its own part of the picture.
    MappedVector<SceneSegment> sorted;
    sorted.resize(segments.size());
    for (const SceneSegment& s : segments) {
        Bucket& b = m_buckets[cellOf(s)];
        sorted[b.first + b.count++] = s;
    }
    m_segments.swap(sorted);
}

RasterStats Scene::rasterize(const Viewport& view, std::uint32_t* pixels, std::size_t stride,
                             double greekPixels, std::vector<std::size_t>* bigTexts) const {
    RasterStats stats;
    if (view.width <= 0 || view.height <= 0) {
        return stats;
    }
    Raster raster(pixels, stride, view.width, view.height);
    const Box2 visible = view.visibleBox();
    const double s = view.scale;
    const double tx = (m_origin.x - view.center.x) * s + view.width * 0.5;
    const double ty = view.height * 0.5 - (m_origin.y - view.center.y) * s;
    for (const Bucket& bucket : m_buckets) {
        if (bucket.count == 0 || !overlaps(bucket.box, visible)) {
            continue;
        }
        ++stats.buckets;
        stats.segments += bucket.count;
        const SceneSegment* segment = m_segments.data() + bucket.first;
        const SceneSegment* end = segment + bucket.count;
        for (; segment != end; ++segment) {
            const double x0 = tx + segment->x0 * s;
            const double y0 = ty - segment->y0 * s;
            if (segment->x0 == segment->x1 && segment->y0 == segment->y1) {
                raster.node(x0, y0, segment->rgb);
                continue;
            }
            raster.line(x0, y0, tx + segment->x1 * s, ty - segment->y1 * s, segment->rgb);
        }
    }
    // Infinite lines and rays: the part that can be on screen, from the point nearest the view's
    // centre half the view's diagonal (plus a margin) each way.
    const double reach = std::hypot(view.width, view.height) / s;
    for (const SceneRay& ray : m_rays) {
        const double len = std::hypot(ray.direction.x, ray.direction.y);
        if (!(len > 0.0) || !(reach > 0.0) || !std::isfinite(reach)) {
            continue;
        }
        const Vec2 d = ray.direction * (1.0 / len);
        const double nearest =
            (view.center.x - ray.origin.x) * d.x + (view.center.y - ray.origin.y) * d.y;
        double from = nearest - reach;
        const double to = nearest + reach;
        if (!ray.bothWays) {
            from = std::max(from, 0.0);
        }
        if (to <= from) {
            continue;
        }
        const Vec2 a = view.toScreen(ray.origin + d * from);
        const Vec2 b = view.toScreen(ray.origin + d * to);
        raster.line(a.x, a.y, b.x, b.y, ray.rgb);
    }
    for (std::size_t i = 0; i < m_texts.size(); ++i) {
        const SceneText& text = m_texts[i];
        if (!overlaps(text.box, visible)) {
            continue;
        }
        ++stats.texts;
        if (text.shape.height * s >= greekPixels) {
            if (bigTexts != nullptr) {
                bigTexts->push_back(i);
            }
            continue;
        }
        // Too small to read: a stroke through the middle of its box.
        const auto c = text.shape.corners();
        const Vec2 a = view.toScreen((c[0] + c[3]) * 0.5);
        const Vec2 b = view.toScreen((c[1] + c[2]) * 0.5);
        raster.line(a.x, a.y, b.x, b.y, text.rgb);
    }
    return stats;
}

} // namespace vexilo::cadhost
