// The arbitrary axis algorithm and the conversions between world, user and object systems.
#include "geometry/coordinate_systems.h"

#include <cmath>

namespace vexilo::geometry {

namespace {

constexpr double kArbitraryAxisLimit = 1.0 / 64.0;
constexpr Vec3 kWorldZ{0.0, 0.0, 1.0};

bool usableNormal(Vec3 n) {
    return isFinite(n) && length(n) > 0.0;
}

} // namespace

OcsAxes arbitraryAxis(Vec3 normal) {
    if (!usableNormal(normal) || normal == kWorldZ) {
        return {};
    }
    const Vec3 n = normalized(normal);
    const Vec3 ax = std::fabs(n.x) < kArbitraryAxisLimit && std::fabs(n.y) < kArbitraryAxisLimit
                        ? normalized(cross(Vec3{0.0, 1.0, 0.0}, n))
                        : normalized(cross(kWorldZ, n));
    const Vec3 ay = normalized(cross(n, ax));
    return {ax, ay, n};
}

Vec3 ocsToWcs(Vec3 point, Vec3 normal) {
    if (normal == kWorldZ) {
        return point;
    }
    const OcsAxes a = arbitraryAxis(normal);
    return a.x * point.x + a.y * point.y + a.z * point.z;
}

Vec3 wcsToOcs(Vec3 point, Vec3 normal) {
    if (normal == kWorldZ) {
        return point;
    }
    const OcsAxes a = arbitraryAxis(normal);
    return {dot(point, a.x), dot(point, a.y), dot(point, a.z)};
}

bool Ucs::isWorld() const {
    return origin == Vec3{} && xAxis == Vec3{1.0, 0.0, 0.0} && yAxis == Vec3{0.0, 1.0, 0.0};
}

std::optional<Ucs> Ucs::fromAxes(Vec3 origin, Vec3 xDirection, Vec3 yDirection) {
    if (!isFinite(origin) || !usableNormal(xDirection) || !usableNormal(yDirection)) {
        return std::nullopt;
    }
    const Vec3 x = normalized(xDirection);
    const Vec3 z = cross(x, normalized(yDirection));
    if (length(z) < 1e-12) {
        return std::nullopt;
    }
    const Vec3 y = normalized(cross(normalized(z), x));
    return Ucs{origin, x, y};
}

Vec3 wcsToUcs(Vec3 point, const Ucs& ucs, bool displacement) {
    if (ucs.isWorld()) {
        return point;
    }
    const Vec3 d = displacement ? point : point - ucs.origin;
    return {dot(d, ucs.xAxis), dot(d, ucs.yAxis), dot(d, ucs.zAxis())};
}

Vec3 ucsToWcs(Vec3 point, const Ucs& ucs, bool displacement) {
    if (ucs.isWorld()) {
        return point;
    }
    const Vec3 v = ucs.xAxis * point.x + ucs.yAxis * point.y + ucs.zAxis() * point.z;
    return displacement ? v : ucs.origin + v;
}

Expected<Vec3, automation::HResult> translateCoordinates(Vec3 point, int from, int to,
                                                         bool displacement, const Ucs& ucs,
                                                         std::optional<Vec3> ocsNormal) {
    const auto invalid = vexilo::unexpected(automation::kInvalidArgumentCode);
    const auto known = [](int code) {
        return code == static_cast<int>(CoordinateSystem::World) ||
               code == static_cast<int>(CoordinateSystem::User) ||
               code == static_cast<int>(CoordinateSystem::Object);
    };
    if (!known(from) || !known(to) || !isFinite(point)) {
        return invalid;
    }
    constexpr int kObject = static_cast<int>(CoordinateSystem::Object);
    if (from == kObject && to == kObject) {
        return invalid;
    }
    if ((from == kObject || to == kObject) && (!ocsNormal || !usableNormal(*ocsNormal))) {
        return invalid;
    }
    if (from == to) {
        return point;
    }
    Vec3 world = point;
    if (from == static_cast<int>(CoordinateSystem::User)) {
        world = ucsToWcs(point, ucs, displacement);
    } else if (from == kObject) {
        world = ocsToWcs(point, *ocsNormal);
    }
    if (to == static_cast<int>(CoordinateSystem::User)) {
        return wcsToUcs(world, ucs, displacement);
    }
    if (to == kObject) {
        return wcsToOcs(world, *ocsNormal);
    }
    return world;
}

} // namespace vexilo::geometry
