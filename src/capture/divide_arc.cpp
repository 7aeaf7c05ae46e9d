// 圆弧等分: the division of an arc and the command that records it.
#include "capture/divide_arc.h"

#include "capture/arc_division.h"
#include "capture/pick_polyline.h"

#include <charconv>
#include <cmath>
#include <memory>
#include <string>

namespace vexilo::capture {

using cad::ErrorState;
using cad::PickedEntity;
using cad::Point3;
using cad::Utility;

namespace {

constexpr double kTwoPi = 6.283185307179586;

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

Point3 cross(const Point3& a, const Point3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double dot(const Point3& a, const Point3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

/// The start point turned by `angle` about the normal through the centre (Rodrigues).
Point3 turned(const ArcGeometry& arc, double angle) {
    const Point3 v{arc.startPoint[0] - arc.center[0], arc.startPoint[1] - arc.center[1],
                   arc.startPoint[2] - arc.center[2]};
    const Point3 across = cross(arc.normal, v);
    const double along = dot(arc.normal, v) * (1.0 - std::cos(angle));
    Point3 point{};
    for (std::size_t i = 0; i < 3; ++i) {
        point[i] = arc.center[i] + v[i] * std::cos(angle) + across[i] * std::sin(angle) +
                   arc.normal[i] * along;
    }
    return point;
}

/// Reads one member as a step; false when it fails.
template <class T, class Read> bool readMember(T& target, ErrorState& errors, Read&& read) {
    return errors.assign(target, read());
}

} // namespace

std::optional<Division> parseDivision(std::string_view answer) {
    std::string_view text = trimmed(answer);
    const bool spacing = !text.empty() && text.front() == '@';
    if (spacing) {
        text = trimmed(text.substr(1));
    }
    if (text.empty()) {
        return std::nullopt;
    }
    const char* end = text.data() + text.size();
    if (spacing) {
        double d = 0.0;
        const auto [stop, error] = std::from_chars(text.data(), end, d);
        if (error != std::errc() || stop != end || !std::isfinite(d) || d <= 0.0) {
            return std::nullopt;
        }
        return Division{0, d};
    }
    int parts = 0;
    const auto [stop, error] = std::from_chars(text.data(), end, parts);
    if (error != std::errc() || stop != end || parts < 1) {
        return std::nullopt;
    }
    return Division{parts, 0.0};
}

std::optional<std::vector<Point3>> arcDivisionPoints(const ArcGeometry& arc,
                                                     const Division& division, std::size_t limit) {
    std::vector<Point3> points;
    if (division.parts > 0) {
        if (static_cast<std::size_t>(division.parts) + 1 > limit) {
            return std::nullopt;
        }
        for (int k = 0; k <= division.parts; ++k) {
            points.push_back(turned(arc, arc.sweep * k / division.parts));
        }
        return points;
    }
    const double length = arc.radius * arc.sweep;
    const double steps = std::floor(length / division.spacing);
    if (!(steps + 2.0 <= static_cast<double>(limit))) {
        return std::nullopt;
    }
    for (double k = 0.0; k <= steps; k += 1.0) {
        const double distance = k * division.spacing;
        if (k > 0.0 && length - distance <= division.spacing * 1e-6) {
            break;
        }
        points.push_back(turned(arc, distance / arc.radius));
    }
    points.push_back(turned(arc, arc.sweep));
    return points;
}

void divideArc(CaptureContext& context) {
    ErrorState errors;
    if (!startPicking(context, errors)) {
        return;
    }
    std::string pointCode;
    const auto run = [&]() {
        std::shared_ptr<cad::Entity> entity;
        for (;;) {
            errors.clear();
            PickedEntity picked;
            if (errors.assign(picked, context.session.onUtility([](Utility& utility) {
                    return utility.getEntity(kArcPrompt);
                }))) {
                entity = picked.entity;
                break;
            }
            if (errors.cancelled() || !asksAgainAfter(errors.lastCode())) {
                return;
            }
        }
        std::string name;
        if (!entity || !errors.assign(name, entity->objectName()) || name != "AcDbArc") {
            context.window.showInformation(kNotArcMessage);
            return;
        }
        ArcGeometry arc;
        double startAngle = 0.0;
        double endAngle = 0.0;
        double arcLength = 0.0;
        if (!readMember(arc.center, errors, [&] { return entity->center(); }) ||
            !readMember(arc.radius, errors, [&] { return entity->radius(); }) ||
            !readMember(arc.startPoint, errors, [&] { return entity->startPoint(); }) ||
            !readMember(startAngle, errors, [&] { return entity->startAngle(); }) ||
            !readMember(endAngle, errors, [&] { return entity->endAngle(); }) ||
            !readMember(arc.normal, errors, [&] { return entity->normal(); }) ||
            !readMember(arcLength, errors, [&] { return entity->arcLength(); }) ||
            !(arc.radius > 0.0)) {
            context.window.showInformation(kArcUnreadableMessage);
            return;
        }
        arc.sweep = std::fmod(endAngle - startAngle, kTwoPi);
        if (arc.sweep <= 0.0) {
            arc.sweep += kTwoPi;
        }

        std::string answer;
        const std::string prompt = pointCountPrompt(arcLength);
        if (!errors.assign(answer, context.session.onUtility([&](Utility& utility) {
                return utility.getString(false, prompt);
            })) ||
            answer.empty()) {
            return;
        }
        const std::optional<Division> division = parseDivision(answer);
        if (!division) {
            context.window.showInformation(kBadDivisionMessage);
            return;
        }
        const std::optional<std::vector<Point3>> points =
            arcDivisionPoints(arc, *division, cad::CoordinateTable::kMaxRowCount);
        if (!points) {
            context.window.showInformation(cad::kTableFullMessage);
            return;
        }

        context.recorder.NextCode(pointCode, kArcCodePrompt, errors);
        if (errors.cancelled() || pointCode.empty()) {
            return;
        }
        int number = 0;
        for (const Point3& world : *points) {
            if (context.recorder.StartRow() == cad::RowOutcome::TableFull) {
                context.window.showInformation(cad::kTableFullMessage);
                return;
            }
            ++number;
            context.recorder.WriteCell(0, std::to_string(context.recorder.rowIndex()), errors);
            context.recorder.WriteCell(1, pointCode + "-" + std::to_string(number), errors);
            std::optional<Point3> point = world;
            if (context.options.userSystemSelected()) {
                point.reset();
                errors.assign(point, context.session.onUtility([&](Utility& utility) {
                    return utility.translateCoordinates(world, cad::kWorldSystem, cad::kUserSystem,
                                                        false, std::nullopt);
                }));
            }
            if (point) {
                context.recorder.WriteCoordinateCells((*point)[0], (*point)[1], errors,
                                                      (*point)[2]);
            } else {
                context.recorder.WriteCoordinateCells(std::nullopt, std::nullopt, errors);
            }
        }
    };
    run();
    context.window.restore();
}

} // namespace vexilo::capture
