// Readers of curves kept in closed form: SPLINE and ELLIPSE.
#include "cadhost/dxf/entity_readers.h"

#include <cmath>

namespace vexilo::cadhost::dxf {

void readSpline(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    SplineData d;
    std::vector<PolylineVertex>& controls = context.vertexScratch();
    controls.clear();
    std::vector<PolylineVertex> fit;
    std::vector<double> knots;
    std::vector<double> weights;
    for (const Tag& tag : tags.all()) {
        switch (tag.code) {
        case 10:
            controls.push_back(PolylineVertex{{tags.numberOf(tag), 0.0, 0.0}, 1.0});
            break;
        case 20:
        case 30:
            if (!controls.empty()) {
                (tag.code == 20 ? controls.back().point.y : controls.back().point.z) =
                    tags.numberOf(tag);
            }
            break;
        case 11:
            fit.push_back(PolylineVertex{{tags.numberOf(tag), 0.0, 0.0}, 0.0});
            break;
        case 21:
        case 31:
            if (!fit.empty()) {
                (tag.code == 21 ? fit.back().point.y : fit.back().point.z) = tags.numberOf(tag);
            }
            break;
        case 40:
            knots.push_back(tags.numberOf(tag));
            break;
        case 41:
            // One weight per control point, in their order (before or after them).
            weights.push_back(tags.numberOf(tag));
            break;
        default:
            break;
        }
    }
    if (weights.size() == controls.size()) {
        for (std::size_t i = 0; i < weights.size(); ++i) {
            controls[i].bulge = weights[i];
        }
    }
    const std::int64_t degree = tags.integer(71, 3);
    d.flags = static_cast<std::uint8_t>(tags.integer(70) & 0x7F);
    c.damaged = c.damaged || tags.damaged || degree < 1 || degree > 25;
    if (!context.acceptable(target, c, "SPLINE", &d.normal)) {
        return;
    }
    if (controls.size() < 2 && fit.size() < 2) {
        context.skip(SkipReason::NoVertices, "SPLINE", c.location);
        return;
    }
    d.degree = static_cast<std::uint8_t>(degree);
    Drawing& drawing = context.drawing();
    d.controlCount = static_cast<std::uint32_t>(controls.size());
    d.firstControl = drawing.appendVertices(controls);
    d.fitCount = static_cast<std::uint32_t>(fit.size());
    d.firstFit = drawing.appendVertices(fit);
    d.knotCount = static_cast<std::uint32_t>(knots.size());
    d.firstKnot = drawing.appendNumbers(knots);
    context.keep(target, c, EntityType::Spline, d);
}

void readEllipse(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    EllipseData d;
    d.center = tags.point(10);
    d.majorAxis = tags.point(11, Vec3{1.0, 0.0, 0.0});
    d.ratio = tags.number(40, 1.0);
    d.startParameter = tags.number(41, 0.0);
    d.endParameter = tags.number(42, 2.0 * std::numbers::pi);
    c.damaged = c.damaged || tags.damaged || !(length(d.majorAxis) > 0.0) || !(d.ratio > 0.0) ||
                d.ratio > 1.0 + 1e-9;
    if (!context.acceptable(target, c, "ELLIPSE", &d.normal)) {
        return;
    }
    context.keep(target, c, EntityType::Ellipse, d);
}

} // namespace vexilo::cadhost::dxf
