// The coordinate systems of a drawing: world (WCS), user (UCS) and an entity's object system
// (OCS, by DXF's arbitrary axis algorithm), and the conversions TranslateCoordinates makes.
//
// Conventions: every system is right-handed and in drawing units. The WCS is the drawing's
// fixed system (in a survey drawing X is east and Y is north). A UCS is an origin and two
// perpendicular unit axes given in WCS. An OCS has no origin of its own: its origin is the WCS
// origin, its Z axis is the entity's normal (DXF group 210/220/230) and its X and Y axes follow
// from that normal by the arbitrary axis algorithm.
#pragma once

#include "automation/codes.h"
#include "common/expected.h"
#include "geometry/vec3.h"

#include <optional>

namespace vexilo::geometry {

/// The three unit axes of an OCS, in WCS.
struct OcsAxes {
    Vec3 x{1.0, 0.0, 0.0};
    Vec3 y{0.0, 1.0, 0.0};
    Vec3 z{0.0, 0.0, 1.0};
};

/// DXF's arbitrary axis algorithm. With N the normal made unit: when |Nx| < 1/64 and
/// |Ny| < 1/64 the X axis is (0,1,0) × N, else (0,0,1) × N, made unit; the Y axis is N × X.
/// N = (0,0,1) gives the WCS axes exactly; N = (0,0,−1) gives X = (−1,0,0), Y = (0,1,0), the
/// mirrored system of drawings made in a flipped view. A zero or non-finite normal is treated
/// as (0,0,1), which is what AutoCAD falls back to for a damaged extrusion.
OcsAxes arbitraryAxis(Vec3 normal);

/// A point or vector from the OCS of `normal` to the WCS: x·Ax + y·Ay + z·N. Exact (no rounding)
/// for the normal (0,0,1).
Vec3 ocsToWcs(Vec3 point, Vec3 normal);

/// A point or vector from the WCS to the OCS of `normal`: (p·Ax, p·Ay, p·N).
Vec3 wcsToOcs(Vec3 point, Vec3 normal);

/// A user coordinate system: origin and unit axes in WCS. The default is the WCS itself.
struct Ucs {
    Vec3 origin{};
    Vec3 xAxis{1.0, 0.0, 0.0};
    Vec3 yAxis{0.0, 1.0, 0.0};

    /// The Z axis, xAxis × yAxis.
    Vec3 zAxis() const { return cross(xAxis, yAxis); }
    /// True when this is the WCS (origin 0, axes exactly the world axes).
    bool isWorld() const;

    /// A UCS from an origin and two directions in WCS (as DXF's $UCSORG, $UCSXDIR, $UCSYDIR).
    /// The X direction is made unit; the Y direction is made perpendicular to it in their common
    /// plane and unit. Returns nothing when a direction is zero, not finite, or the two are
    /// parallel.
    static std::optional<Ucs> fromAxes(Vec3 origin, Vec3 xDirection, Vec3 yDirection);
};

/// A WCS point (or, with displacement, a vector: no origin shift) expressed in the UCS.
Vec3 wcsToUcs(Vec3 point, const Ucs& ucs, bool displacement = false);
/// A UCS point (or vector with displacement) expressed in the WCS.
Vec3 ucsToWcs(Vec3 point, const Ucs& ucs, bool displacement = false);

/// The system codes of AutoCAD's TranslateCoordinates.
enum class CoordinateSystem : int {
    World = 0,
    User = 1,
    Display = 2,
    PaperSpaceDisplay = 3,
    Object = 4,
};

/// AutoCAD's TranslateCoordinates for the systems the host has: 0 world, 1 user (`ucs`), 4 object
/// (the OCS of `ocsNormal`). With `displacement` the point is a vector: the UCS origin is not
/// applied (an OCS has no origin, so 4 is the same either way). Fails with
/// automation::kInvalidArgumentCode when from or to is 4 and no normal is given or the normal is
/// zero or not finite, when both are 4 (AutoCAD refuses OCS to OCS), when a code is not 0, 1 or 4
/// (the display systems belong to the view, not to the drawing), or when the point is not finite.
/// Equal codes 0→0 and 1→1 return the point unchanged.
Expected<Vec3, automation::HResult>
translateCoordinates(Vec3 point, int from, int to, bool displacement, const Ucs& ucs,
                     std::optional<Vec3> ocsNormal = std::nullopt);

} // namespace vexilo::geometry
