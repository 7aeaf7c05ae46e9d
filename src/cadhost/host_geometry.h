// The shared geometry (vectors, coordinate systems, bulges, block transforms), spoken
// unqualified throughout vexilo-cad.
#pragma once

#include "geometry/bulge.h"
#include "geometry/coordinate_systems.h"
#include "geometry/transform.h"
#include "geometry/vec3.h"

namespace vexilo::cadhost {

using namespace vexilo::geometry;

} // namespace vexilo::cadhost
