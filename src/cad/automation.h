// The CAD program's automation objects as C++ interfaces: registry, application, document,
// utility and entity. Backends (D-Bus, COM, the scripted fake) implement them.
//
// Every member returns its value or the HRESULT-like code of its failure; nothing throws. Points
// are three doubles X, Y, Z in drawing units and, unless a member says otherwise, in the world
// coordinate system (WCS). Angles are radians.
//
// Round trips: a command talks to these objects member by member, the way the CAD's own
// automation model is shaped, and may read the same property more than once (a vertex once per
// coordinate cell, for instance). A backend whose calls are expensive is free to fetch an
// entity's whole data once, when GetEntity hands the entity out, and answer every later
// property read of that proxy from it; likewise a Document proxy should hand out the same
// Utility proxy on every `utility()` read, and that Utility may keep the current user system's
// transformation for the duration of one command. The commands obtain the Utility afresh from
// the document for every request (CadSession::onUtility), so a cached Utility is never held
// past the document that gave it.
#pragma once

#include "automation/codes.h"
#include "common/expected.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexilo::cad {

/// Three doubles: element 0 is X, 1 is Y, 2 is Z, in the coordinate system the member names.
using Point3 = std::array<double, 3>;

template <class T> using CadResult = Expected<T, automation::HResult>;
using CadStatus = Status<automation::HResult>;

/// Coordinate-system codes of TranslateCoordinates.
inline constexpr int kWorldSystem = 0;
/// The drawing's current user coordinate system (UCS).
inline constexpr int kUserSystem = 1;
/// The object (entity) coordinate system given by an entity's normal (OCS).
inline constexpr int kEntitySystem = 4;

/// Application window states for `WindowState`.
inline constexpr int kWindowNormal = 1;
inline constexpr int kWindowMinimised = 2;
inline constexpr int kWindowMaximised = 3;

/// Upper index of a zero-based automation array of doubles: its size less one, so −1 for an
/// empty array. `Coordinates` arrays are always zero-based.
inline std::int32_t upperBound(const std::vector<double>& values) {
    return static_cast<std::int32_t>(values.size()) - 1;
}

/// Start and end width of one polyline segment, drawing units.
struct SegmentWidth {
    double start = 0.0;
    double end = 0.0;
};

/// One drawing entity. Which members answer depends on its kind; a member the kind lacks fails
/// (automation::kUnknownMemberCode from the fake and the drawing host).
class Entity {
public:
    virtual ~Entity() = default;
    /// Class name through the automation model: "AcDbPolyline", "AcDb3dPolyline", "AcDbArc", ...
    virtual CadResult<std::string> objectName() = 0;
    /// Class name through the type library's entity interface; same texts as objectName.
    virtual CadResult<std::string> entityName() = 0;
    /// All vertices one after another, zero-based: X, Y per vertex for "AcDbPolyline" (object
    /// system), X, Y, Z per vertex for "AcDb3dPolyline" (world system).
    virtual CadResult<std::vector<double>> coordinates() = 0;
    /// The vertex with the zero-based index: X, Y for a 2D polyline (object system), X, Y, Z
    /// for a 3D polyline (world system). Fails for an index beyond the last vertex.
    virtual CadResult<std::vector<double>> coordinate(std::int32_t index) = 0;
    /// Elevation of a 2D polyline: its Z in its object system.
    virtual CadResult<double> elevation() = 0;
    /// Normal (extrusion direction) as a unit vector in the world system.
    virtual CadResult<Point3> normal() = 0;
    /// True when the polyline is closed.
    virtual CadResult<bool> closed() = 0;
    /// Widths of segment `segment` (from 0; the segment that begins at vertex `segment`).
    virtual CadResult<SegmentWidth> getWidth(std::int32_t segment) = 0;
    /// Radius of an arc, drawing units.
    virtual CadResult<double> radius() = 0;
    /// Length of an arc along its curve, drawing units.
    virtual CadResult<double> arcLength() = 0;
    /// Centre of an arc, world system.
    virtual CadResult<Point3> center() = 0;
    /// Start point of an arc, world system.
    virtual CadResult<Point3> startPoint() = 0;
    /// End point of an arc, world system.
    virtual CadResult<Point3> endPoint() = 0;
    /// Start angle of an arc in radians, from the object system's X axis, counter-clockwise
    /// about the normal.
    virtual CadResult<double> startAngle() = 0;
    /// End angle of an arc in radians, same convention as startAngle.
    virtual CadResult<double> endAngle() = 0;
};

/// What GetEntity hands back: the entity and the point of the pick (world system).
struct PickedEntity {
    std::shared_ptr<Entity> entity;
    Point3 pickedPoint{};
};

/// The document's object for interactive input at the CAD's command line and for conversions
/// between coordinate systems. Requests that wait for the person fail with automation::kCancelCode
/// on Esc.
class Utility {
public:
    virtual ~Utility() = default;
    /// `GetPoint` with no base point: the picked point in the world system. Esc fails with
    /// automation::kCancelCode; Enter or a right click with no point fails with another code.
    virtual CadResult<Point3> getPoint(std::string_view prompt) = 0;
    /// `GetEntity`: the picked entity and the pick point. Esc fails with automation::kCancelCode; a
    /// pick that hits nothing fails (automation::kNothingPickedCode from the drawing host).
    virtual CadResult<PickedEntity> getEntity(std::string_view prompt) = 0;
    /// `GetString`: the typed text, possibly empty. With `hasSpaces` false a space ends the
    /// input as Enter does. Esc fails with automation::kCancelCode.
    virtual CadResult<std::string> getString(bool hasSpaces, std::string_view prompt) = 0;
    /// `TranslateCoordinates`: `point` converted from system `from` to system `to`
    /// (kWorldSystem, kUserSystem, kEntitySystem, ...). `displacement` true converts a vector
    /// (no origin shift). `normal` is the entity normal needed when either system is
    /// kEntitySystem; the conversion fails without it.
    virtual CadResult<Point3> translateCoordinates(const Point3& point, int from, int to,
                                                   bool displacement,
                                                   const std::optional<Point3>& normal) = 0;
};

/// A drawing open in the CAD program.
class Document {
public:
    virtual ~Document() = default;
    /// `Utility` (read): the document's utility object.
    virtual CadResult<std::shared_ptr<Utility>> utility() = 0;
};

/// The CAD program itself.
class Application {
public:
    virtual ~Application() = default;
    /// `ActiveDocument` (read): the drawing active right now; fails when none is open.
    virtual CadResult<std::shared_ptr<Document>> activeDocument() = 0;
    /// `WindowState` (write): kWindowNormal, kWindowMinimised or kWindowMaximised.
    virtual CadStatus setWindowState(int state) = 0;
};

/// The registry of running automation objects (the running object table on Windows, owned bus
/// names on D-Bus).
class RunningObjectRegistry {
public:
    virtual ~RunningObjectRegistry() = default;
    /// The application registered under the programmatic identifier right now, or a failure
    /// (automation::kNotRunningCode) when none is. Never starts a program.
    virtual CadResult<std::shared_ptr<Application>> bind(std::string_view progId) = 0;
};

} // namespace vexilo::cad
