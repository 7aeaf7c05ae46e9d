// Expansion of entities and block references into WCS primitives, and their boxes.
#include "cadhost/model/primitives.h"

#include "cadhost/host_geometry.h"
#include "cadhost/model/entity_members.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vexilo::cadhost {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

/// Rough advance of one UTF-8 encoded character, in text heights.
double glyphAdvance(unsigned char lead) {
    return lead >= 0xE0 ? 1.0 : 0.6;
}

/// Estimated width (in heights) of the widest line and the number of lines.
std::pair<double, int> textExtent(std::string_view s) {
    double widest = 0.0;
    double line = 0.0;
    int lines = 1;
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\n') {
            widest = std::max(widest, line);
            line = 0.0;
            ++lines;
        } else if ((c & 0xC0) != 0x80) {
            line += glyphAdvance(c);
        }
    }
    return {std::max(widest, line), lines};
}

/// Transform of the OCS of `normal` into WCS as an affine map.
Transform ocsTransform(Vec3 normal) {
    const OcsAxes a = arbitraryAxis(normal);
    Transform t;
    t.m = {a.x.x, a.y.x, a.z.x, a.x.y, a.y.y, a.z.y, a.x.z, a.y.z, a.z.z};
    return t;
}

/// Walks one entity under a transform, with the block reference's layer and colour for the
/// entities of a block that take them.
class Expander {
public:
    Expander(const Drawing& d, const PrimitiveSink& sink, const PrimitiveOptions& o)
        : m_d(d), m_sink(sink), m_options(o) {}

    bool entity(const Entity& e, const Transform& t, std::uint32_t parentLayer,
                std::int16_t parentColor, bool inBlock, int depth) {
        std::uint32_t layer = e.layer;
        if (inBlock && layer == 0) {
            layer = parentLayer;
        }
        std::int16_t aci = e.color;
        if (aci == kColorByBlock) {
            aci = inBlock ? parentColor : 7;
        }
        if (aci == kColorByLayer || aci < 0 || aci > 255) {
            aci = layer < m_d.layers().size() ? m_d.layer(layer).color : 7;
        }
        if (!m_options.includeHiddenLayers && layer < m_d.layers().size() &&
            !m_d.layer(layer).visible()) {
            return true;
        }
        m_layer = layer;
        m_aci = aci;
        m_color = aciToRgb(aci);
        switch (e.type) {
        case EntityType::Line:
            return segment(t.apply(e.line()->start), t.apply(e.line()->end), 0.0, 0.0);
        case EntityType::LwPolyline:
        case EntityType::Polyline2d:
            return polyline2d(*e.polyline(), t);
        case EntityType::Polyline3d:
            return polyline3d(*e.polyline(), t);
        case EntityType::Arc: {
            const ArcData& a = *e.arc();
            return arc(a.center, a.radius, a.startAngle,
                       counterClockwiseSweep(a.startAngle, a.endAngle), a.normal, t, 0.0, 0.0);
        }
        case EntityType::Circle: {
            const ArcData& a = *e.arc();
            return arc(a.center, a.radius, 0.0, kTwoPi, a.normal, t, 0.0, 0.0);
        }
        case EntityType::Point:
            return emit(PointPrimitive{t.apply(e.point()->position)});
        case EntityType::Text:
        case EntityType::MText:
            return text(*e.text(), e.type == EntityType::MText, t);
        case EntityType::Insert: {
            const InsertData& ins = *e.insert();
            if (depth >= m_options.maxDepth || ins.block >= m_d.blocks().size()) {
                return true;
            }
            const Block& block = m_d.blocks()[ins.block];
            const Transform inner = t.after(insertTransform(ins, block));
            const std::int16_t color = aci;
            for (const Entity& child : m_d.blockEntities(block)) {
                if (!entity(child, inner, layer, color, true, depth + 1)) {
                    return false;
                }
            }
            return true;
        }
        }
        return true;
    }

private:
    bool emit(PrimitiveShape shape) {
        if (m_count >= m_options.limit) {
            return false;
        }
        ++m_count;
        return m_sink(Primitive{std::move(shape), m_color, m_aci, m_layer});
    }

    bool segment(Vec3 a, Vec3 b, double w0, double w1) {
        return emit(SegmentPrimitive{a, b, w0, w1});
    }

    /// True when a segment of a plan-view polyline can be left out: its bounding disc (and for
    /// an arc its centre) lies outside the clip box.
    bool clippedAway(Vec2 p0, Vec2 p1, double bulge, double halfWidth) const {
        const Box2& clip = *m_options.clip;
        const auto outside = [&](Vec2 lo, Vec2 hi) {
            return hi.x < clip.min.x || lo.x > clip.max.x || hi.y < clip.min.y || lo.y > clip.max.y;
        };
        if (std::fabs(bulge) < kStraightBulge) {
            const Vec2 lo{std::min(p0.x, p1.x) - halfWidth, std::min(p0.y, p1.y) - halfWidth};
            const Vec2 hi{std::max(p0.x, p1.x) + halfWidth, std::max(p0.y, p1.y) + halfWidth};
            return outside(lo, hi);
        }
        // Every point of a bulged segment lies within (chord/2)·max(1, |bulge|) of the chord's
        // middle (the sagitta bounds a major arc).
        const Vec2 mid = (p0 + p1) * 0.5;
        const double r = distance(p0, p1) / 2.0 * std::max(1.0, std::fabs(bulge)) + halfWidth;
        if (!outside(mid - Vec2{r, r}, mid + Vec2{r, r})) {
            return false;
        }
        const Vec2 c = bulgeArc(p0, p1, bulge).center;
        return outside(c, c);
    }

    bool polyline2d(const PolylineData& p, const Transform& t) {
        const auto verts = m_d.vertices(p);
        const auto widths = m_d.widths(p);
        const std::size_t n = verts.size();
        const std::size_t segments = p.closed ? n : (n > 0 ? n - 1 : 0);
        const bool clip = m_options.clip && p.normal == Vec3{0.0, 0.0, 1.0} && t.isIdentity();
        if (n == 1) {
            return emit(PointPrimitive{
                t.apply(ocsToWcs({verts[0].point.x, verts[0].point.y, p.elevation}, p.normal))});
        }
        for (std::size_t i = 0; i < segments; ++i) {
            const PolylineVertex& v0 = verts[i];
            const PolylineVertex& v1 = verts[(i + 1) % n];
            const double w0 = widths.empty() ? p.constantWidth : widths[i].start;
            const double w1 = widths.empty() ? p.constantWidth : widths[i].end;
            const Vec2 p0{v0.point.x, v0.point.y};
            const Vec2 p1{v1.point.x, v1.point.y};
            if (clip && clippedAway(p0, p1, v0.bulge, std::max(w0, w1) / 2.0)) {
                continue;
            }
            bool ok = true;
            if (std::fabs(v0.bulge) >= kStraightBulge && p0 != p1) {
                const BulgeArc b = bulgeArc(p0, p1, v0.bulge);
                const bool ccw = b.includedAngle > 0.0;
                const double start = ccw ? b.startAngle : b.startAngle + b.includedAngle;
                ok = arc({b.center.x, b.center.y, p.elevation}, b.radius, start,
                         std::fabs(b.includedAngle), p.normal, t, ccw ? w0 : w1, ccw ? w1 : w0);
            } else {
                ok = segment(t.apply(ocsToWcs({p0.x, p0.y, p.elevation}, p.normal)),
                             t.apply(ocsToWcs({p1.x, p1.y, p.elevation}, p.normal)), w0, w1);
            }
            if (!ok) {
                return false;
            }
        }
        return true;
    }

    bool polyline3d(const PolylineData& p, const Transform& t) {
        const auto verts = m_d.vertices(p);
        const std::size_t n = verts.size();
        if (n == 1) {
            return emit(PointPrimitive{t.apply(verts[0].point)});
        }
        const std::size_t segments = p.closed ? n : n - 1;
        const bool clip = m_options.clip && t.isIdentity();
        for (std::size_t i = 0; i < segments; ++i) {
            if (clip && clippedAway(xy(verts[i].point), xy(verts[(i + 1) % n].point), 0.0, 0.0)) {
                continue;
            }
            if (!segment(t.apply(verts[i].point), t.apply(verts[(i + 1) % n].point), 0.0, 0.0)) {
                return false;
            }
        }
        return true;
    }

    /// An arc given in the OCS of `normal`, counter-clockwise from `start` through `sweep`.
    bool arc(Vec3 center, double r, double start, double sweep, Vec3 normal, const Transform& t,
             double w0, double w1) {
        const Transform full = t.after(ocsTransform(normal));
        const Vec3 u = full.applyVector({1.0, 0.0, 0.0});
        const Vec3 v = full.applyVector({0.0, 1.0, 0.0});
        const double lu = length(u);
        const double lv = length(v);
        const double tol = 1e-9 * std::max(lu, lv);
        const bool planar = std::fabs(u.z) <= tol && std::fabs(v.z) <= tol;
        const bool similar = std::fabs(lu - lv) <= tol && std::fabs(dot(u, v)) <= tol * lu;
        if (planar && similar && lu > 0.0) {
            const double offset = std::atan2(u.y, u.x);
            const bool counterClockwise = u.x * v.y - u.y * v.x > 0.0;
            ArcPrimitive a;
            a.center = full.apply(center);
            a.radius = r * lu;
            a.sweep = sweep;
            a.startWidth = w0;
            a.endWidth = w1;
            if (counterClockwise) {
                a.startAngle = std::fmod(start + offset + kTwoPi, kTwoPi);
            } else {
                // A mirroring map turns the arc round: its end becomes the start.
                a.startAngle = std::fmod(offset - (start + sweep) + 2.0 * kTwoPi, kTwoPi);
                std::swap(a.startWidth, a.endWidth);
            }
            return emit(a);
        }
        const int pieces = std::max(8, static_cast<int>(std::ceil(sweep / kTwoPi * 72.0)));
        const bool full360 = sweep >= kTwoPi;
        Vec3 previous =
            full.apply({center.x + r * std::cos(start), center.y + r * std::sin(start), center.z});
        for (int i = 1; i <= pieces; ++i) {
            const double a = start + sweep * i / pieces;
            const Vec3 next =
                full.apply({center.x + r * std::cos(a), center.y + r * std::sin(a), center.z});
            SegmentPrimitive piece{previous, next, w0, w1};
            piece.startIsEnd = i == 1 && !full360;
            piece.endIsEnd = i == pieces && !full360;
            piece.hasMidpoint = false;
            if (!emit(piece)) {
                return false;
            }
            previous = next;
        }
        return true;
    }

    bool text(const TextData& td, bool multiline, const Transform& t) {
        const std::string_view s = m_d.text(td);
        TextPrimitive p;
        p.text = s;
        p.horizontal = td.horizontal;
        p.vertical = td.vertical;
        p.multiline = multiline;
        p.widthFactor = multiline || !(td.widthFactor > 0.0) ? 1.0 : td.widthFactor;
        // MTEXT keeps its insertion point in WCS, TEXT in OCS.
        const Vec3 base = multiline ? td.position : ocsToWcs(td.position, td.normal);
        p.position = t.apply(base);
        const Vec3 dirOcs{std::cos(td.rotation), std::sin(td.rotation), 0.0};
        const Vec3 upOcs{-std::sin(td.rotation), std::cos(td.rotation), 0.0};
        const Vec3 dir = t.applyVector(ocsToWcs(dirOcs, td.normal));
        const Vec3 up = t.applyVector(ocsToWcs(upOcs, td.normal)) * td.height;
        p.rotation = std::atan2(dir.y, dir.x);
        p.height = std::hypot(up.x, up.y);
        const auto [widthInHeights, lines] = textExtent(s);
        p.boxWidth = widthInHeights * p.height * p.widthFactor;
        p.boxHeight = multiline ? p.height * (1.0 + (lines - 1) * 1.667) : p.height;
        return emit(p);
    }

    const Drawing& m_d;
    const PrimitiveSink& m_sink;
    const PrimitiveOptions& m_options;
    std::size_t m_count = 0;
    std::uint32_t m_layer = 0;
    std::int16_t m_aci = 7;
    Rgb m_color;
};

void addArcBounds(Box2& box, const ArcPrimitive& a) {
    box.add(xy(a.pointAt(0.0)));
    box.add(xy(a.pointAt(1.0)));
    // The extreme points at 0, 90, 180 and 270 degrees that the arc passes.
    for (int k = 0; k < 4; ++k) {
        const double angle = k * std::numbers::pi / 2.0;
        const double from = std::fmod(angle - a.startAngle + 2.0 * kTwoPi, kTwoPi);
        if (from <= a.sweep) {
            box.add(Vec2{a.center.x + a.radius * std::cos(angle),
                         a.center.y + a.radius * std::sin(angle)});
        }
    }
}

} // namespace

Vec3 ArcPrimitive::pointAt(double t) const {
    const double a = startAngle + sweep * t;
    return {center.x + radius * std::cos(a), center.y + radius * std::sin(a), center.z};
}

std::array<Vec2, 4> TextPrimitive::corners() const {
    double dx = 0.0;
    double dy = 0.0;
    if (multiline) {
        const int a = std::clamp<int>(horizontal, 1, 9) - 1;
        dx = -boxWidth * (a % 3) / 2.0;
        dy = -boxHeight * (2 - a / 3) / 2.0;
    } else {
        static constexpr double kHorizontal[] = {0.0, 0.5, 1.0, 0.0, 0.5, 0.0};
        static constexpr double kVertical[] = {0.0, 0.0, 0.5, 1.0};
        dx = -boxWidth * kHorizontal[std::min<int>(horizontal, 5)];
        dy =
            horizontal == 4 ? -0.5 * boxHeight : -boxHeight * kVertical[std::min<int>(vertical, 3)];
    }
    const double c = std::cos(rotation);
    const double s = std::sin(rotation);
    const auto at = [&](double x, double y) {
        return Vec2{position.x + x * c - y * s, position.y + x * s + y * c};
    };
    return {at(dx, dy), at(dx + boxWidth, dy), at(dx + boxWidth, dy + boxHeight),
            at(dx, dy + boxHeight)};
}

bool forEachPrimitive(const Drawing& drawing, const Entity& entity, const PrimitiveSink& sink,
                      const PrimitiveOptions& options) {
    Expander expander(drawing, sink, options);
    return expander.entity(entity, Transform{}, entity.layer, 7, false, 0);
}

Box2 primitiveBounds(const PrimitiveShape& shape) {
    Box2 box;
    if (const auto* s = std::get_if<SegmentPrimitive>(&shape)) {
        const double h = std::max(s->startWidth, s->endWidth) / 2.0;
        box.add(Vec2{std::min(s->start.x, s->end.x) - h, std::min(s->start.y, s->end.y) - h});
        box.add(Vec2{std::max(s->start.x, s->end.x) + h, std::max(s->start.y, s->end.y) + h});
    } else if (const auto* a = std::get_if<ArcPrimitive>(&shape)) {
        addArcBounds(box, *a);
        const double h = std::max(a->startWidth, a->endWidth) / 2.0;
        if (h > 0.0) {
            box.min = box.min - Vec2{h, h};
            box.max = box.max + Vec2{h, h};
        }
    } else if (const auto* p = std::get_if<PointPrimitive>(&shape)) {
        box.add(xy(p->position));
    } else if (const auto* t = std::get_if<TextPrimitive>(&shape)) {
        for (const Vec2 c : t->corners()) {
            box.add(c);
        }
    }
    return box;
}

Transform insertTransform(const InsertData& insert, const Block& block) {
    const double c = std::cos(insert.rotation);
    const double s = std::sin(insert.rotation);
    Transform local;
    local.m = {c * insert.scale.x,
               -s * insert.scale.y,
               0.0,
               s * insert.scale.x,
               c * insert.scale.y,
               0.0,
               0.0,
               0.0,
               insert.scale.z};
    local.t = insert.position - local.applyVector(block.base);
    if (insert.normal == Vec3{0.0, 0.0, 1.0}) {
        return local;
    }
    return ocsTransform(insert.normal).after(local);
}

void BoundsCalculator::Box3::add(Vec3 p) {
    min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
    max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
}

BoundsCalculator::BoundsCalculator(const Drawing& drawing)
    : m_drawing(drawing), m_blockBoxes(drawing.blocks().size()),
      m_blockState(drawing.blocks().size(), 0) {}

const BoundsCalculator::Box3& BoundsCalculator::blockBounds(std::uint32_t block, int depth) {
    static const Box3 kEmpty;
    // 0 not computed, 1 being computed (a cycle: contributes nothing), 2 done.
    if (m_blockState[block] == 2) {
        return m_blockBoxes[block];
    }
    if (m_blockState[block] == 1 || depth > 64) {
        return kEmpty;
    }
    m_blockState[block] = 1;
    Box3 box;
    for (const Entity& e : m_drawing.blockEntities(m_drawing.blocks()[block])) {
        const Box3 b = localBounds(e, Transform{}, depth + 1);
        if (!b.isEmpty()) {
            box.add(b.min);
            box.add(b.max);
        }
    }
    m_blockBoxes[block] = box;
    m_blockState[block] = 2;
    return m_blockBoxes[block];
}

BoundsCalculator::Box3 BoundsCalculator::localBounds(const Entity& e, const Transform& t,
                                                     int depth) {
    Box3 box;
    if (const InsertData* ins = e.insert()) {
        if (ins->block >= m_drawing.blocks().size()) {
            return box;
        }
        const Box3& inner = blockBounds(ins->block, depth);
        if (inner.isEmpty()) {
            return box;
        }
        const Transform m = t.after(insertTransform(*ins, m_drawing.blocks()[ins->block]));
        for (int corner = 0; corner < 8; ++corner) {
            box.add(m.apply({corner & 1 ? inner.max.x : inner.min.x,
                             corner & 2 ? inner.max.y : inner.min.y,
                             corner & 4 ? inner.max.z : inner.min.z}));
        }
        return box;
    }
    PrimitiveOptions options;
    options.includeHiddenLayers = true;
    forEachPrimitive(
        m_drawing, e,
        [&](const Primitive& p) {
            const Box2 b = primitiveBounds(p.shape);
            if (b.isEmpty()) {
                return true;
            }
            double zmin = 0.0;
            double zmax = 0.0;
            if (const auto* s = std::get_if<SegmentPrimitive>(&p.shape)) {
                zmin = std::min(s->start.z, s->end.z);
                zmax = std::max(s->start.z, s->end.z);
            } else if (const auto* a = std::get_if<ArcPrimitive>(&p.shape)) {
                zmin = zmax = a->center.z;
            } else if (const auto* q = std::get_if<PointPrimitive>(&p.shape)) {
                zmin = zmax = q->position.z;
            } else if (const auto* x = std::get_if<TextPrimitive>(&p.shape)) {
                zmin = zmax = x->position.z;
            }
            box.add(t.apply({b.min.x, b.min.y, zmin}));
            box.add(t.apply({b.max.x, b.max.y, zmax}));
            box.add(t.apply({b.min.x, b.max.y, zmin}));
            box.add(t.apply({b.max.x, b.min.y, zmax}));
            return true;
        },
        options);
    return box;
}

Box2 BoundsCalculator::entityBounds(const Entity& entity) {
    const Box3 b = localBounds(entity, Transform{}, 0);
    Box2 out;
    if (!b.isEmpty()) {
        out.add(Vec2{b.min.x, b.min.y});
        out.add(Vec2{b.max.x, b.max.y});
    }
    return out;
}

Box2 BoundsCalculator::extents() {
    Box2 box;
    for (const Entity& e : m_drawing.entities()) {
        const Box2 b = entityBounds(e);
        if (b.isFinite()) {
            box.add(b);
        }
    }
    return box;
}

} // namespace vexilo::cadhost
