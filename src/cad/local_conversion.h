// TranslateCoordinates made on the utility's side of a CAD link, with the same geometry code
// as the drawing host's, so that a backend needs no round trip per conversion.
#pragma once

#include "cad/automation.h"
#include "geometry/coordinate_systems.h"

#include <functional>
#include <optional>

namespace vexilo::cad {

/// The conversion of `point` from system `from` to `to` (0 world, 1 user, 4 object) as the
/// CAD's TranslateCoordinates makes it. `userSystem` is asked for the current UCS only when one
/// of the systems is the user system; its failure is the conversion's. Fails as
/// geometry::translateCoordinates does (the invalid-argument code).
CadResult<Point3> translateLocally(const Point3& point, int from, int to, bool displacement,
                                   const std::optional<Point3>& normal,
                                   const std::function<CadResult<geometry::Ucs>()>& userSystem);

} // namespace vexilo::cad
