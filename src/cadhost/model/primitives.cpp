// Expansion of entities and block references into WCS primitives, and their boxes.
#include "cadhost/model/primitives.h"

#include "cadhost/host_geometry.h"
#include "cadhost/model/curves.h"
#include "cadhost/model/entity_members.h"
#include "cadhost/model/text_layout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace vexilo::cadhost {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
/// Most pattern lines one hatch gives (a tiny pattern scale on a large area would give
/// millions).
constexpr std::size_t kMaxHatchLines = 20000;
/// Most pattern-line-by-boundary-edge intersection tests one hatch makes.
constexpr double kMaxHatchWork = 5.0e7;
/// Most dashes one straight piece or arc is broken into; beyond, the dashes are far below a
/// pixel wherever the whole piece is in view, and it is drawn solid.
constexpr double kMaxDashesPerPiece = 2000.0;

/// Transform of the OCS of `normal` into WCS as an affine map.
Transform ocsTransform(Vec3 normal) {
    const OcsAxes a = arbitraryAxis(normal);
    Transform t;
    t.m = {a.x.x, a.y.x, a.z.x, a.x.y, a.y.y, a.z.y, a.x.z, a.y.z, a.z.z};
    return t;
}

/// A colour as an entity resolves it: the ACI it came from and what it shows.
struct DrawColor {
    std::int16_t aci = 7;
    Rgb rgb = aciToRgb(7);
};

Rgb rgbOf(std::uint32_t rgb) {
    return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
            static_cast<std::uint8_t>(rgb)};
}

/// Walks one entity under a transform, with the block reference's layer and colour for the
/// entities of a block that take them.
class Expander {
public:
    Expander(const Drawing& d, const PrimitiveSink& sink, const PrimitiveOptions& o)
        : m_d(d), m_sink(sink), m_options(o) {}

    bool entity(const Entity& e, const Transform& t, std::uint32_t parentLayer,
                DrawColor parentColor, bool inBlock, int depth,
                std::uint16_t parentLinetype = kLinetypeContinuous) {
        std::uint32_t layer = e.layer;
        if (inBlock && layer == 0) {
            layer = parentLayer;
        }
        DrawColor color;
        if (e.trueColor != 0 && e.trueColor <= m_d.trueColors().size()) {
            color = {e.color, rgbOf(m_d.trueColors()[e.trueColor - 1u])};
        } else if (e.color == kColorByBlock) {
            color = inBlock ? parentColor : DrawColor{};
        } else if (e.color == kColorByLayer || e.color < 0 || e.color > 255) {
            color = layerColor(layer);
        } else {
            color = {e.color, aciToRgb(e.color)};
        }
        if (!m_options.includeHiddenLayers && layer < m_d.layers().size() &&
            !m_d.layer(layer).visible()) {
            return true;
        }
        m_layer = layer;
        m_aci = color.aci;
        m_color = color.rgb;
        std::uint16_t linetype = e.linetype;
        if (linetype == kLinetypeByBlock) {
            linetype = inBlock ? parentLinetype : kLinetypeContinuous;
        }
        if (linetype == kLinetypeByLayer) {
            linetype = layer < m_d.layers().size() ? m_d.layer(layer).linetype : 0;
        }
        m_linetype = linetype;
        m_linetypeScale = e.linetypeScale;
        useLinetype(linetype);
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
        case EntityType::Insert:
        case EntityType::Dimension: {
            const InsertData& ins = *e.insert();
            if (depth >= m_options.maxDepth || ins.block >= m_d.blocks().size()) {
                return true;
            }
            const Block& block = m_d.blocks()[ins.block];
            const Transform inner = t.after(insertTransform(ins, block));
            for (const Entity& child : m_d.blockEntities(block)) {
                if (!entity(child, inner, layer, color, true, depth + 1, linetype)) {
                    return false;
                }
            }
            // Attribute texts live where the reference does, not in the block.
            for (const Entity& attribute : m_d.attributes(ins)) {
                if (!entity(attribute, t, layer, color, true, depth + 1, linetype)) {
                    return false;
                }
            }
            return true;
        }
        case EntityType::Spline:
            return spline(*e.spline(), t);
        case EntityType::Ellipse:
            return ellipse(*e.ellipse(), t);
        case EntityType::Solid:
        case EntityType::Trace:
        case EntityType::Face3d:
            return face(*e.face(), e.type == EntityType::Face3d, t);
        case EntityType::Leader:
            return leader(*e.polyline(), t);
        case EntityType::XLine:
        case EntityType::Ray: {
            const LineData& l = *e.line();
            const Vec3 origin = t.apply(l.start);
            const Vec3 direction = t.apply(l.end) - origin;
            if (!(length(direction) > 0.0)) {
                return true;
            }
            return emit(RayPrimitive{origin, normalized(direction), e.type == EntityType::XLine});
        }
        case EntityType::Hatch:
            return hatch(*e.hatch(), t);
        case EntityType::MLine:
            return mline(*e.mline(), t, color);
        }
        return true;
    }

private:
    bool emit(PrimitiveShape shape) {
        if (!m_dashes.empty()) {
            if (const auto* s = std::get_if<SegmentPrimitive>(&shape);
                s != nullptr && s->startWidth == 0.0 && s->endWidth == 0.0) {
                return dashedSegment(*s);
            }
            if (const auto* a = std::get_if<ArcPrimitive>(&shape);
                a != nullptr && a->startWidth == 0.0 && a->endWidth == 0.0) {
                return dashedArc(*a);
            }
        }
        return emitShape(std::move(shape));
    }

    bool emitShape(PrimitiveShape shape) {
        if (m_count >= m_options.limit) {
            return false;
        }
        ++m_count;
        return m_sink(Primitive{std::move(shape), m_color, m_aci, m_layer});
    }

    /// Walks the line type pattern along `length` from where the entity's last piece left
    /// it, calling `piece(from, to)` for each dash (a dot is a dash of 1 % of the pattern).
    /// Returns false when a piece stopped it. Very long runs of tiny dashes are drawn whole.
    template <class Piece> bool walkPattern(double length, Piece&& piece) {
        if (!(length > 0.0)) {
            return true;
        }
        if (length / m_dashPeriod > kMaxDashesPerPiece) {
            return piece(0.0, length);
        }
        double s = 0.0;
        while (true) {
            if (m_dashLeft <= 0.0) {
                m_dashIndex = (m_dashIndex + 1) % m_dashes.size();
                m_dashLeft = std::fabs(m_dashes[m_dashIndex]) * m_dashScale;
                if (m_dashes[m_dashIndex] == 0.0 &&
                    !piece(s, std::min(length, s + 0.01 * m_dashPeriod))) {
                    return false;
                }
                continue;
            }
            const double remaining = length - s;
            const bool dash = m_dashes[m_dashIndex] > 0.0;
            if (m_dashLeft >= remaining) {
                m_dashLeft -= remaining;
                return !dash || piece(s, length);
            }
            if (dash && !piece(s, s + m_dashLeft)) {
                return false;
            }
            s += m_dashLeft;
            m_dashLeft = 0.0;
        }
    }

    bool dashedSegment(const SegmentPrimitive& seg) {
        const Vec3 d = seg.end - seg.start;
        const double len = length(d);
        if (!(len > 0.0) || !std::isfinite(len)) {
            return emitShape(seg);
        }
        return walkPattern(len, [&](double a, double b) {
            SegmentPrimitive dash{seg.start + d * (a / len), seg.start + d * (b / len)};
            dash.startIsEnd = false;
            dash.endIsEnd = false;
            dash.hasMidpoint = false;
            return emitShape(dash);
        });
    }

    bool dashedArc(const ArcPrimitive& arc) {
        const double len = arc.radius * arc.sweep;
        if (!(len > 0.0) || !std::isfinite(len)) {
            return emitShape(arc);
        }
        return walkPattern(len, [&](double a, double b) {
            ArcPrimitive dash = arc;
            dash.startAngle = arc.startAngle + a / arc.radius;
            dash.sweep = std::max((b - a) / arc.radius, 1e-12);
            return emitShape(dash);
        });
    }

    /// Makes the lines that follow take the dashes of a line type (the current entity's scale).
    void useLinetype(std::uint16_t linetype) {
        m_dashes = {};
        if (m_options.linetypes && linetype < m_d.linetypes().size()) {
            m_dashes = m_d.linetypes()[linetype].dashes;
            m_dashScale = static_cast<double>(m_linetypeScale) * m_d.header().linetypeScale;
            // The walk starts by stepping onto the first element.
            m_dashIndex = m_dashes.size() - 1;
            m_dashLeft = 0.0;
            m_dashPeriod = 0.0;
            for (const double d : m_dashes) {
                m_dashPeriod += std::fabs(d) * m_dashScale;
            }
            if (!(m_dashPeriod > 0.0) || !std::isfinite(m_dashPeriod)) {
                m_dashes = {};
            }
        }
    }

    /// The element lines of an MLINE in their style's colours and line types, with the fill,
    /// joints and caps (square, round, inner arcs) the style asks for (an MLINE whose style is
    /// missing draws its lines in its own colour).
    bool mline(const MlineData& m, const Transform& t, DrawColor own) {
        const std::size_t n = m.vertexCount;
        const std::size_t k = m.elementCount;
        if (n == 0 || k == 0) {
            return true;
        }
        const auto points = m_d.vertexRun(m.firstVertex, static_cast<std::uint32_t>(n * k));
        if (points.size() != n * k) {
            return true;
        }
        const auto at = [&](std::size_t vertex, std::size_t element) {
            return t.apply(points[vertex * k + element].point);
        };
        const MlineStyle* style = m_d.findMlineStyle(m.style);
        const bool closed = (m.flags & kMlineClosed) != 0 && n > 2;
        const std::size_t segments = closed ? n : n - 1;
        const std::uint16_t entityLinetype = m_linetype;
        // Colours and line types that follow an element: BYLAYER takes the layer's, BYBLOCK
        // the MLINE's own.
        const auto useElement = [&](std::size_t element) {
            DrawColor color = own;
            std::uint16_t linetype = entityLinetype;
            if (style != nullptr && element < style->elements.size()) {
                const MlineElement& el = style->elements[element];
                if (el.trueColor >= 0) {
                    color = {el.color, rgbOf(static_cast<std::uint32_t>(el.trueColor))};
                } else if (el.color == kColorByLayer) {
                    color = layerColor(m_layer);
                } else if (el.color >= 1 && el.color <= 255) {
                    color = {el.color, aciToRgb(el.color)};
                }
                if (el.linetype == kLinetypeByLayer) {
                    linetype = m_layer < m_d.layers().size() ? m_d.layer(m_layer).linetype : 0;
                } else if (el.linetype != kLinetypeByBlock) {
                    linetype = el.linetype;
                }
            }
            m_aci = color.aci;
            m_color = color.rgb;
            useLinetype(linetype);
        };
        // The elements the style describes, from the highest offset to the lowest.
        std::vector<std::size_t> order;
        for (std::size_t j = 0; style != nullptr && j < k && j < style->elements.size(); ++j) {
            order.push_back(j);
        }
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return style->elements[a].offset > style->elements[b].offset;
        });
        const std::size_t high = order.empty() ? 0 : order.front();
        const std::size_t low = order.empty() ? 0 : order.back();
        // The unit vector at an end vertex pointing away from the MLINE, square to the elements.
        const auto outward = [&](std::size_t vertex, std::size_t inward) -> std::optional<Vec3> {
            const Vec3 across = at(vertex, high) - at(vertex, low);
            Vec3 out = (at(vertex, high) + at(vertex, low)) * 0.5 -
                       (at(inward, high) + at(inward, low)) * 0.5;
            const double across2 = dot(across, across);
            if (!(across2 > 0.0)) {
                return std::nullopt;
            }
            out = out - across * (dot(out, across) / across2);
            const double outLength = length(out);
            if (!(outLength > 0.0)) {
                return std::nullopt;
            }
            return out * (1.0 / outLength);
        };
        // Point i of kCapPieces + 1 on the half turn from element a to element b at an end,
        // bulging along `out`.
        constexpr int kCapPieces = 24;
        const auto capPoint = [&](std::size_t vertex, std::size_t a, std::size_t b, Vec3 out,
                                  int i) {
            if (i == 0 || i == kCapPieces) {
                return at(vertex, i == 0 ? a : b);
            }
            const Vec3 center = (at(vertex, a) + at(vertex, b)) * 0.5;
            const Vec3 u = at(vertex, a) - center;
            const double angle = std::numbers::pi * i / kCapPieces;
            return center + u * std::cos(angle) + out * (length(u) * std::sin(angle));
        };
        const bool startCaps = !closed && n >= 2 && (m.flags & kMlineNoStartCaps) == 0;
        const bool endCaps = !closed && n >= 2 && (m.flags & kMlineNoEndCaps) == 0;
        const std::optional<Vec3> startOut = startCaps ? outward(0, 1) : std::nullopt;
        const std::optional<Vec3> endOut = endCaps ? outward(n - 1, n - 2) : std::nullopt;
        const bool startRound =
            startOut && order.size() >= 2 && (style->flags & kMlineStyleStartRound) != 0;
        const bool endRound =
            endOut && order.size() >= 2 && (style->flags & kMlineStyleEndRound) != 0;

        // The fill lies beneath the lines: the band between the outermost elements (round caps
        // included), out along one and back along the other, or for a closed MLINE its two
        // rings, filled even-odd.
        if (order.size() >= 2 && (style->flags & kMlineStyleFill) != 0) {
            DrawColor fill = own;
            if (style->fillTrueColor >= 0) {
                fill = {style->fillColor, rgbOf(static_cast<std::uint32_t>(style->fillTrueColor))};
            } else if (style->fillColor == kColorByLayer) {
                fill = layerColor(m_layer);
            } else if (style->fillColor >= 1 && style->fillColor <= 255) {
                fill = {style->fillColor, aciToRgb(style->fillColor)};
            }
            m_aci = fill.aci;
            m_color = fill.rgb;
            std::vector<Vec3> band;
            for (std::size_t i = 0; i < n; ++i) {
                band.push_back(at(i, high));
            }
            for (int i = 1; endRound && i < kCapPieces; ++i) {
                band.push_back(capPoint(n - 1, high, low, *endOut, i));
            }
            for (std::size_t i = 0; i < n; ++i) {
                band.push_back(at(closed ? i : n - 1 - i, low));
            }
            for (int i = 1; startRound && i < kCapPieces; ++i) {
                band.push_back(capPoint(0, low, high, *startOut, i));
            }
            const auto size = static_cast<std::uint32_t>(band.size());
            const std::array<std::uint32_t, 2> rings{size / 2, size / 2};
            const std::array<std::uint32_t, 1> loop{size};
            if (!(closed ? emit(FillPrimitive{band, rings}) : emit(FillPrimitive{band, loop}))) {
                return false;
            }
        }
        for (std::size_t j = 0; j < k; ++j) {
            useElement(j);
            for (std::size_t i = 0; i < segments; ++i) {
                if (!segment(at(i, j), at((i + 1) % n, j), 0.0, 0.0)) {
                    return false;
                }
            }
        }
        if (order.size() < 2) {
            return true;
        }
        // Joints and square caps run across from the outermost element on each side to the
        // middle, each half in the colour and line type of its element.
        const auto across = [&](std::size_t vertex) {
            const Vec3 middle = (at(vertex, high) + at(vertex, low)) * 0.5;
            useElement(high);
            if (!segment(at(vertex, high), middle, 0.0, 0.0)) {
                return false;
            }
            useElement(low);
            return segment(at(vertex, low), middle, 0.0, 0.0);
        };
        if ((style->flags & kMlineStyleMiters) != 0) {
            for (std::size_t i = closed ? 0 : 1; i + (closed ? 0 : 1) < n; ++i) {
                if (!across(i)) {
                    return false;
                }
            }
        }
        if (startCaps && (style->flags & kMlineStyleStartSquare) != 0 && !across(0)) {
            return false;
        }
        if (endCaps && (style->flags & kMlineStyleEndSquare) != 0 && !across(n - 1)) {
            return false;
        }
        // A round cap joins the outermost elements and inner arcs the pairs within them: half
        // turns drawn as pieces, half in each element's colour, whose only ends are the
        // elements' ends.
        const auto arcs = [&](std::size_t vertex, Vec3 out, bool round, bool inner) {
            for (std::size_t p = round ? 0 : 1; p < order.size() / 2 && (p == 0 || inner); ++p) {
                const std::size_t a = order[p];
                const std::size_t b = order[order.size() - 1 - p];
                useElement(a);
                Vec3 previous = at(vertex, a);
                for (int i = 1; i <= kCapPieces; ++i) {
                    if (i == kCapPieces / 2 + 1) {
                        useElement(b);
                    }
                    const Vec3 next = capPoint(vertex, a, b, out, i);
                    if (!emit(SegmentPrimitive{previous, next, 0.0, 0.0, i == 1, i == kCapPieces,
                                               false})) {
                        return false;
                    }
                    previous = next;
                }
            }
            return true;
        };
        if (startOut &&
            !arcs(0, *startOut, startRound, (style->flags & kMlineStyleStartInnerArcs) != 0)) {
            return false;
        }
        if (endOut &&
            !arcs(n - 1, *endOut, endRound, (style->flags & kMlineStyleEndInnerArcs) != 0)) {
            return false;
        }
        return true;
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

    /// A leader's line, with a closed filled arrowhead at its first point (a third as wide as
    /// it is long) when the leader is long enough to hold it.
    bool leader(const PolylineData& p, const Transform& t) {
        const auto verts = m_d.vertices(p);
        const double size = p.constantWidth;
        if (verts.size() >= 2 && size > 0.0 && length(verts[1].point - verts[0].point) > size) {
            const Vec3 tip = verts[0].point;
            const Vec3 along = normalized(verts[1].point - tip);
            const Vec3 side = normalized(cross(p.normal, along)) * (size / 6.0);
            const Vec3 back = tip + along * size;
            const Vec3 triangle[3] = {t.apply(tip), t.apply(back + side), t.apply(back - side)};
            static constexpr std::uint32_t kThree[] = {3};
            if (!emit(FillPrimitive{triangle, kThree})) {
                return false;
            }
        }
        return polyline3d(p, t);
    }

    /// Consecutive points of a curve as pieces whose only ends are the curve's own.
    bool curve(const std::vector<Vec3>& points, bool closed) {
        for (std::size_t i = 1; i < points.size(); ++i) {
            SegmentPrimitive piece{points[i - 1], points[i]};
            piece.startIsEnd = i == 1 && !closed;
            piece.endIsEnd = i + 1 == points.size() && !closed;
            piece.hasMidpoint = false;
            if (!emit(piece)) {
                return false;
            }
        }
        return true;
    }

    bool spline(const SplineData& s, const Transform& t) {
        m_points.clear();
        const auto controls = m_d.vertexRun(s.firstControl, s.controlCount);
        const bool closed = (s.flags & 1) != 0;
        if (controls.size() >= 2) {
            m_controls.clear();
            m_weights.clear();
            for (const PolylineVertex& v : controls) {
                m_controls.push_back(v.point);
                m_weights.push_back(v.bulge);
            }
            splinePoints(s.degree, m_controls, m_weights, m_d.numbers(s.firstKnot, s.knotCount),
                         m_points);
        } else {
            m_controls.clear();
            for (const PolylineVertex& v : m_d.vertexRun(s.firstFit, s.fitCount)) {
                m_controls.push_back(v.point);
            }
            fitCurvePoints(m_controls, closed, m_points);
        }
        for (Vec3& p : m_points) {
            p = t.apply(p);
        }
        if (!closed && !snapPoint(middleByLength(m_points), false)) {
            return false;
        }
        return curve(m_points, closed);
    }

    /// The point halfway along a run of points.
    static Vec3 middleByLength(const std::vector<Vec3>& points) {
        double total = 0.0;
        for (std::size_t i = 1; i < points.size(); ++i) {
            total += length(points[i] - points[i - 1]);
        }
        double left = total / 2.0;
        for (std::size_t i = 1; i < points.size(); ++i) {
            const double piece = length(points[i] - points[i - 1]);
            if (piece >= left && piece > 0.0) {
                return points[i - 1] + (points[i] - points[i - 1]) * (left / piece);
            }
            left -= piece;
        }
        return points.empty() ? Vec3{} : points.back();
    }

    bool snapPoint(Vec3 position, bool center, bool quadrant = false) {
        if (!m_options.snapPoints) {
            return true;
        }
        return emitShape(SnapPointPrimitive{position, center, quadrant});
    }

    /// The ends of the ellipse's axes that lie on it (parameters 0, π/2, π, 3π/2), each made
    /// from the axis vectors without sine or cosine so that they are exact.
    bool ellipseQuadrants(const EllipseData& el, Vec3 minor, double arc, const Transform& t) {
        const std::array<Vec3, 4> ends{el.center + el.majorAxis, el.center + minor,
                                       el.center - el.majorAxis, el.center - minor};
        for (int k = 0; k < 4; ++k) {
            const double from =
                std::fmod(k * std::numbers::pi / 2.0 - el.startParameter, kTwoPi) + kTwoPi;
            if (arc > 0.0 && std::fmod(from, kTwoPi) > arc + 1e-12) {
                continue;
            }
            if (!snapPoint(t.apply(ends[static_cast<std::size_t>(k)]), false, true)) {
                return false;
            }
        }
        return true;
    }

    bool ellipse(const EllipseData& el, const Transform& t) {
        m_points.clear();
        const Vec3 minor = cross(el.normal, el.majorAxis) * el.ratio;
        ellipsePoints(el.center, el.majorAxis, minor, el.startParameter, el.endParameter, m_points);
        for (Vec3& p : m_points) {
            p = t.apply(p);
        }
        const double sweep = std::fmod(el.endParameter - el.startParameter, kTwoPi);
        const bool whole = std::fabs(sweep) <= 1e-12;
        // 0 for the whole ellipse, else the parameter range of the arc.
        const double arc = whole ? 0.0 : (sweep < 0.0 ? sweep + kTwoPi : sweep);
        if (!snapPoint(t.apply(el.center), true) ||
            (!whole && !snapPoint(middleByLength(m_points), false)) ||
            (m_options.snapPoints && !ellipseQuadrants(el, minor, arc, t))) {
            return false;
        }
        return curve(m_points, whole);
    }

    bool face(const FaceData& f, bool edgesOnly, const Transform& t) {
        const auto corners = m_d.vertexRun(f.firstVertex, 4);
        if (corners.size() != 4) {
            return true;
        }
        // SOLID and TRACE go round as corners 1, 2, 4, 3.
        static constexpr int kSolidOrder[] = {0, 1, 3, 2};
        Vec3 ring[4];
        for (int i = 0; i < 4; ++i) {
            const Vec3 p = corners[static_cast<std::size_t>(edgesOnly ? i : kSolidOrder[i])].point;
            ring[i] = t.apply(edgesOnly ? p : ocsToWcs(p, f.normal));
        }
        if (!edgesOnly) {
            static constexpr std::uint32_t kFour[] = {4};
            if (!emit(FillPrimitive{ring, kFour})) {
                return false;
            }
        }
        for (int i = 0; i < 4; ++i) {
            if ((f.invisibleEdges & (1 << i)) != 0 || ring[i] == ring[(i + 1) % 4]) {
                continue;
            }
            if (!segment(ring[i], ring[(i + 1) % 4], 0.0, 0.0)) {
                return false;
            }
        }
        return true;
    }

    /// The loops of a hatch as OCS points (bulges flattened), sizes in m_loopSizes.
    void hatchLoops(const HatchData& h) {
        m_points.clear();
        m_loopSizes.clear();
        const auto sizes = m_d.numbers(h.firstLoop, h.loopCount);
        std::size_t at = 0;
        std::vector<PolylineVertex> loop;
        for (const double size : sizes) {
            const auto n = static_cast<std::size_t>(size);
            const auto verts = m_d.vertexRun(h.firstVertex + static_cast<std::uint32_t>(at),
                                             static_cast<std::uint32_t>(n));
            at += n;
            const std::size_t before = m_points.size();
            for (std::size_t i = 0; i < verts.size(); ++i) {
                const Vec2 p0{verts[i].point.x, verts[i].point.y};
                const Vec2 p1{verts[(i + 1) % verts.size()].point.x,
                              verts[(i + 1) % verts.size()].point.y};
                m_points.push_back({p0.x, p0.y, h.elevation});
                if (std::fabs(verts[i].bulge) >= kStraightBulge && p0 != p1) {
                    const BulgeArc b = bulgeArc(p0, p1, verts[i].bulge);
                    const int pieces = std::max(
                        2, static_cast<int>(std::ceil(std::fabs(b.includedAngle) / kTwoPi * 96)));
                    for (int k = 1; k < pieces; ++k) {
                        const double a = b.startAngle + b.includedAngle * k / pieces;
                        const Vec3 q{b.center.x + b.radius * std::cos(a),
                                     b.center.y + b.radius * std::sin(a), h.elevation};
                        m_points.push_back(q);
                    }
                }
            }
            m_loopSizes.push_back(static_cast<std::uint32_t>(m_points.size() - before));
        }
    }

    bool hatch(const HatchData& h, const Transform& t) {
        // Pattern lines have their own dashes; the line type does not apply to them.
        m_dashes = {};
        hatchLoops(h);
        const Transform toWcs = t.after(ocsTransform(h.normal));
        if (h.solid || m_options.hatchBoundaries) {
            for (Vec3& p : m_points) {
                p = toWcs.apply(p);
            }
            return emit(FillPrimitive{m_points, m_loopSizes});
        }
        return hatchPattern(h, toWcs);
    }

    /// Pattern lines, in the hatch's OCS, cut to the inside of its loops by the even-odd rule.
    bool hatchPattern(const HatchData& h, const Transform& toWcs) {
        std::vector<std::pair<Vec2, Vec2>> edges;
        Box2 box;
        std::size_t at = 0;
        for (const std::uint32_t n : m_loopSizes) {
            for (std::size_t i = 0; i < n; ++i) {
                const Vec3 a = m_points[at + i];
                const Vec3 b = m_points[at + (i + 1) % n];
                edges.emplace_back(Vec2{a.x, a.y}, Vec2{b.x, b.y});
                box.add(Vec2{a.x, a.y});
            }
            at += n;
        }
        if (box.isEmpty() || !box.isFinite()) {
            return true;
        }
        const auto pattern = m_d.numbers(h.firstPattern, h.patternNumbers);
        std::size_t i = 0;
        std::size_t budget = kMaxHatchLines;
        std::vector<double> cuts;
        while (i + 6 <= pattern.size()) {
            const double angle = pattern[i];
            const Vec2 base{pattern[i + 1], pattern[i + 2]};
            const Vec2 offset{pattern[i + 3], pattern[i + 4]};
            const auto dashCount = static_cast<std::size_t>(pattern[i + 5]);
            if (i + 6 + dashCount > pattern.size()) {
                break;
            }
            const auto dashes = pattern.subspan(i + 6, dashCount);
            i += 6 + dashCount;
            const Vec2 dir{std::cos(angle), std::sin(angle)};
            const Vec2 normal{-dir.y, dir.x};
            // Distance between neighbouring lines, measured across them.
            const double step = offset.x * normal.x + offset.y * normal.y;
            const double shift = offset.x * dir.x + offset.y * dir.y;
            if (!(std::fabs(step) > 0.0)) {
                continue;
            }
            double lo = 1e300;
            double hi = -1e300;
            for (const Vec2 c :
                 {box.min, box.max, Vec2{box.min.x, box.max.y}, Vec2{box.max.x, box.min.y}}) {
                const double across = (c.x - base.x) * normal.x + (c.y - base.y) * normal.y;
                lo = std::min(lo, across / step);
                hi = std::max(hi, across / step);
            }
            const double first = std::ceil(std::min(lo, hi));
            const double last = std::floor(std::max(lo, hi));
            if (last - first > static_cast<double>(budget) ||
                (last - first + 1.0) * static_cast<double>(edges.size()) > kMaxHatchWork) {
                continue;
            }
            for (double k = first; k <= last; k += 1.0) {
                --budget;
                const Vec2 origin = base + offset * k;
                cuts.clear();
                for (const auto& [a, b] : edges) {
                    const double da = (a.x - origin.x) * normal.x + (a.y - origin.y) * normal.y;
                    const double db = (b.x - origin.x) * normal.x + (b.y - origin.y) * normal.y;
                    if ((da < 0.0) == (db < 0.0)) {
                        continue;
                    }
                    const Vec2 p = a + (b - a) * (da / (da - db));
                    cuts.push_back((p.x - origin.x) * dir.x + (p.y - origin.y) * dir.y);
                }
                std::sort(cuts.begin(), cuts.end());
                for (std::size_t c = 0; c + 1 < cuts.size(); c += 2) {
                    if (!dashedPiece(origin, dir, cuts[c], cuts[c + 1], dashes, shift * k, toWcs)) {
                        return false;
                    }
                }
            }
        }
        return true;
    }

    /// The part of a pattern line from s0 to s1 (distances along it from `origin`), dashed by
    /// `dashes` (positive drawn, negative gap, 0 a dot) starting at distance `phase`.
    bool dashedPiece(Vec2 origin, Vec2 dir, double s0, double s1, std::span<const double> dashes,
                     double phase, const Transform& toWcs) {
        const auto at = [&](double s) {
            return toWcs.apply(Vec3{origin.x + dir.x * s, origin.y + dir.y * s, 0.0});
        };
        double period = 0.0;
        for (const double d : dashes) {
            period += std::fabs(d);
        }
        if (dashes.empty() || !(period > 0.0) || (s1 - s0) / period > 10000.0) {
            return segment(at(s0), at(s1), 0.0, 0.0);
        }
        // The pattern starts at -phase (the line's own origin is shifted along it).
        double s = s0 - std::fmod(s0 + phase, period);
        if (s > s0) {
            s -= period;
        }
        while (s < s1) {
            for (const double d : dashes) {
                const double e = s + std::fabs(d);
                if (d >= 0.0 && e >= s0 && s <= s1) {
                    const double a = std::max(s, s0);
                    const double b = std::min(e, s1);
                    if (d == 0.0) {
                        if (!emit(PointPrimitive{at(a)})) {
                            return false;
                        }
                    } else if (!segment(at(a), at(b), 0.0, 0.0)) {
                        return false;
                    }
                }
                s = e;
            }
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
        if (!multiline) {
            p.oblique = td.oblique;
            p.mirror = td.mirror;
        }
        // MTEXT keeps its insertion point in WCS, TEXT in OCS.
        const Vec3 base = multiline ? td.position : ocsToWcs(td.position, td.normal);
        p.position = t.apply(base);
        const Vec3 dirOcs{std::cos(td.rotation), std::sin(td.rotation), 0.0};
        const Vec3 upOcs{-std::sin(td.rotation), std::cos(td.rotation), 0.0};
        const Vec3 dir = t.applyVector(ocsToWcs(dirOcs, td.normal));
        const Vec3 up = t.applyVector(ocsToWcs(upOcs, td.normal)) * td.height;
        p.rotation = std::atan2(dir.y, dir.x);
        p.height = std::hypot(up.x, up.y);
        // Lengths along the text scale with the transform's stretch in that direction; a
        // mirroring transform (or a normal seen from below) turns the text upside down.
        const double along = std::hypot(dir.x, dir.y);
        if (multiline) {
            p.referenceWidth = td.widthFactor > 0.0 ? td.widthFactor * along : 0.0;
            p.lineSpacing = td.fitLength > 0.0 ? td.fitLength : 1.0;
        } else {
            p.fitLength = td.fitLength * along;
        }
        if (dir.x * up.y - dir.y * up.x < 0.0) {
            p.mirror ^= kTextUpsideDown;
        }
        p.box = layoutText(p, estimatedTextWidth).box;
        return emit(p);
    }

    DrawColor layerColor(std::uint32_t layer) const {
        if (layer >= m_d.layers().size()) {
            return {};
        }
        const Layer& l = m_d.layer(layer);
        return {l.color, l.trueColor >= 0 ? rgbOf(static_cast<std::uint32_t>(l.trueColor))
                                          : aciToRgb(l.color)};
    }

    const Drawing& m_d;
    const PrimitiveSink& m_sink;
    const PrimitiveOptions& m_options;
    std::size_t m_count = 0;
    std::uint32_t m_layer = 0;
    std::int16_t m_aci = 7;
    Rgb m_color;
    std::vector<Vec3> m_points;
    std::vector<Vec3> m_controls;
    std::vector<double> m_weights;
    std::vector<std::uint32_t> m_loopSizes;
    /// The current entity's line type pattern (empty: solid), its scale, its length, the
    /// element the entity's lines have got to and what is left of it.
    std::uint16_t m_linetype = kLinetypeContinuous;
    float m_linetypeScale = 1.0f;
    std::span<const double> m_dashes;
    double m_dashScale = 1.0;
    double m_dashPeriod = 0.0;
    std::size_t m_dashIndex = 0;
    double m_dashLeft = 0.0;
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
    const double c = std::cos(rotation);
    const double s = std::sin(rotation);
    const auto at = [&](double x, double y) {
        return Vec2{position.x + x * c - y * s, position.y + x * s + y * c};
    };
    if (box.isEmpty()) {
        return {at(0, 0), at(0, 0), at(0, 0), at(0, 0)};
    }
    return {at(box.min.x, box.min.y), at(box.max.x, box.min.y), at(box.max.x, box.max.y),
            at(box.min.x, box.max.y)};
}

bool forEachPrimitive(const Drawing& drawing, const Entity& entity, const PrimitiveSink& sink,
                      const PrimitiveOptions& options) {
    Expander expander(drawing, sink, options);
    return expander.entity(entity, Transform{}, entity.layer, DrawColor{}, false, 0);
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
    } else if (const auto* f = std::get_if<FillPrimitive>(&shape)) {
        for (const Vec3 p : f->points) {
            box.add(xy(p));
        }
    } else if (const auto* r = std::get_if<RayPrimitive>(&shape)) {
        box.add(xy(r->origin));
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
    options.hatchBoundaries = true;
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
