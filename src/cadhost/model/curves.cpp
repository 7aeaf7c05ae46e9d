// B-spline evaluation (de Boor in homogeneous coordinates), fit-point curves and ellipse arcs.
#include "cadhost/model/curves.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vexilo::cadhost {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr int kMaxDegree = 11;

bool usableKnots(std::span<const double> knots, std::size_t controls, int degree) {
    if (knots.size() != controls + static_cast<std::size_t>(degree) + 1) {
        return false;
    }
    for (std::size_t i = 0; i < knots.size(); ++i) {
        if (!std::isfinite(knots[i]) || (i > 0 && knots[i] < knots[i - 1])) {
            return false;
        }
    }
    return knots[static_cast<std::size_t>(degree)] < knots[controls];
}

struct Homogeneous {
    double x, y, z, w;
};

} // namespace

void splinePoints(int degree, std::span<const Vec3> controls, std::span<const double> weights,
                  std::span<const double> knotsIn, std::vector<Vec3>& out) {
    const std::size_t n = controls.size();
    if (n < 2) {
        return;
    }
    const int p = std::clamp(degree, 1, std::min<int>(kMaxDegree, static_cast<int>(n) - 1));
    std::vector<double> knots(knotsIn.begin(), knotsIn.end());
    if (!usableKnots(knots, n, p)) {
        knots.assign(n + static_cast<std::size_t>(p) + 1, 0.0);
        for (std::size_t i = 0; i < knots.size(); ++i) {
            const std::ptrdiff_t k = static_cast<std::ptrdiff_t>(i) - p;
            knots[i] = static_cast<double>(
                std::clamp<std::ptrdiff_t>(k, 0, static_cast<std::ptrdiff_t>(n) - p));
        }
    }
    const bool rational = weights.size() == n;
    std::vector<Homogeneous> cp(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double w =
            rational && std::isfinite(weights[i]) && weights[i] > 0.0 ? weights[i] : 1.0;
        cp[i] = {controls[i].x * w, controls[i].y * w, controls[i].z * w, w};
    }
    std::size_t spans = 0;
    for (std::size_t k = static_cast<std::size_t>(p); k < n; ++k) {
        spans += knots[k] < knots[k + 1] ? 1 : 0;
    }
    const std::size_t perSpan =
        std::clamp<std::size_t>(kMaxCurvePoints / std::max<std::size_t>(spans, 1), 1, 16);
    Homogeneous d[kMaxDegree + 1];
    const auto evaluate = [&](std::size_t k, double u) {
        // de Boor on span k (knots[k] <= u <= knots[k+1]).
        for (int j = 0; j <= p; ++j) {
            d[j] = cp[k - static_cast<std::size_t>(p) + static_cast<std::size_t>(j)];
        }
        for (int r = 1; r <= p; ++r) {
            for (int j = p; j >= r; --j) {
                const std::size_t i = k - static_cast<std::size_t>(p) + static_cast<std::size_t>(j);
                const double den = knots[i + static_cast<std::size_t>(p) + 1 - r] - knots[i];
                const double a = den > 0.0 ? (u - knots[i]) / den : 0.0;
                d[j] = {d[j - 1].x * (1 - a) + d[j].x * a, d[j - 1].y * (1 - a) + d[j].y * a,
                        d[j - 1].z * (1 - a) + d[j].z * a, d[j - 1].w * (1 - a) + d[j].w * a};
            }
        }
        const Homogeneous& h = d[p];
        return Vec3{h.x / h.w, h.y / h.w, h.z / h.w};
    };
    bool first = true;
    for (std::size_t k = static_cast<std::size_t>(p); k < n; ++k) {
        const double u0 = knots[k];
        const double u1 = knots[k + 1];
        if (!(u0 < u1)) {
            continue;
        }
        for (std::size_t s = first ? 0 : 1; s <= perSpan; ++s) {
            out.push_back(evaluate(k, u0 + (u1 - u0) * static_cast<double>(s) / perSpan));
        }
        first = false;
    }
}

void fitCurvePoints(std::span<const Vec3> fit, bool closed, std::vector<Vec3>& out) {
    const std::size_t n = fit.size();
    if (n < 2) {
        return;
    }
    const std::size_t segments = closed ? n : n - 1;
    const std::size_t steps =
        std::clamp<std::size_t>(kMaxCurvePoints / std::max<std::size_t>(segments, 1), 1, 16);
    const auto at = [&](std::ptrdiff_t i) {
        if (closed) {
            const auto m = static_cast<std::ptrdiff_t>(n);
            return fit[static_cast<std::size_t>(((i % m) + m) % m)];
        }
        if (i < 0) {
            return fit[0] * 2.0 - fit[1];
        }
        if (i >= static_cast<std::ptrdiff_t>(n)) {
            return fit[n - 1] * 2.0 - fit[n - 2];
        }
        return fit[static_cast<std::size_t>(i)];
    };
    out.push_back(fit[0]);
    for (std::size_t s = 0; s < segments; ++s) {
        const auto i = static_cast<std::ptrdiff_t>(s);
        const Vec3 p0 = at(i - 1);
        const Vec3 p1 = at(i);
        const Vec3 p2 = at(i + 1);
        const Vec3 p3 = at(i + 2);
        // Centripetal parameters (alpha 0.5) avoid cusps and loops between close points.
        const auto gap = [](Vec3 a, Vec3 b) { return std::max(std::sqrt(length(b - a)), 1e-12); };
        const double t1 = gap(p0, p1);
        const double t2 = t1 + gap(p1, p2);
        const double t3 = t2 + gap(p2, p3);
        for (std::size_t k = 1; k <= steps; ++k) {
            const double t = t1 + (t2 - t1) * static_cast<double>(k) / steps;
            const Vec3 a1 = p0 * ((t1 - t) / t1) + p1 * (t / t1);
            const Vec3 a2 = p1 * ((t2 - t) / (t2 - t1)) + p2 * ((t - t1) / (t2 - t1));
            const Vec3 a3 = p2 * ((t3 - t) / (t3 - t2)) + p3 * ((t - t2) / (t3 - t2));
            const Vec3 b1 = a1 * ((t2 - t) / t2) + a2 * (t / t2);
            const Vec3 b2 = a2 * ((t3 - t) / (t3 - t1)) + a3 * ((t - t1) / (t3 - t1));
            out.push_back(b1 * ((t2 - t) / (t2 - t1)) + b2 * ((t - t1) / (t2 - t1)));
        }
    }
}

void ellipsePoints(Vec3 center, Vec3 major, Vec3 minor, double start, double end,
                   std::vector<Vec3>& out) {
    double sweep = std::fmod(end - start, kTwoPi);
    if (sweep <= 1e-12) {
        sweep += kTwoPi;
    }
    const int pieces = std::max(4, static_cast<int>(std::ceil(sweep / kTwoPi * 96.0)));
    for (int i = 0; i <= pieces; ++i) {
        const double t = start + sweep * i / pieces;
        out.push_back(center + major * std::cos(t) + minor * std::sin(t));
    }
}

} // namespace vexilo::cadhost
