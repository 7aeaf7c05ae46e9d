// Picking and object snap over a packed R-tree of entity boxes.
#include "cadhost/index/spatial_index.h"

#include "cadhost/index/box_tree.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace vexilo::cadhost {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr std::size_t kMaxIntersectionCurves = 256;

double distanceToSegment(Vec2 p, Vec2 a, Vec2 b) {
    const Vec2 d = b - a;
    const double len2 = dot(d, d);
    double t = len2 > 0.0 ? dot(p - a, d) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return distance(p, a + d * t);
}

/// True when `angle` lies on the arc from start counter-clockwise through sweep.
bool onArc(double angle, double start, double sweep) {
    if (sweep >= kTwoPi) {
        return true;
    }
    const double from = std::fmod(angle - start + 2.0 * kTwoPi, kTwoPi);
    return from <= sweep + 1e-12;
}

double distanceToArc(Vec2 p, const ArcPrimitive& a) {
    const Vec2 c = xy(a.center);
    const double r = distance(p, c);
    const double angle = std::atan2(p.y - c.y, p.x - c.x);
    if (r > 0.0 && onArc(angle, a.startAngle, a.sweep)) {
        return std::fabs(r - a.radius);
    }
    if (r == 0.0 && a.sweep >= kTwoPi) {
        return a.radius;
    }
    return std::min(distance(p, xy(a.pointAt(0.0))), distance(p, xy(a.pointAt(1.0))));
}

bool insidePolygon(Vec2 p, const std::array<Vec2, 4>& poly) {
    bool inside = false;
    for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const Vec2 a = poly[i];
        const Vec2 b = poly[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
            inside = !inside;
        }
    }
    return inside;
}

/// A curve piece near the aperture, for intersections.
struct Curve {
    PrimitiveShape shape;
    std::size_t entity;
};

struct Candidate {
    SnapHit hit;
    double rank = 0.0;
};

/// True when `a` goes before `b`. Distances that differ by less than `tolerance` count as
/// equal: one spot found two ways (an arc's midpoint that is also its quadrant) differs only
/// by rounding, and the kind order decides.
bool better(const Candidate& a, const Candidate& b, double tolerance) {
    if (std::fabs(a.rank - b.rank) > tolerance) {
        return a.rank < b.rank;
    }
    if (a.hit.kind != b.hit.kind) {
        return static_cast<int>(a.hit.kind) < static_cast<int>(b.hit.kind);
    }
    return a.rank < b.rank;
}

/// The point at fraction t along a segment, with its Z; the stored ends exactly at 0 and 1.
Vec3 segmentPoint(const SegmentPrimitive& s, double t) {
    if (t <= 0.0) {
        return s.start;
    }
    if (t >= 1.0) {
        return s.end;
    }
    return s.start + (s.end - s.start) * t;
}

/// The fraction along a segment of the foot of the perpendicular from `p` (XY), unclamped;
/// nothing for a segment of no length.
std::optional<double> footOnSegment(const SegmentPrimitive& s, Vec2 p) {
    const Vec2 d = xy(s.end) - xy(s.start);
    const double len2 = dot(d, d);
    if (!(len2 > 0.0)) {
        return std::nullopt;
    }
    return dot(p - xy(s.start), d) / len2;
}

/// The point of an arc on the ray from its centre towards `direction` (XY), if the arc passes
/// there.
std::optional<Vec3> arcPointToward(const ArcPrimitive& a, Vec2 direction) {
    const double len = std::hypot(direction.x, direction.y);
    if (!(len > 0.0) || !onArc(std::atan2(direction.y, direction.x), a.startAngle, a.sweep)) {
        return std::nullopt;
    }
    return Vec3{a.center.x + a.radius * direction.x / len,
                a.center.y + a.radius * direction.y / len, a.center.z};
}

double segmentZ(const SegmentPrimitive& s, Vec2 p) {
    const Vec2 d = xy(s.end) - xy(s.start);
    const double len2 = dot(d, d);
    const double t = len2 > 0.0 ? std::clamp(dot(p - xy(s.start), d) / len2, 0.0, 1.0) : 0.0;
    return s.start.z + (s.end.z - s.start.z) * t;
}

/// Intersections in the XY plane of two curve pieces, with the Z of the first.
void intersect(const PrimitiveShape& first, const PrimitiveShape& second, std::vector<Vec3>& out) {
    const auto* s1 = std::get_if<SegmentPrimitive>(&first);
    const auto* s2 = std::get_if<SegmentPrimitive>(&second);
    const auto* a1 = std::get_if<ArcPrimitive>(&first);
    const auto* a2 = std::get_if<ArcPrimitive>(&second);
    const auto zOf = [&](Vec2 p) { return s1 ? segmentZ(*s1, p) : a1->center.z; };
    if (s1 && s2) {
        const Vec2 p = xy(s1->start);
        const Vec2 r = xy(s1->end) - p;
        const Vec2 q = xy(s2->start);
        const Vec2 s = xy(s2->end) - q;
        const double denom = cross(r, s);
        if (denom == 0.0) {
            return;
        }
        const double t = cross(q - p, s) / denom;
        const double u = cross(q - p, r) / denom;
        if (t >= 0.0 && t <= 1.0 && u >= 0.0 && u <= 1.0) {
            const Vec2 x = p + r * t;
            out.push_back({x.x, x.y, zOf(x)});
        }
        return;
    }
    if ((s1 && a2) || (a1 && s2)) {
        const SegmentPrimitive& seg = s1 ? *s1 : *s2;
        const ArcPrimitive& arc = a1 ? *a1 : *a2;
        const Vec2 p = xy(seg.start);
        const Vec2 d = xy(seg.end) - p;
        const Vec2 f = p - xy(arc.center);
        const double a = dot(d, d);
        const double b = 2.0 * dot(f, d);
        const double c = dot(f, f) - arc.radius * arc.radius;
        const double disc = b * b - 4.0 * a * c;
        if (a == 0.0 || disc < 0.0) {
            return;
        }
        const double root = std::sqrt(disc);
        for (const double t : {(-b - root) / (2.0 * a), (-b + root) / (2.0 * a)}) {
            if (t < 0.0 || t > 1.0) {
                continue;
            }
            const Vec2 x = p + d * t;
            if (onArc(std::atan2(x.y - arc.center.y, x.x - arc.center.x), arc.startAngle,
                      arc.sweep)) {
                out.push_back({x.x, x.y, zOf(x)});
            }
            if (disc == 0.0) {
                break;
            }
        }
        return;
    }
    if (a1 && a2) {
        const Vec2 c1 = xy(a1->center);
        const Vec2 c2 = xy(a2->center);
        const double d = distance(c1, c2);
        if (d == 0.0 || d > a1->radius + a2->radius || d < std::fabs(a1->radius - a2->radius)) {
            return;
        }
        const double along = (a1->radius * a1->radius - a2->radius * a2->radius + d * d) / (2 * d);
        const double h = std::sqrt(std::max(0.0, a1->radius * a1->radius - along * along));
        const Vec2 mid = c1 + (c2 - c1) * (along / d);
        const Vec2 perp{-(c2.y - c1.y) / d, (c2.x - c1.x) / d};
        for (const double sign : {1.0, -1.0}) {
            const Vec2 x = mid + perp * (h * sign);
            if (onArc(std::atan2(x.y - c1.y, x.x - c1.x), a1->startAngle, a1->sweep) &&
                onArc(std::atan2(x.y - c2.y, x.x - c2.x), a2->startAngle, a2->sweep)) {
                out.push_back({x.x, x.y, a1->center.z});
            }
            if (h == 0.0) {
                break;
            }
        }
    }
}

} // namespace

struct SpatialIndex::Tree {
    detail::BoxTree boxes;
};

bool SnapModes::has(SnapKind k) const {
    switch (k) {
    case SnapKind::Endpoint:
        return endpoint;
    case SnapKind::Node:
        return node;
    case SnapKind::Center:
        return center;
    case SnapKind::Intersection:
        return intersection;
    case SnapKind::Midpoint:
        return midpoint;
    case SnapKind::Quadrant:
        return quadrant;
    case SnapKind::Perpendicular:
        return perpendicular;
    case SnapKind::Nearest:
        return nearest;
    }
    return false;
}

SnapModes SnapModes::only(SnapKind k) {
    SnapModes m = none();
    m.set(k, true);
    return m;
}

void SnapModes::set(SnapKind k, bool on) {
    switch (k) {
    case SnapKind::Endpoint:
        endpoint = on;
        break;
    case SnapKind::Node:
        node = on;
        break;
    case SnapKind::Center:
        center = on;
        break;
    case SnapKind::Intersection:
        intersection = on;
        break;
    case SnapKind::Midpoint:
        midpoint = on;
        break;
    case SnapKind::Quadrant:
        quadrant = on;
        break;
    case SnapKind::Perpendicular:
        perpendicular = on;
        break;
    case SnapKind::Nearest:
        nearest = on;
        break;
    }
}

double distanceTo(Vec2 p, const PrimitiveShape& shape) {
    if (const auto* s = std::get_if<SegmentPrimitive>(&shape)) {
        const double halfWidth = std::max(s->startWidth, s->endWidth) / 2.0;
        return std::max(0.0, distanceToSegment(p, xy(s->start), xy(s->end)) - halfWidth);
    }
    if (const auto* a = std::get_if<ArcPrimitive>(&shape)) {
        const double halfWidth = std::max(a->startWidth, a->endWidth) / 2.0;
        return std::max(0.0, distanceToArc(p, *a) - halfWidth);
    }
    if (const auto* q = std::get_if<PointPrimitive>(&shape)) {
        return distance(p, xy(q->position));
    }
    if (const auto* f = std::get_if<FillPrimitive>(&shape)) {
        // 0 inside (even-odd over all loops), else the distance to the nearest edge.
        bool inside = false;
        double best = 1e300;
        std::size_t at = 0;
        for (const std::uint32_t n : f->loopSizes) {
            for (std::size_t i = 0; i < n && at + n <= f->points.size(); ++i) {
                const Vec2 a = xy(f->points[at + i]);
                const Vec2 b = xy(f->points[at + (i + 1) % n]);
                if ((a.y > p.y) != (b.y > p.y) &&
                    p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
                    inside = !inside;
                }
                best = std::min(best, distanceToSegment(p, a, b));
            }
            at += n;
        }
        return inside ? 0.0 : best;
    }
    if (const auto* r = std::get_if<RayPrimitive>(&shape)) {
        const Vec2 d = xy(r->direction);
        const double len = std::hypot(d.x, d.y);
        const Vec2 o = xy(r->origin);
        if (!(len > 0.0)) {
            return distance(p, o);
        }
        double along = ((p.x - o.x) * d.x + (p.y - o.y) * d.y) / (len * len);
        if (!r->bothWays) {
            along = std::max(0.0, along);
        }
        return distance(p, o + d * along);
    }
    if (std::holds_alternative<SnapPointPrimitive>(shape)) {
        // Not drawn: nothing to pick.
        return 1e300;
    }
    const auto& t = std::get<TextPrimitive>(shape);
    const auto c = t.corners();
    if (insidePolygon(p, c)) {
        return 0.0;
    }
    double best = distanceToSegment(p, c[3], c[0]);
    for (std::size_t i = 0; i + 1 < c.size(); ++i) {
        best = std::min(best, distanceToSegment(p, c[i], c[i + 1]));
    }
    return best;
}

SpatialIndex::SpatialIndex(const Drawing& drawing)
    : m_drawing(drawing), m_tree(std::make_unique<Tree>()) {
    BoundsCalculator bounds(drawing);
    const auto entities = drawing.entities();
    bool started = false;
    for (std::size_t i = 0; i < entities.size(); ++i) {
        const Box2 b = bounds.entityBounds(entities[i]);
        if (b.isEmpty()) {
            continue;
        }
        // An entity whose geometry overflows the double range, or lies so far out that the
        // view cannot hold it, can be neither shown nor picked; in the tree it would also
        // spoil the extents that the view is centred on.
        if (!isDrawable(b)) {
            ++m_outOfRange;
            continue;
        }
        m_extents.add(b);
        if (entities[i].type == EntityType::XLine || entities[i].type == EntityType::Ray) {
            // Its box is its base point; it reaches every view.
            m_unbounded.push_back(static_cast<std::uint32_t>(i));
            continue;
        }
        if (!started) {
            started = true;
            // The tree keeps its boxes as floats relative to the middle of the first one. It
            // lies inside the extents, so no coordinate is further from it than the extents
            // are wide: one bit of float precision short of the middle of the extents, which
            // only a second pass over every entity's box could find.
            m_tree->boxes.reset((b.min + b.max) * 0.5, entities.size() - i);
        }
        m_tree->boxes.add(b, static_cast<std::uint32_t>(i));
    }
    m_tree->boxes.build();
}

SpatialIndex::~SpatialIndex() = default;

bool isDrawable(const Box2& box) {
    const auto within = [](double v) { return std::abs(v) <= kMaxDrawableCoordinate; };
    return within(box.min.x) && within(box.min.y) && within(box.max.x) && within(box.max.y);
}

std::size_t SpatialIndex::size() const {
    return m_tree->boxes.size() + m_unbounded.size();
}

Box2 SpatialIndex::bounds(std::size_t entity) const {
    BoundsCalculator calculator(m_drawing);
    return calculator.entityBounds(m_drawing.entities()[entity]);
}

std::optional<PickHit> SpatialIndex::pick(Vec2 point, double halfSize) const {
    if (!(halfSize >= 0.0) || !std::isfinite(point.x) || !std::isfinite(point.y)) {
        return std::nullopt;
    }
    const Box2 box{point - Vec2{halfSize, halfSize}, point + Vec2{halfSize, halfSize}};
    std::optional<PickHit> best;
    PrimitiveOptions options;
    options.clip = box;
    options.snapPoints = true;
    const auto consider = [&](std::uint32_t entity) {
        double nearest = std::numeric_limits<double>::infinity();
        forEachPrimitive(
            m_drawing, m_drawing.entities()[entity],
            [&](const Primitive& p) {
                nearest = std::min(nearest, distanceTo(point, p.shape));
                return nearest > 0.0;
            },
            options);
        if (nearest > halfSize) {
            return;
        }
        if (!best || nearest < best->distance ||
            (nearest == best->distance && entity > best->entity)) {
            best = PickHit{entity, nearest};
        }
    };
    m_tree->boxes.forEachIntersecting(box, consider);
    for (const std::uint32_t entity : m_unbounded) {
        consider(entity);
    }
    return best;
}

std::optional<SnapHit> SpatialIndex::snap(Vec2 point, double aperture, SnapModes modes,
                                          std::optional<Vec2> from) const {
    if (!(aperture >= 0.0) || !std::isfinite(point.x) || !std::isfinite(point.y)) {
        return std::nullopt;
    }
    if (from && !(std::isfinite(from->x) && std::isfinite(from->y))) {
        from.reset();
    }
    const Box2 box{point - Vec2{aperture, aperture}, point + Vec2{aperture, aperture}};
    std::vector<std::uint32_t> found;
    m_tree->boxes.forEachIntersecting(box,
                                      [&found](std::uint32_t entity) { found.push_back(entity); });
    found.insert(found.end(), m_unbounded.begin(), m_unbounded.end());
    // Draw order, so that equal candidates resolve the same way every time.
    std::sort(found.begin(), found.end());
    std::optional<Candidate> best;
    // A millionth of the aperture: far below a pixel.
    const double tolerance = aperture * 1e-6;
    const auto offer = [&](Vec3 p, SnapKind kind, std::size_t entity, double rank) {
        if (!modes.has(kind)) {
            return;
        }
        const Candidate c{SnapHit{p, kind, entity}, rank};
        if (!best || better(c, *best, tolerance)) {
            best = c;
        }
    };
    const auto inAperture = [&](Vec3 p) {
        return std::fabs(p.x - point.x) <= aperture && std::fabs(p.y - point.y) <= aperture;
    };
    const auto consider = [&](Vec3 p, SnapKind kind, std::size_t entity) {
        if (inAperture(p)) {
            offer(p, kind, entity, distance(point, xy(p)));
        }
    };
    const double outsideRank = aperture * std::numbers::sqrt2 * 2.0;
    // Every point of the aperture square lies within √2 × aperture of the cursor.
    const auto nearest = [&](Vec3 p, std::size_t entity) {
        if (modes.nearest && inAperture(p)) {
            offer(p, SnapKind::Nearest, entity,
                  aperture * std::numbers::sqrt2 + distance(point, xy(p)));
        }
    };
    std::vector<Curve> curves;
    // Every snap point lies in the aperture square, and every curve that matters passes
    // through it, so polyline segments outside it can be left out.
    PrimitiveOptions options;
    options.clip = box;
    options.snapPoints = true;
    for (const std::size_t entity : found) {
        forEachPrimitive(
            m_drawing, m_drawing.entities()[entity],
            [&](const Primitive& prim) {
                const PrimitiveShape& shape = prim.shape;
                if (const auto* s = std::get_if<SegmentPrimitive>(&shape)) {
                    if (s->startIsEnd) {
                        consider(s->start, SnapKind::Endpoint, entity);
                    }
                    if (s->endIsEnd) {
                        consider(s->end, SnapKind::Endpoint, entity);
                    }
                    if (s->hasMidpoint) {
                        consider((s->start + s->end) * 0.5, SnapKind::Midpoint, entity);
                    }
                    if (modes.perpendicular && from) {
                        if (const auto t = footOnSegment(*s, *from); t && *t >= 0.0 && *t <= 1.0) {
                            consider(segmentPoint(*s, *t), SnapKind::Perpendicular, entity);
                        }
                    }
                    if (modes.nearest) {
                        const double t = footOnSegment(*s, point).value_or(0.0);
                        nearest(segmentPoint(*s, std::clamp(t, 0.0, 1.0)), entity);
                    }
                } else if (const auto* a = std::get_if<ArcPrimitive>(&shape)) {
                    if (a->sweep < kTwoPi) {
                        consider(a->pointAt(0.0), SnapKind::Endpoint, entity);
                        consider(a->pointAt(1.0), SnapKind::Endpoint, entity);
                        consider(a->pointAt(0.5), SnapKind::Midpoint, entity);
                    }
                    if (modes.quadrant) {
                        const std::array<Vec2, 4> axes{{{1, 0}, {0, 1}, {-1, 0}, {0, -1}}};
                        for (const Vec2 axis : axes) {
                            if (const auto q = arcPointToward(*a, axis)) {
                                consider(*q, SnapKind::Quadrant, entity);
                            }
                        }
                    }
                    if (modes.perpendicular && from) {
                        const Vec2 out = *from - xy(a->center);
                        for (const Vec2 direction : {out, out * -1.0}) {
                            if (const auto q = arcPointToward(*a, direction)) {
                                consider(*q, SnapKind::Perpendicular, entity);
                            }
                        }
                    }
                    if (modes.nearest) {
                        if (const auto q = arcPointToward(*a, point - xy(a->center))) {
                            nearest(*q, entity);
                        } else if (a->sweep < kTwoPi) {
                            const Vec3 start = a->pointAt(0.0);
                            const Vec3 end = a->pointAt(1.0);
                            nearest(distance(point, xy(start)) <= distance(point, xy(end)) ? start
                                                                                           : end,
                                    entity);
                        }
                    }
                    if (inAperture(a->center)) {
                        consider(a->center, SnapKind::Center, entity);
                    } else if (distanceToArc(point, *a) <= aperture) {
                        offer(a->center, SnapKind::Center, entity,
                              outsideRank + distance(point, xy(a->center)));
                    }
                } else if (const auto* q = std::get_if<PointPrimitive>(&shape)) {
                    consider(q->position, SnapKind::Node, entity);
                    nearest(q->position, entity);
                } else if (const auto* r = std::get_if<RayPrimitive>(&shape)) {
                    const SegmentPrimitive unit{r->origin, r->origin + r->direction};
                    const auto onRay = [&](Vec2 p) -> std::optional<Vec3> {
                        const auto t = footOnSegment(unit, p);
                        if (!t || (!r->bothWays && *t < 0.0)) {
                            return std::nullopt;
                        }
                        return r->origin + r->direction * *t;
                    };
                    if (modes.perpendicular && from) {
                        if (const auto foot = onRay(*from)) {
                            consider(*foot, SnapKind::Perpendicular, entity);
                        }
                    }
                    if (const auto foot = onRay(point)) {
                        nearest(*foot, entity);
                    } else {
                        nearest(r->origin, entity);
                    }
                } else if (const auto* m = std::get_if<SnapPointPrimitive>(&shape)) {
                    if (m->quadrant) {
                        consider(m->position, SnapKind::Quadrant, entity);
                    } else if (!m->center || inAperture(m->position)) {
                        consider(m->position, m->center ? SnapKind::Center : SnapKind::Midpoint,
                                 entity);
                    } else {
                        // As for arcs: a centre outside the aperture ranks behind every point
                        // inside it.
                        offer(m->position, SnapKind::Center, entity,
                              outsideRank + distance(point, xy(m->position)));
                    }
                }
                const bool curve = std::holds_alternative<SegmentPrimitive>(shape) ||
                                   std::holds_alternative<ArcPrimitive>(shape);
                if (modes.intersection && curve && curves.size() < kMaxIntersectionCurves &&
                    distanceTo(point, shape) <= aperture * std::numbers::sqrt2) {
                    curves.push_back(Curve{shape, entity});
                }
                return true;
            },
            options);
    }
    if (modes.intersection) {
        std::vector<Vec3> points;
        for (std::size_t i = 0; i < curves.size(); ++i) {
            for (std::size_t j = i + 1; j < curves.size(); ++j) {
                points.clear();
                intersect(curves[i].shape, curves[j].shape, points);
                for (const Vec3 p : points) {
                    consider(p, SnapKind::Intersection, curves[i].entity);
                }
            }
        }
    }
    if (!best) {
        return std::nullopt;
    }
    return best->hit;
}

} // namespace vexilo::cadhost
