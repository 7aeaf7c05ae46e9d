// The polyline width report.
#include "widthreport/width_report.h"

#include "cad/error_state.h"
#include "cad/number_rules.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vexilo::widthreport {

using cad::ErrorState;

namespace {

std::string numberOrUnknown(std::optional<double> value) {
    return value ? cad::numberToText(*value) : std::string(kUnknownValue);
}

std::optional<double> element(const std::vector<double>& values, std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= values.size()) {
        return std::nullopt;
    }
    return values[static_cast<std::size_t>(index)];
}

} // namespace

std::string segmentText(std::optional<double> x, std::optional<double> y,
                        std::optional<double> startWidth, std::optional<double> endWidth) {
    return "The segment that begins at " + numberOrUnknown(x) + "," + numberOrUnknown(y) +
           " has a start width of " + numberOrUnknown(startWidth) + " and an end width of " +
           numberOrUnknown(endWidth);
}

void Example_GetWidth(cad::CadSession& session, cad::WindowPort& window) {
    ErrorState errors;
    std::shared_ptr<cad::Document> drawing;
    errors.assign(drawing, session.ThisDrawing());

    std::shared_ptr<cad::Entity> entity;
    if (drawing) {
        std::shared_ptr<cad::Utility> utility;
        cad::PickedEntity picked;
        if (errors.assign(utility, drawing->utility()) && utility &&
            errors.assign(picked, utility->getEntity(kSelectPolylinePrompt))) {
            entity = picked.entity;
        }
    }
    std::string name;
    if (!entity || !errors.assign(name, entity->entityName()) || name != "AcDbPolyline") {
        window.showPlain("", kNoPolylineMessage);
        return;
    }

    std::vector<double> coordinates;
    std::int32_t vertexCount = 0;
    if (errors.assign(coordinates, entity->coordinates()) && !coordinates.empty()) {
        const std::int32_t lower = 0;
        vertexCount = (cad::upperBound(coordinates) - lower) / 2 + 1;
    }
    bool closed = false;
    errors.assign(closed, entity->closed());
    std::int32_t segments = closed ? vertexCount : vertexCount - 1;

    std::int32_t segment = 0;
    std::int32_t coordinate = 0;
    while (segments > 0) {
        std::optional<cad::SegmentWidth> width;
        errors.assign(width, entity->getWidth(segment));
        window.showPlain(kWidthTitle,
                         segmentText(element(coordinates, coordinate),
                                     element(coordinates, coordinate + 1),
                                     width ? std::optional<double>(width->start) : std::nullopt,
                                     width ? std::optional<double>(width->end) : std::nullopt));
        coordinate += 2;
        ++segment;
        --segments;
    }
}

} // namespace vexilo::widthreport
