// The entities of a drawing as plain values: what each DXF entity type keeps once read.
//
// Conventions: lengths in drawing units, angles in radians counter-clockwise about the entity's
// normal from its OCS X axis (DXF stores degrees; the reader converts). A normal is a unit
// vector in WCS (DXF 210/220/230, default (0,0,1)). Which system a point is in is stated per
// field: AutoCAD keeps 2D entities (polylines, arcs, circles, texts, block references) in their
// OCS and lines, points and 3D polylines in WCS.
#pragma once

#include "cadhost/host_geometry.h"

#include <cstdint>
#include <variant>

namespace vexilo::cadhost {

/// The kinds of entity a drawing keeps.
enum class EntityType : std::uint8_t {
    Line,
    LwPolyline,
    Polyline2d,
    Polyline3d,
    Arc,
    Circle,
    Point,
    Text,
    MText,
    Insert,
    Spline,
    Ellipse,
    Solid,
    Trace,
    Face3d,
    Dimension,
    Leader,
    XLine,
    Ray,
    Hatch,
    MLine,
};

/// A LINE: both ends in WCS; the normal (DXF 210) only tilts a thickness, which the host does
/// not draw, but AutoCAD reports it as the line's Normal.
struct LineData {
    Vec3 start;
    Vec3 end;
    Vec3 normal{0.0, 0.0, 1.0};
    friend bool operator==(const LineData&, const LineData&) = default;
};

/// One polyline vertex. For a lightweight or old-style 2D polyline x and y are OCS (z is the
/// vertex's own DXF 30, 0 for a lightweight polyline, which has one elevation); for a 3D
/// polyline the point is WCS. `bulge` describes the segment that starts at this vertex.
struct PolylineVertex {
    Vec3 point;
    double bulge = 0.0;
    friend bool operator==(const PolylineVertex&, const PolylineVertex&) = default;
};

/// Start and end width of the segment that starts at a vertex (DXF 40/41).
struct SegmentWidth {
    double start = 0.0;
    double end = 0.0;
    friend bool operator==(const SegmentWidth&, const SegmentWidth&) = default;
};

/// A polyline of any kind (LWPOLYLINE, or POLYLINE with its VERTEX entities). Its vertices and
/// per-vertex widths live in the drawing's pools (Drawing::vertices, Drawing::widths).
struct PolylineData {
    Vec3 normal{0.0, 0.0, 1.0};
    /// OCS Z of the plane of a 2D polyline (DXF 38 for LWPOLYLINE, 30 for POLYLINE).
    double elevation = 0.0;
    /// DXF 43 (LWPOLYLINE) or 40/41 defaults (POLYLINE); used where no vertex gives widths.
    /// A LEADER keeps the length of its arrowhead here (0: no arrowhead).
    double constantWidth = 0.0;
    std::uint32_t firstVertex = 0;
    std::uint32_t vertexCount = 0;
    /// Index of the first of vertexCount widths, or kNoWidths when no vertex has a width.
    std::uint32_t firstWidth = kNoWidths;
    bool closed = false;

    static constexpr std::uint32_t kNoWidths = 0xFFFFFFFFu;
    friend bool operator==(const PolylineData&, const PolylineData&) = default;
};

/// An ARC (with angles) or a CIRCLE (angles unused): centre in OCS.
struct ArcData {
    Vec3 center;
    Vec3 normal{0.0, 0.0, 1.0};
    double radius = 0.0;
    /// Radians in [0, 2π), from the OCS X axis, counter-clockwise about the normal.
    double startAngle = 0.0;
    double endAngle = 0.0;
    friend bool operator==(const ArcData&, const ArcData&) = default;
};

/// A POINT: position in WCS.
struct PointData {
    Vec3 position;
    Vec3 normal{0.0, 0.0, 1.0};
    friend bool operator==(const PointData&, const PointData&) = default;
};

/// A TEXT or MTEXT. For TEXT `position` is the OCS placement point: the first alignment point
/// (DXF 10) for left-aligned text, the second (DXF 11) when an alignment is set. For MTEXT it is
/// the WCS insertion point (DXF 10). The string is UTF-8 in the drawing's text pool.
struct TextData {
    Vec3 position;
    Vec3 normal{0.0, 0.0, 1.0};
    double height = 0.0;
    /// Radians about the normal from the OCS X axis (MTEXT: from its direction vector, DXF 11,
    /// when given, else DXF 50).
    double rotation = 0.0;
    /// TEXT: relative X scale (DXF 41). MTEXT: reference rectangle width (DXF 41), 0 if none.
    double widthFactor = 1.0;
    /// TEXT aligned (72 = 3) or fitted (72 = 5): the distance between its two alignment points,
    /// along which the text is stretched from `position`. MTEXT: line spacing factor (DXF 44).
    double fitLength = 0.0;
    std::uint32_t textOffset = 0;
    std::uint32_t textLength = 0;
    /// TEXT: oblique angle in radians (DXF 51), positive slanting the glyphs to the right.
    float oblique = 0.0f;
    /// TEXT: horizontal (72) and vertical (73) justification. MTEXT: attachment point (71) in
    /// `horizontal`, 0 in `vertical`.
    std::uint8_t horizontal = 0;
    std::uint8_t vertical = 0;
    /// TEXT: DXF 71 mirror flags, kTextBackward and kTextUpsideDown.
    std::uint8_t mirror = 0;
    friend bool operator==(const TextData&, const TextData&) = default;
};

/// TEXT mirror flags (DXF 71): drawn mirrored in its X direction, or in its Y direction.
inline constexpr std::uint8_t kTextBackward = 2;
inline constexpr std::uint8_t kTextUpsideDown = 4;

/// An INSERT (block reference): insertion point in OCS, scale factors, rotation in radians
/// about the normal, and the index of its block in Drawing::blocks(); its attribute texts
/// (ATTRIB, in the coordinates the reference lives in) in Drawing::attributes(). A DIMENSION
/// keeps the reference to its anonymous block here too (no scale, no rotation) and its kind
/// (DXF 70 & 7) in `dimensionKind`.
struct InsertData {
    Vec3 position;
    Vec3 normal{0.0, 0.0, 1.0};
    Vec3 scale{1.0, 1.0, 1.0};
    double rotation = 0.0;
    std::uint32_t block = 0;
    std::uint32_t firstAttribute = 0;
    std::uint16_t attributeCount = 0;
    std::uint8_t dimensionKind = 0;
    friend bool operator==(const InsertData&, const InsertData&) = default;
};

/// A SPLINE: control points (WCS, with their weights in `bulge`) and fit points (WCS) in the
/// vertex pool, knots in the number pool (Drawing::numbers).
struct SplineData {
    Vec3 normal{0.0, 0.0, 1.0};
    std::uint32_t firstControl = 0;
    std::uint32_t controlCount = 0;
    std::uint32_t firstFit = 0;
    std::uint32_t fitCount = 0;
    std::uint32_t firstKnot = 0;
    std::uint32_t knotCount = 0;
    std::uint8_t degree = 3;
    /// DXF 70: 1 closed, 2 periodic, 4 rational.
    std::uint8_t flags = 0;
    friend bool operator==(const SplineData&, const SplineData&) = default;
};

/// An ELLIPSE or elliptical arc: centre and end of the major axis (relative to the centre) in
/// WCS, minor to major ratio, and start and end parameters in radians (0 and 2π for a whole
/// ellipse), counter-clockwise about the normal.
struct EllipseData {
    Vec3 center;
    Vec3 majorAxis{1.0, 0.0, 0.0};
    Vec3 normal{0.0, 0.0, 1.0};
    double ratio = 1.0;
    double startParameter = 0.0;
    double endParameter = 0.0;
    friend bool operator==(const EllipseData&, const EllipseData&) = default;
};

/// A SOLID or TRACE (filled, corners in OCS in DXF order 1, 2, 4, 3 around) or a 3DFACE
/// (edges, corners in WCS): four corners in the vertex pool from `firstVertex`.
struct FaceData {
    Vec3 normal{0.0, 0.0, 1.0};
    std::uint32_t firstVertex = 0;
    /// 3DFACE: bit i set when edge i (from corner i to the next) is invisible (DXF 70).
    std::uint8_t invisibleEdges = 0;
    friend bool operator==(const FaceData&, const FaceData&) = default;
};

/// A HATCH: its boundary loops as closed OCS polylines (bulged vertices in the vertex pool,
/// the vertex count of each loop in the number pool), and for a pattern fill the pattern
/// lines as the entity gives them, already scaled and rotated, in the number pool as runs of
/// angle (radians), base x, base y, offset x, offset y, dash count, dashes...
struct HatchData {
    Vec3 normal{0.0, 0.0, 1.0};
    double elevation = 0.0;
    std::uint32_t firstVertex = 0;
    std::uint32_t firstLoop = 0;
    std::uint32_t loopCount = 0;
    std::uint32_t firstPattern = 0;
    std::uint32_t patternNumbers = 0;
    bool solid = false;
    friend bool operator==(const HatchData&, const HatchData&) = default;
};

/// An MLINE: its element lines as the entity gives them, `elementCount` WCS points per vertex
/// (vertex i, element j at firstVertex + i × elementCount + j) in the vertex pool, and the
/// handle of its MLINESTYLE (Drawing::findMlineStyle) for the elements' colours, line types and
/// caps.
struct MlineData {
    Vec3 normal{0.0, 0.0, 1.0};
    std::uint64_t style = 0;
    std::uint32_t firstVertex = 0;
    std::uint32_t vertexCount = 0;
    std::uint16_t elementCount = 0;
    /// DXF 71: kMlineClosed, kMlineNoStartCaps, kMlineNoEndCaps.
    std::uint8_t flags = 0;
    friend bool operator==(const MlineData&, const MlineData&) = default;
};

inline constexpr std::uint8_t kMlineClosed = 2;
inline constexpr std::uint8_t kMlineNoStartCaps = 4;
inline constexpr std::uint8_t kMlineNoEndCaps = 8;

// A text must not make every entity larger than a block reference does.
static_assert(sizeof(TextData) <= sizeof(InsertData));

/// Line type indices with a special meaning (others index Drawing::linetypes(); 0 is
/// "Continuous").
inline constexpr std::uint16_t kLinetypeContinuous = 0;
inline constexpr std::uint16_t kLinetypeByBlock = 0xFFFE;
inline constexpr std::uint16_t kLinetypeByLayer = 0xFFFF;

/// ACI colour numbers with a special meaning.
inline constexpr std::int16_t kColorByBlock = 0;
inline constexpr std::int16_t kColorByLayer = 256;

/// The geometry of an entity; which alternative goes with which EntityType: LineData for Line,
/// XLine and Ray (start the base point, end one unit along the direction), PolylineData for
/// the three polylines and Leader (WCS vertices), ArcData for Arc and Circle, PointData for
/// Point, TextData for Text and MText, InsertData for Insert and Dimension, SplineData,
/// EllipseData, FaceData for Solid, Trace and Face3d, HatchData, MlineData.
using EntityData = std::variant<LineData, PolylineData, ArcData, PointData, TextData, InsertData,
                                SplineData, EllipseData, FaceData, HatchData, MlineData>;

/// One entity: its DXF handle, its layer (index into Drawing::layers()), its own ACI colour
/// (kColorByLayer when it has none) and true colour, its line type (DXF 6) and line type scale (DXF
/// 48), and its geometry.
struct Entity {
    std::uint64_t handle = 0;
    std::uint32_t layer = 0;
    std::int16_t color = kColorByLayer;
    EntityType type = EntityType::Line;
    EntityData data;
    std::uint16_t linetype = kLinetypeByLayer;
    /// Its true colour (DXF 420), which overrides `color`: 1 + its index in
    /// Drawing::trueColors(), 0 when it has none.
    std::uint16_t trueColor = 0;
    float linetypeScale = 1.0f;

    const LineData* line() const { return std::get_if<LineData>(&data); }
    const PolylineData* polyline() const { return std::get_if<PolylineData>(&data); }
    const ArcData* arc() const { return std::get_if<ArcData>(&data); }
    const PointData* point() const { return std::get_if<PointData>(&data); }
    const TextData* text() const { return std::get_if<TextData>(&data); }
    const InsertData* insert() const { return std::get_if<InsertData>(&data); }
    const SplineData* spline() const { return std::get_if<SplineData>(&data); }
    const EllipseData* ellipse() const { return std::get_if<EllipseData>(&data); }
    const FaceData* face() const { return std::get_if<FaceData>(&data); }
    const HatchData* hatch() const { return std::get_if<HatchData>(&data); }
    const MlineData* mline() const { return std::get_if<MlineData>(&data); }
    friend bool operator==(const Entity&, const Entity&) = default;
};

} // namespace vexilo::cadhost
