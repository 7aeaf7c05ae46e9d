// The polyline picker's loop and the conversion of each vertex.
#include "capture/pick_polyline.h"

#include "cad/number_rules.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vexilo::capture {

using cad::CadResult;
using cad::Entity;
using cad::ErrorState;
using cad::PickedEntity;
using cad::Point3;
using cad::Utility;

namespace {

enum class PolylineKind { Flat, ThreeD };

/// One element of a vertex read afresh, as one step: absent when the read fails or the vertex
/// has no such element.
std::optional<double> vertexElement(Entity& entity, std::int32_t vertex, std::size_t element,
                                    ErrorState& errors) {
    std::vector<double> values;
    if (!errors.assign(values, entity.coordinate(vertex))) {
        return std::nullopt;
    }
    if (values.size() <= element) {
        errors.record(automation::kBadIndexCode);
        return std::nullopt;
    }
    return values[element];
}

/// What the command keeps from vertex to vertex and from polyline to polyline while converting
/// 2D polylines from their object system: each read that fails leaves its value as it was.
struct ObjectConversion {
    Point3 objectPoint{0.0, 0.0, 0.0};
    std::optional<Point3> normal;
    std::optional<Point3> converted;
};

/// `ObjectToUserSystem` for vertex v of a 2D polyline: X, Y from `Coordinate(v)`, Z from
/// `Elevation`, the entity's `Normal`, then TranslateCoordinates from 4 to 1. Each of the five
/// steps is skipped on failure.
void ObjectToUserSystem(CaptureContext& context, Entity& entity, std::int32_t v,
                        ObjectConversion& state, ErrorState& errors) {
    if (const auto x = vertexElement(entity, v, 0, errors)) {
        state.objectPoint[0] = *x;
    }
    if (const auto y = vertexElement(entity, v, 1, errors)) {
        state.objectPoint[1] = *y;
    }
    errors.assign(state.objectPoint[2], entity.elevation());
    errors.assign(state.normal, entity.normal());
    errors.assign(state.converted, context.session.onUtility([&](Utility& utility) {
        return utility.translateCoordinates(state.objectPoint, cad::kEntitySystem, cad::kUserSystem,
                                            false, state.normal);
    }));
}

/// A 3D polyline's vertex v, which the CAD gives in the world system, in the user system; absent
/// when the vertex cannot be read or converted, so that no other vertex's values stand in.
std::optional<Point3> worldVertexToUserSystem(CaptureContext& context, Entity& entity,
                                              std::int32_t v, ErrorState& errors) {
    std::vector<double> values;
    if (!errors.assign(values, entity.coordinate(v))) {
        return std::nullopt;
    }
    if (values.size() < 3) {
        errors.record(automation::kBadIndexCode);
        return std::nullopt;
    }
    std::optional<Point3> converted;
    errors.assign(converted, context.session.onUtility([&](Utility& utility) {
        return utility.translateCoordinates({values[0], values[1], values[2]}, cad::kWorldSystem,
                                            cad::kUserSystem, false, std::nullopt);
    }));
    return converted;
}

/// Vertex count from the upper bound of `Coordinates`: (upper bound + 1) ÷ values per vertex,
/// in doubles, rounded half to even into 32 bits; a failure leaves the count as it was.
void countVertices(std::int32_t upper, double valuesPerVertex, std::int32_t& vertexCount,
                   ErrorState& errors) {
    const auto count = cad::toInt32((static_cast<double>(upper) + 1.0) / valuesPerVertex);
    if (!count) {
        errors.record(cad::codeOf(count.error()));
        return;
    }
    vertexCount = count.value();
}

} // namespace

bool asksAgainAfter(automation::HResult code) {
    return code == automation::kNothingPickedCode || code == automation::kNoInputCode;
}

void Command2_Click(CaptureContext& context) {
    std::string pointCode;
    ErrorState errors;
    if (!startPicking(context, errors)) {
        return;
    }

    std::shared_ptr<Entity> entity;
    std::int32_t upper = 0;
    std::int32_t vertexCount = 0;
    ObjectConversion conversion;

    for (;;) {
        errors.clear();
        PickedEntity picked;
        if (!errors.assign(picked, context.session.onUtility([](Utility& utility) {
                return utility.getEntity(kPolylinePrompt);
            }))) {
            if (errors.cancelled() || !asksAgainAfter(errors.lastCode())) {
                break;
            }
            continue;
        }
        if (!picked.entity) {
            break;
        }
        entity = picked.entity;

        std::vector<double> coordinates;
        if (errors.assign(coordinates, entity->coordinates())) {
            upper = cad::upperBound(coordinates);
        }

        // A type name that cannot be read is taken for a 2D polyline; its vertices then fail to
        // read one by one and leave their cells empty.
        std::string name;
        const bool named = errors.assign(name, entity->objectName());
        PolylineKind kind = PolylineKind::Flat;
        if (!named || name == "AcDbPolyline") {
            countVertices(upper, 2.0, vertexCount, errors);
        } else if (name == "AcDb3dPolyline") {
            kind = PolylineKind::ThreeD;
            countVertices(upper, 3.0, vertexCount, errors);
        } else {
            context.window.showInformation(kNotPolylineMessage);
            break;
        }

        context.recorder.NextCode(pointCode, kPolylineCodePrompt, errors);
        if (errors.cancelled()) {
            break;
        }
        if (pointCode.empty()) {
            break;
        }

        bool full = false;
        std::int32_t vertexNumber = 0;
        for (std::int32_t v = 0; v < vertexCount; ++v) {
            if (context.recorder.StartRow() == cad::RowOutcome::TableFull) {
                context.window.showInformation(cad::kTableFullMessage);
                full = true;
                break;
            }
            ++vertexNumber;
            context.recorder.WriteCell(0, std::to_string(context.recorder.rowIndex()), errors);
            context.recorder.WriteCell(1, pointCode + "-" + std::to_string(vertexNumber), errors);

            std::optional<double> a;
            std::optional<double> b;
            if (!context.options.userSystemSelected()) {
                a = vertexElement(*entity, v, 0, errors);
                b = vertexElement(*entity, v, 1, errors);
            } else if (kind == PolylineKind::ThreeD) {
                if (const auto user = worldVertexToUserSystem(context, *entity, v, errors)) {
                    a = (*user)[0];
                    b = (*user)[1];
                }
            } else {
                ObjectToUserSystem(context, *entity, v, conversion, errors);
                if (conversion.converted) {
                    a = (*conversion.converted)[0];
                    b = (*conversion.converted)[1];
                }
            }
            context.recorder.WriteCoordinateCells(a, b, errors);
        }
        if (full) {
            break;
        }
    }
    context.window.restore();
}

} // namespace vexilo::capture
