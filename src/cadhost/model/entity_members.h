// The automation members of an entity with AutoCAD's semantics: what ObjectName, Coordinates,
// Coordinate, Elevation, Normal, Closed, GetWidth and the arc's members return for each kind of
// entity, and which fail.
//
// Conventions: points returned are WCS except where AutoCAD itself returns OCS (the vertices of
// lightweight and old-style 2D polylines); angles are radians; a member the entity does not
// have fails with automation::kUnknownMemberCode (as AutoCAD's late binding does for a 3D
// polyline's Elevation), an index out of range with automation::kBadIndexCode.
#pragma once

#include "automation/codes.h"
#include "cadhost/model/drawing.h"
#include "common/expected.h"

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vexilo::cadhost {

template <class T> using Member = vexilo::Expected<T, automation::HResult>;

/// AutoCAD's class name: "AcDbPolyline" (LWPOLYLINE), "AcDb2dPolyline", "AcDb3dPolyline",
/// "AcDbLine", "AcDbArc", "AcDbCircle", "AcDbPoint", "AcDbText", "AcDbMText",
/// "AcDbBlockReference". ObjectName and EntityName both return it.
std::string_view objectName(const Entity& e);

/// Vertex coordinates, vertex after vertex: lightweight polyline 2 per vertex (X, Y in OCS);
/// 3D polyline 3 per vertex (WCS); old-style 2D polyline 3 per vertex (X, Y in OCS, then the
/// polyline's elevation, which AutoCAD's callers ignore). Other entities fail.
Member<std::vector<double>> coordinates(const Drawing& d, const Entity& e);

/// One vertex, zero-based: 2 doubles for a lightweight polyline, 3 for the others, as
/// Coordinates gives them. automation::kBadIndexCode for an index outside 0..vertex count − 1.
Member<std::vector<double>> coordinate(const Drawing& d, const Entity& e, int index);

/// OCS Z of a lightweight or old-style 2D polyline's plane (DXF 38 / POLYLINE 30). A 3D
/// polyline and every other entity fail.
Member<double> elevation(const Entity& e);

/// The unit extrusion vector in WCS (DXF 210/220/230, (0,0,1) when absent). A 3D polyline has
/// none.
Member<Vec3> normal(const Entity& e);

/// True for a closed polyline (DXF 70 bit 1). Polylines only.
Member<bool> closed(const Entity& e);

/// Start and end width of segment `segment` of a lightweight or 2D polyline: the vertex's
/// DXF 40/41 when the polyline has per-vertex widths, else its constant width (43) at both
/// ends. Segments run 0..n−1 for a closed polyline of n vertices and 0..n−2 for an open one;
/// other indices fail with automation::kBadIndexCode. A 3D polyline and other entities fail.
Member<SegmentWidth> getWidth(const Drawing& d, const Entity& e, int segment);

/// Radius of an arc or circle.
Member<double> radius(const Entity& e);
/// Length of an arc: radius × the counter-clockwise sweep from StartAngle to EndAngle (a full
/// turn when they are equal).
Member<double> arcLength(const Entity& e);
/// Centre of an arc or circle, WCS.
Member<Vec3> center(const Entity& e);
/// Start point (WCS) of an arc, or of a line.
Member<Vec3> startPoint(const Entity& e);
/// End point (WCS) of an arc, or of a line.
Member<Vec3> endPoint(const Entity& e);
/// Start angle of an arc in radians, [0, 2π), counter-clockwise about Normal from the OCS X
/// axis.
Member<double> startAngle(const Entity& e);
/// End angle of an arc in radians, as StartAngle.
Member<double> endAngle(const Entity& e);

/// The value of a property read by name over the automation interface.
using MemberValue = std::variant<bool, double, std::string, std::vector<double>>;

/// Reads a property by its automation name: ObjectName, EntityName, Handle (upper-case hex),
/// Layer, Coordinates, Elevation, Normal (3 doubles), Closed, Radius, ArcLength, Center,
/// StartPoint, EndPoint (3 doubles each), StartAngle, EndAngle. Names compare exactly. An
/// unknown name, or one the entity lacks, fails with automation::kUnknownMemberCode. Coordinate(i)
/// and GetWidth(i) take an argument and are the functions above.
Member<MemberValue> readProperty(const Drawing& d, const Entity& e, std::string_view name);

/// The counter-clockwise angle in radians from angle `start` to angle `end`, in (0, 2π]: an arc
/// whose end angle equals its start angle is a full turn.
double counterClockwiseSweep(double start, double end);

} // namespace vexilo::cadhost
