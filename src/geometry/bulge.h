// The arc of a polyline segment with a bulge, and points on it.
//
// Conventions: a segment runs from p0 to p1 in the plane of its polyline (its OCS, or the WCS
// for the caller's purposes). The bulge is DXF group 42 of p0's vertex: tan(θ/4) with θ the
// included angle, positive when the arc turns counter-clockwise from p0 to p1, negative when
// clockwise, 0 for a straight segment. Angles are radians from the plane's X axis,
// counter-clockwise.
#pragma once

#include "geometry/vec3.h"

namespace vexilo::geometry {

/// Bulges smaller than this in magnitude are straight segments (their sagitta is below 1e-12
/// of the chord).
inline constexpr double kStraightBulge = 1e-12;

/// The arc of one bulged segment.
struct BulgeArc {
    Vec2 center;
    double radius = 0.0;
    /// Angle of p0 seen from the centre.
    double startAngle = 0.0;
    /// Signed included angle 4·atan(bulge): positive counter-clockwise.
    double includedAngle = 0.0;

    /// The point at fraction t (0 at p0, 1 at p1) of the way along the arc.
    Vec2 pointAt(double t) const;
    /// The arc's length, radius × |included angle|.
    double length() const;
};

/// The arc from p0 to p1 with the given bulge. Precondition: |bulge| ≥ kStraightBulge and
/// p0 ≠ p1; a zero-length chord gives a zero radius.
BulgeArc bulgeArc(Vec2 p0, Vec2 p1, double bulge);

/// The point halfway along the segment from p0 to p1 (its arc's middle when bulged).
Vec2 segmentMidpoint(Vec2 p0, Vec2 p1, double bulge);

/// The length of the segment from p0 to p1, along its arc when bulged.
double segmentLength(Vec2 p0, Vec2 p1, double bulge);

} // namespace vexilo::geometry
