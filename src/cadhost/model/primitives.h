// What an entity looks like in WCS: segments, arcs, points and texts that a view draws and that
// picking and object snap measure, with block references expanded, plus bounding boxes.
//
// Conventions: every primitive is in WCS. Arcs lie in a plane parallel to the WCS XY plane and
// run counter-clockwise seen from +Z; arcs that a normal or a block transform tilts or stretches
// out of that form are given as short segments instead. Angles are radians from the WCS X
// axis. Text metrics are estimates (0.6 × height per Latin character, 1 × height per CJK one),
// for boxes and picking; the view lays out the real glyphs.
#pragma once

#include "cadhost/host_geometry.h"
#include "cadhost/model/aci_colors.h"
#include "cadhost/model/drawing.h"

#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <variant>

namespace vexilo::cadhost {

/// A straight piece with the polyline widths at its ends (0 for thin lines). A piece of a curve
/// drawn as segments (an arc tilted out of the XY plane) marks which of its ends are the
/// curve's own ends and has no midpoint of its own, so that object snap finds only real points.
struct SegmentPrimitive {
    Vec3 start;
    Vec3 end;
    double startWidth = 0.0;
    double endWidth = 0.0;
    bool startIsEnd = true;
    bool endIsEnd = true;
    bool hasMidpoint = true;
};

/// A circular arc counter-clockwise from startAngle through sweep (radians, in (0, 2π]; 2π is a
/// full circle), centre in WCS, in the plane z = center.z.
struct ArcPrimitive {
    Vec3 center;
    double radius = 0.0;
    double startAngle = 0.0;
    double sweep = 0.0;
    double startWidth = 0.0;
    double endWidth = 0.0;

    /// The point at fraction t (0 start, 1 end) along the arc.
    Vec3 pointAt(double t) const;
};

/// A POINT's position (a node for object snap).
struct PointPrimitive {
    Vec3 position;
};

/// A text: placement point in WCS, height and rotation in the WCS XY plane, its UTF-8 string
/// (lines separated by '\n' for MTEXT), the alignment codes of TextData, and the estimated
/// width and height of its box.
struct TextPrimitive {
    Vec3 position;
    double height = 0.0;
    double rotation = 0.0;
    double widthFactor = 1.0;
    std::string_view text;
    std::uint8_t horizontal = 0;
    std::uint8_t vertical = 0;
    bool multiline = false;
    double boxWidth = 0.0;
    double boxHeight = 0.0;

    /// The four corners of the estimated text box in WCS XY, counter-clockwise from the
    /// lower left of the text.
    std::array<Vec2, 4> corners() const;
};

/// A filled area: closed loops of WCS points one after another (`loopSizes` points each),
/// filled by the even-odd rule so that inner loops are holes. The spans are valid only while
/// the sink that receives it runs.
struct FillPrimitive {
    std::span<const Vec3> points;
    std::span<const std::uint32_t> loopSizes;
};

/// An infinite line (XLINE, both ways) or a half-line (RAY) from `origin` along the unit
/// `direction`; a view clips it to what it shows.
struct RayPrimitive {
    Vec3 origin;
    Vec3 direction;
    bool bothWays = false;
};

/// A point object snap finds on a curve drawn as pieces, which is not drawn itself: the middle
/// (by length) of an open spline or ellipse arc, the centre of an ellipse, or the end of one of
/// its axes (a quadrant) that lies on it. Given only with PrimitiveOptions::snapPoints.
struct SnapPointPrimitive {
    Vec3 position;
    bool center = false;
    bool quadrant = false;
};

using PrimitiveShape = std::variant<SegmentPrimitive, ArcPrimitive, PointPrimitive, TextPrimitive,
                                    FillPrimitive, RayPrimitive, SnapPointPrimitive>;

/// One primitive with the colour and layer it is drawn with (BYLAYER and BYBLOCK resolved; an
/// entity on layer 0 inside a block takes the block reference's layer, as AutoCAD does).
struct Primitive {
    PrimitiveShape shape;
    Rgb color;
    std::int16_t aci = 7;
    std::uint32_t layer = 0;
};

/// Options of primitive generation.
struct PrimitiveOptions {
    /// Also give parts on layers that are off or frozen.
    bool includeHiddenLayers = false;
    /// Stop after this many primitives (a guard against block nesting that multiplies).
    std::size_t limit = 1'000'000;
    /// Block nesting deeper than this is not expanded.
    int maxDepth = 64;
    /// When set, segments of polylines drawn in plan (normal (0,0,1), in WCS) that lie wholly
    /// outside this WCS XY box are left out; a bulged segment is kept while the centre of its
    /// arc is inside. Picking and object snap use it so that a long contour costs only the
    /// segments near the cursor.
    std::optional<Box2> clip;
    /// Give a pattern-filled hatch as the fill of its boundary rather than its pattern lines
    /// (boxes are the boundary's, as AutoCAD measures them).
    bool hatchBoundaries = false;
    /// Break thin lines and arcs into the dashes of their line type (for drawing; picking and
    /// object snap measure the whole lines). The pattern runs on along each entity.
    bool linetypes = false;
    /// Also give the snap points of curves drawn as pieces (SnapPointPrimitive).
    bool snapPoints = false;
};

/// Receives primitives; returning false stops the generation.
using PrimitiveSink = std::function<bool(const Primitive&)>;

/// Gives the primitives of `entity` (a model-space entity of `drawing`, or one of a block
/// with a transform to WCS), expanding block references. Returns false when the sink stopped
/// it or the limit was reached.
bool forEachPrimitive(const Drawing& drawing, const Entity& entity, const PrimitiveSink& sink,
                      const PrimitiveOptions& options = {});

/// The WCS XY box of a primitive (with half its width on each side for wide segments; the
/// origin alone for a ray or an infinite line).
Box2 primitiveBounds(const PrimitiveShape& shape);

/// Bounding boxes of entities, with each block's box computed once.
class BoundsCalculator {
public:
    explicit BoundsCalculator(const Drawing& drawing);
    /// The WCS XY box of a model-space entity (parts on hidden layers included). Empty for a
    /// reference to a block without geometry.
    Box2 entityBounds(const Entity& entity);
    /// The box of every model-space entity together, leaving out boxes that are not finite.
    Box2 extents();

private:
    struct Box3 {
        Vec3 min{1e300, 1e300, 1e300};
        Vec3 max{-1e300, -1e300, -1e300};
        bool isEmpty() const { return min.x > max.x; }
        void add(Vec3 p);
    };
    Box3 localBounds(const Entity& e, const Transform& t, int depth);
    const Box3& blockBounds(std::uint32_t block, int depth);

    const Drawing& m_drawing;
    std::vector<Box3> m_blockBoxes;
    std::vector<std::uint8_t> m_blockState;
};

/// The transform from a block's coordinates to the coordinates the reference lives in: OCS of
/// the reference's normal, insertion point, rotation, scale, minus the block's base point.
Transform insertTransform(const InsertData& insert, const Block& block);

} // namespace vexilo::cadhost
