// Affine transforms of 3D points, for expanding block references into their WCS geometry.
#pragma once

#include "geometry/vec3.h"

#include <array>

namespace vexilo::geometry {

/// An affine map p ↦ M·p + t of 3D space (row-major 3×3 part, then translation).
struct Transform {
    std::array<double, 9> m{1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    Vec3 t{};

    /// The image of a point.
    Vec3 apply(Vec3 p) const {
        return {m[0] * p.x + m[1] * p.y + m[2] * p.z + t.x,
                m[3] * p.x + m[4] * p.y + m[5] * p.z + t.y,
                m[6] * p.x + m[7] * p.y + m[8] * p.z + t.z};
    }
    /// The image of a vector (no translation).
    Vec3 applyVector(Vec3 v) const {
        return {m[0] * v.x + m[1] * v.y + m[2] * v.z, m[3] * v.x + m[4] * v.y + m[5] * v.z,
                m[6] * v.x + m[7] * v.y + m[8] * v.z};
    }
    /// This transform applied after `inner`: (this ∘ inner)(p) = this(inner(p)).
    Transform after(const Transform& inner) const {
        Transform r;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                r.m[i * 3 + j] = m[i * 3] * inner.m[j] + m[i * 3 + 1] * inner.m[3 + j] +
                                 m[i * 3 + 2] * inner.m[6 + j];
            }
        }
        r.t = apply(inner.t);
        return r;
    }
    /// True for the identity map.
    bool isIdentity() const { return *this == Transform{}; }
    friend bool operator==(const Transform&, const Transform&) = default;
};

} // namespace vexilo::geometry
