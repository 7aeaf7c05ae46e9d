// Local TranslateCoordinates over the shared geometry.
#include "cad/local_conversion.h"

namespace vexilo::cad {

CadResult<Point3> translateLocally(const Point3& point, int from, int to, bool displacement,
                                   const std::optional<Point3>& normal,
                                   const std::function<CadResult<geometry::Ucs>()>& userSystem) {
    geometry::Ucs ucs;
    if (from == kUserSystem || to == kUserSystem) {
        const auto current = userSystem();
        if (!current) {
            return unexpected(current.error());
        }
        ucs = *current;
    }
    std::optional<geometry::Vec3> ocsNormal;
    if (normal) {
        ocsNormal = geometry::Vec3{(*normal)[0], (*normal)[1], (*normal)[2]};
    }
    const auto result = geometry::translateCoordinates({point[0], point[1], point[2]}, from, to,
                                                       displacement, ucs, ocsNormal);
    if (!result) {
        return unexpected(result.error());
    }
    return Point3{result->x, result->y, result->z};
}

} // namespace vexilo::cad
