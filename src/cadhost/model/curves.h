// Points along the curves the drawing keeps in closed form: B-splines (from control points,
// knots and weights, or through fit points) and ellipse arcs, for drawing, picking and
// hatch boundaries.
#pragma once

#include "cadhost/host_geometry.h"

#include <cstddef>
#include <span>
#include <vector>

namespace vexilo::cadhost {

/// Most points one curve gives; longer curves are sampled more coarsely.
inline constexpr std::size_t kMaxCurvePoints = 65536;

/// Appends points along a (rational) B-spline of `degree` with `controls` and their `weights`
/// (empty: all 1) over `knots`, from its first to its last point. Knots that do not fit the
/// control points (wrong count, decreasing, not finite) are replaced by clamped uniform ones.
/// Nothing is appended when there are fewer than two control points.
void splinePoints(int degree, std::span<const Vec3> controls, std::span<const double> weights,
                  std::span<const double> knots, std::vector<Vec3>& out);

/// Appends points along a smooth curve through `fit` (centripetal Catmull–Rom), closed back to
/// the first point when `closed`.
void fitCurvePoints(std::span<const Vec3> fit, bool closed, std::vector<Vec3>& out);

/// Appends points of the ellipse arc center + cos(t)·major + sin(t)·minor for t from `start`
/// counter-clockwise to `end` (radians; equal values or a full turn give the whole ellipse).
void ellipsePoints(Vec3 center, Vec3 major, Vec3 minor, double start, double end,
                   std::vector<Vec3>& out);

} // namespace vexilo::cadhost
