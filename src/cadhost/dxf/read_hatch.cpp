// Reader of HATCH: boundary paths (polylines, or edges: lines, circular and elliptic arcs and
// splines) turned into closed bulged polylines, and the pattern lines as the entity gives them.
#include "cadhost/dxf/entity_readers.h"
#include "cadhost/model/curves.h"

#include <algorithm>
#include <cmath>

namespace vexilo::cadhost::dxf {

namespace {

constexpr std::int64_t kMaxCount = 1'000'000;

/// Walks the tags of a HATCH in order; its boundary data is a sequence in which the same group
/// codes recur, so it is read by position rather than by last value.
class Cursor {
public:
    explicit Cursor(EntityTags& tags) : m_tags(tags), m_all(tags.all()) {}

    bool atEnd() const { return m_i >= m_all.size(); }
    int code() const { return atEnd() ? -1 : m_all[m_i].code; }
    /// Moves to the next tag with `code`, stopping (false) at any tag of `stop` first.
    bool seek(int code, std::initializer_list<int> stop = {}) {
        for (; !atEnd(); ++m_i) {
            if (m_all[m_i].code == code) {
                return true;
            }
            for (const int s : stop) {
                if (m_all[m_i].code == s) {
                    return false;
                }
            }
        }
        return false;
    }
    /// The value of the current tag when it has `code` (then moves past it), else `fallback`.
    double number(int code, double fallback = 0.0) {
        if (this->code() != code) {
            return fallback;
        }
        return m_tags.numberOf(m_all[m_i++]);
    }
    std::int64_t integer(int code, std::int64_t fallback = 0) {
        if (this->code() != code) {
            return fallback;
        }
        return m_tags.integerOf(m_all[m_i++]);
    }
    Vec2 point(int code) {
        const double x = number(code);
        return {x, number(code + 10)};
    }
    void next() { ++m_i; }

private:
    EntityTags& m_tags;
    std::span<const Tag> m_all;
    std::size_t m_i = 0;
};

std::int64_t boundedCount(std::int64_t n) {
    return std::clamp<std::int64_t>(n, 0, kMaxCount);
}

/// A bulge for an arc of `sweep` radians (negative: clockwise); whole turns are split by the
/// caller.
double bulgeOf(double sweep) {
    return std::tan(sweep / 4.0);
}

void addArcEdge(std::vector<PolylineVertex>& loop, Vec2 center, double r, double startDeg,
                double endDeg, bool ccw) {
    double start = startDeg * kDegree;
    double end = endDeg * kDegree;
    if (!ccw) {
        // Clockwise arcs are stored mirrored: their angles count clockwise from the X axis.
        start = -start;
        end = -end;
    }
    double sweep = 0.0;
    if (ccw) {
        sweep = std::fmod(end - start, 2.0 * std::numbers::pi);
        if (sweep <= 1e-12) {
            sweep += 2.0 * std::numbers::pi;
        }
    } else {
        sweep = -std::fmod(start - end, 2.0 * std::numbers::pi);
        if (sweep >= -1e-12) {
            sweep -= 2.0 * std::numbers::pi;
        }
    }
    const auto at = [&](double a) {
        return Vec3{center.x + r * std::cos(a), center.y + r * std::sin(a), 0.0};
    };
    loop.push_back({at(start), bulgeOf(sweep / 2.0)});
    loop.push_back({at(start + sweep / 2.0), bulgeOf(sweep / 2.0)});
}

void addPoints(std::vector<PolylineVertex>& loop, const std::vector<Vec3>& points) {
    // The last point is the next edge's first.
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        loop.push_back({{points[i].x, points[i].y, 0.0}, 0.0});
    }
}

/// Reads one edge-defined path, stopping at data that is not what an edge needs.
void readEdges(Cursor& cursor, std::int64_t edges, std::vector<PolylineVertex>& loop) {
    std::vector<Vec3> points;
    for (std::int64_t e = 0; e < edges && !cursor.atEnd(); ++e) {
        if (!cursor.seek(72, {92})) {
            return;
        }
        const std::int64_t type = cursor.integer(72);
        if (type == 1) {
            const Vec2 a = cursor.point(10);
            cursor.point(11);
            loop.push_back({{a.x, a.y, 0.0}, 0.0});
        } else if (type == 2) {
            const Vec2 c = cursor.point(10);
            const double r = cursor.number(40);
            const double start = cursor.number(50);
            const double end = cursor.number(51);
            const bool ccw = cursor.integer(73, 1) != 0;
            addArcEdge(loop, c, r, start, end, ccw);
        } else if (type == 3) {
            const Vec2 c = cursor.point(10);
            const Vec2 major = cursor.point(11);
            const double ratio = cursor.number(40, 1.0);
            const double start = cursor.number(50) * kDegree;
            const double end = cursor.number(51) * kDegree;
            const bool ccw = cursor.integer(73, 1) != 0;
            const Vec3 m{major.x, major.y, 0.0};
            const Vec3 minor{-major.y * ratio, major.x * ratio, 0.0};
            points.clear();
            if (ccw) {
                ellipsePoints({c.x, c.y, 0.0}, m, minor, start, end, points);
            } else {
                // Stored mirrored like a clockwise arc: walk the ccw range backwards.
                ellipsePoints({c.x, c.y, 0.0}, m, minor, -end, -start, points);
                std::reverse(points.begin(), points.end());
            }
            addPoints(loop, points);
        } else if (type == 4) {
            const std::int64_t degree = cursor.integer(94, 3);
            cursor.integer(73);
            cursor.integer(74);
            const std::int64_t knotCount = boundedCount(cursor.integer(95));
            const std::int64_t controlCount = boundedCount(cursor.integer(96));
            std::vector<double> knots;
            std::vector<Vec3> controls;
            std::vector<double> weights;
            while (cursor.code() == 40 && static_cast<std::int64_t>(knots.size()) < knotCount) {
                knots.push_back(cursor.number(40));
            }
            while (cursor.code() == 10 &&
                   static_cast<std::int64_t>(controls.size()) < controlCount) {
                const Vec2 p = cursor.point(10);
                controls.push_back({p.x, p.y, 0.0});
                if (cursor.code() == 42) {
                    weights.push_back(cursor.number(42));
                }
            }
            std::vector<Vec3> fit;
            if (cursor.code() == 97) {
                const std::int64_t fitCount = boundedCount(cursor.integer(97));
                while (cursor.code() == 11 && static_cast<std::int64_t>(fit.size()) < fitCount) {
                    const Vec2 p = cursor.point(11);
                    fit.push_back({p.x, p.y, 0.0});
                }
            }
            points.clear();
            if (controls.size() >= 2) {
                splinePoints(static_cast<int>(degree), controls,
                             weights.size() == controls.size() ? std::span<const double>(weights)
                                                               : std::span<const double>(),
                             knots, points);
            } else {
                fitCurvePoints(fit, false, points);
            }
            addPoints(loop, points);
        } else {
            return;
        }
    }
}

} // namespace

void readHatch(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    HatchData d;
    d.elevation = tags.number(30);
    d.solid = tags.integer(70) == 1;
    std::vector<PolylineVertex> vertices;
    std::vector<double> loopSizes;
    Cursor cursor(tags);
    std::int64_t paths = 0;
    if (cursor.seek(91)) {
        paths = boundedCount(cursor.integer(91));
    }
    std::vector<PolylineVertex> loop;
    for (std::int64_t path = 0; path < paths && cursor.seek(92, {75, 76}); ++path) {
        const std::int64_t flags = cursor.integer(92);
        loop.clear();
        if ((flags & 2) != 0) {
            // 72 (has bulges) and 73 (closed): the loop is closed whatever 73 says.
            cursor.integer(72);
            cursor.integer(73);
            const std::int64_t count = boundedCount(cursor.integer(93));
            for (std::int64_t i = 0; i < count && cursor.code() == 10; ++i) {
                const Vec2 p = cursor.point(10);
                loop.push_back({{p.x, p.y, 0.0}, cursor.number(42, 0.0)});
            }
        } else {
            readEdges(cursor, boundedCount(cursor.integer(93)), loop);
        }
        if (loop.size() >= 2) {
            vertices.insert(vertices.end(), loop.begin(), loop.end());
            loopSizes.push_back(static_cast<double>(loop.size()));
        }
    }
    std::vector<double> pattern;
    if (!d.solid && cursor.seek(78, {47, 98})) {
        const std::int64_t lines = boundedCount(cursor.integer(78));
        for (std::int64_t i = 0; i < lines && cursor.code() == 53; ++i) {
            pattern.push_back(cursor.number(53) * kDegree);
            pattern.push_back(cursor.number(43));
            pattern.push_back(cursor.number(44));
            pattern.push_back(cursor.number(45));
            pattern.push_back(cursor.number(46));
            const std::int64_t dashes = boundedCount(cursor.integer(79));
            const std::size_t countAt = pattern.size();
            pattern.push_back(0.0);
            for (std::int64_t k = 0; k < dashes && cursor.code() == 49; ++k) {
                pattern.push_back(cursor.number(49));
                pattern[countAt] += 1.0;
            }
        }
    }
    c.damaged = c.damaged || tags.damaged;
    if (!context.acceptable(target, c, "HATCH", &d.normal)) {
        return;
    }
    if (loopSizes.empty()) {
        context.skip(SkipReason::NoVertices, "HATCH", c.location);
        return;
    }
    Drawing& drawing = context.drawing();
    d.firstVertex = drawing.appendVertices(vertices);
    d.loopCount = static_cast<std::uint32_t>(loopSizes.size());
    d.firstLoop = drawing.appendNumbers(loopSizes);
    d.patternNumbers = static_cast<std::uint32_t>(pattern.size());
    d.firstPattern = drawing.appendNumbers(pattern);
    context.keep(target, c, EntityType::Hatch, d);
}

} // namespace vexilo::cadhost::dxf
