// The spatial index of a drawing's model space: which entity lies under the pick box, and which
// object-snap point lies nearest within the aperture.
//
// Conventions: picking and snapping work in the WCS XY plane (the plan view the host shows);
// sizes (pick box, aperture) are half the side of a square, in drawing units, centred on the
// cursor. Entities on layers that are off or frozen are neither picked nor snapped to.
#pragma once

#include "cadhost/model/drawing.h"
#include "cadhost/model/primitives.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace vexilo::cadhost {

/// Object-snap kinds. The order is the precedence between snap points at the same distance.
enum class SnapKind : std::uint8_t {
    Endpoint,
    Node,
    Center,
    Intersection,
    Midpoint,
    Quadrant,
    Perpendicular,
    Nearest,
};

/// A set of snap kinds.
struct SnapModes {
    bool endpoint = true;
    bool node = false;
    bool center = true;
    bool intersection = true;
    bool midpoint = false;
    bool quadrant = false;
    bool perpendicular = false;
    bool nearest = false;

    /// AutoCAD's default running snaps: endpoint, centre, intersection.
    static SnapModes autocadDefault() { return {}; }
    /// Every kind.
    static SnapModes all() { return {true, true, true, true, true, true, true, true}; }
    /// No kind.
    static SnapModes none() { return {false, false, false, false, false, false, false, false}; }
    /// Only kind `k`.
    static SnapModes only(SnapKind k);
    bool has(SnapKind k) const;
    /// Switches kind `k` on or off.
    void set(SnapKind k, bool on);
    bool operator==(const SnapModes&) const = default;
};

/// The entity found by a pick.
struct PickHit {
    /// Index in Drawing::entities().
    std::size_t entity = 0;
    /// Distance from the pick point to the entity's nearest part, in the XY plane.
    double distance = 0.0;
};

/// An object-snap point.
struct SnapHit {
    /// The snap point in WCS, exactly as the geometry gives it (an endpoint is the stored vertex
    /// converted to WCS, not the cursor position).
    Vec3 point;
    SnapKind kind = SnapKind::Endpoint;
    /// Index in Drawing::entities() of the entity the point belongs to (the first of the two for
    /// an intersection).
    std::size_t entity = 0;
};

/// Coordinates (WCS, drawing units) beyond ±this cannot be drawn: the view keeps its geometry
/// as floats relative to the middle of the drawing and rasterizes in pixels. Far beyond any
/// surveyed site, and well inside the float range (about 3.4e38) even as a difference.
inline constexpr double kMaxDrawableCoordinate = 1.0e20;

/// An R-tree over the boxes of a drawing's model-space entities. The drawing must outlive the
/// index and stay unchanged; rebuild the index after changing it.
class SpatialIndex {
public:
    explicit SpatialIndex(const Drawing& drawing);
    ~SpatialIndex();
    SpatialIndex(const SpatialIndex&) = delete;
    SpatialIndex& operator=(const SpatialIndex&) = delete;

    /// The entity nearest to `point` whose geometry passes within `halfSize` of it (the circle
    /// inscribed in the pick box). Ties in distance go to the entity later in draw order (the
    /// one drawn on top). Nothing when no entity is that close.
    std::optional<PickHit> pick(Vec2 point, double halfSize) const;

    /// The snap point of the enabled kinds nearest to `point` inside the aperture square (|dx| and
    /// |dy| at most `aperture`), by Euclidean distance; equal distances (within a millionth of
    /// the aperture) go by SnapKind order. A
    /// centre also counts when its arc or circle passes through the aperture though the centre
    /// lies outside; it then ranks behind every point inside the aperture. Intersections are
    /// those of the segments and arcs passing through the aperture (the first 256 of them).
    /// Quadrants are the points of circles and arcs at 0°, 90°, 180° and 270° from the WCS X
    /// axis and the ends of an ellipse's axes. A perpendicular is the foot on a segment, arc or
    /// ray of the perpendicular from `from` (WCS XY; without it, none is found). The nearest
    /// point on a curve (or a POINT) ranks behind every other kind's point in the aperture, as
    /// it is always nearer than they are.
    std::optional<SnapHit> snap(Vec2 point, double aperture, SnapModes modes,
                                std::optional<Vec2> from = std::nullopt) const;

    /// The box of every entity together (empty for an empty drawing). Entities whose box is not
    /// finite (geometry beyond the double range) or reaches beyond ±kMaxDrawableCoordinate are
    /// not in the index: they are neither shown, picked nor snapped to.
    Box2 extents() const { return m_extents; }
    /// How many entities were left out of the index for their coordinates.
    std::size_t outOfRange() const { return m_outOfRange; }
    /// The box of one entity, by index in Drawing::entities().
    Box2 bounds(std::size_t entity) const;
    std::size_t size() const;

private:
    struct Tree;
    const Drawing& m_drawing;
    std::unique_ptr<Tree> m_tree;
    /// XLINEs and RAYs: no box holds them, so every pick and snap looks at them.
    std::vector<std::uint32_t> m_unbounded;
    Box2 m_extents;
    std::size_t m_outOfRange = 0;
};

/// True when `box` is finite and lies within ±kMaxDrawableCoordinate on both axes.
bool isDrawable(const Box2& box);

/// Distance in the XY plane from a point to a primitive (0 inside a text box; a wide segment
/// counts its width).
double distanceTo(Vec2 point, const PrimitiveShape& shape);

} // namespace vexilo::cadhost
