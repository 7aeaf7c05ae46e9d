// Arc geometry of bulged polyline segments.
#include "geometry/bulge.h"

#include <cmath>

namespace vexilo::geometry {

Vec2 BulgeArc::pointAt(double t) const {
    const double a = startAngle + includedAngle * t;
    return {center.x + radius * std::cos(a), center.y + radius * std::sin(a)};
}

double BulgeArc::length() const {
    return radius * std::fabs(includedAngle);
}

BulgeArc bulgeArc(Vec2 p0, Vec2 p1, double bulge) {
    const Vec2 d = p1 - p0;
    const double chord = length(d);
    BulgeArc arc;
    arc.includedAngle = 4.0 * std::atan(bulge);
    if (chord == 0.0 || bulge == 0.0) {
        arc.center = p0;
        return arc;
    }
    arc.radius = chord * (1.0 + bulge * bulge) / (4.0 * std::fabs(bulge));
    const Vec2 right{d.y / chord, -d.x / chord};
    const double offset = bulge * chord / 2.0 - std::copysign(arc.radius, bulge);
    arc.center = (p0 + p1) * 0.5 + right * offset;
    arc.startAngle = std::atan2(p0.y - arc.center.y, p0.x - arc.center.x);
    return arc;
}

Vec2 segmentMidpoint(Vec2 p0, Vec2 p1, double bulge) {
    const Vec2 mid = (p0 + p1) * 0.5;
    if (std::fabs(bulge) < kStraightBulge) {
        return mid;
    }
    const Vec2 d = p1 - p0;
    return mid + Vec2{d.y, -d.x} * (bulge / 2.0);
}

double segmentLength(Vec2 p0, Vec2 p1, double bulge) {
    if (std::fabs(bulge) < kStraightBulge) {
        return distance(p0, p1);
    }
    return bulgeArc(p0, p1, bulge).length();
}

} // namespace vexilo::geometry
