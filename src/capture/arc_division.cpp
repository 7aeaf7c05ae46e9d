// The arc operation: the arc's geometry, its length at the command line, and the computation
// a division builds on.
#include "capture/arc_division.h"

#include "cad/number_rules.h"
#include "survey/angles.h"

#include <cmath>
#include <memory>
#include <utility>

namespace vexilo::capture {

using cad::ErrorState;
using cad::PickedEntity;
using cad::Point3;
using cad::Utility;

namespace {

/// One arithmetic statement: target ← the calculation, or, when it divides by zero, overflows
/// or is invalid, the statement is skipped and its target keeps its value.
template <class Calculation>
void arithmeticStep(double& target, ErrorState& errors, Calculation&& calculation) {
    const survey::SurveyResult result =
        survey::checkedArithmetic(std::forward<Calculation>(calculation));
    if (!result) {
        errors.record(result.error() == survey::ArithmeticError::DivisionByZero
                          ? automation::kDivisionByZeroCode
                          : automation::kOverflowCode);
        return;
    }
    target = result.value();
}

void azimuthStep(double& target, double x, double y, ErrorState& errors) {
    const survey::SurveyResult azimuth = survey::fansuanJD(x, y);
    if (!azimuth) {
        errors.record(automation::kDivisionByZeroCode);
        return;
    }
    target = azimuth.value();
}

void roundedStep(double& target, double value, int places, ErrorState& errors) {
    const auto rounded = cad::roundToPlaces(value, places);
    if (!rounded) {
        errors.record(cad::codeOf(rounded.error()));
        return;
    }
    target = rounded.value();
}

} // namespace

std::string pointCountPrompt(double arcLength) {
    std::string prompt(kArcLengthLead);
    prompt += cad::numberToText(cad::roundToPlaces(arcLength, 3).value_or(arcLength));
    prompt += kPointCountRequest;
    return prompt;
}

ArcRun yh(CaptureContext& context) {
    ArcRun run;
    ErrorState errors;
    if (!context.session.Attach(context.window, errors)) {
        return run;
    }
    context.recorder.ReadDecimalPlaces(errors);
    errors.clear();

    std::shared_ptr<cad::Entity> entity;
    PickedEntity picked;
    if (errors.assign(picked, context.session.onUtility([](Utility& utility) {
            return utility.getEntity(kArcPrompt);
        }))) {
        entity = picked.entity;
    }
    if (errors.cancelled()) {
        return run;
    }
    std::string name;
    if (!entity || !errors.assign(name, entity->objectName()) || name != "AcDbArc") {
        context.window.showInformation(kNotArcMessage);
        return run;
    }

    errors.assign(run.radius, entity->radius());
    errors.assign(run.center, entity->center());
    errors.assign(run.startPoint, entity->startPoint());
    errors.assign(run.endPoint, entity->endPoint());
    errors.assign(run.endAngle, entity->endAngle());
    errors.assign(run.startAngle, entity->startAngle());
    errors.assign(run.arcLength, entity->arcLength());

    const std::string prompt = pointCountPrompt(run.arcLength);
    errors.assign(run.answer, context.session.onUtility([&](Utility& utility) {
        return utility.getString(false, prompt);
    }));
    if (errors.cancelled()) {
        return run;
    }
    if (run.answer.empty()) {
        return run;
    }

    const bool userSystem = context.options.userSystemSelected();
    if (userSystem) {
        for (std::optional<Point3>* point : {&run.center, &run.startPoint, &run.endPoint}) {
            if (!point->has_value()) {
                errors.record(automation::kObjectNotSetCode);
                continue;
            }
            Point3 user{};
            if (errors.assign(user, context.session.onUtility([&](Utility& utility) {
                    return utility.translateCoordinates(**point, cad::kWorldSystem,
                                                        cad::kUserSystem, false, std::nullopt);
                }))) {
                (**point)[0] = user[0];
                (**point)[1] = user[1];
            }
        }
    }

    arithmeticStep(run.startDegrees, errors, [&] { return run.startAngle * 180.0 / kArcPi; });
    arithmeticStep(run.endDegrees, errors, [&] { return run.endAngle * 180.0 / kArcPi; });
    if (run.center && (userSystem ? run.endPoint : run.startPoint)) {
        const Point3& center = *run.center;
        if (userSystem) {
            const Point3& end = *run.endPoint;
            azimuthStep(run.azimuth, end[1] - center[1], end[0] - center[0], errors);
            arithmeticStep(run.theta, errors,
                           [&] { return run.azimuth * kArcPi / 180.0 + kArcStep / run.radius; });
        } else {
            const Point3& start = *run.startPoint;
            azimuthStep(run.azimuth, center[1] - start[1], center[0] - start[0], errors);
            arithmeticStep(run.theta, errors, [&] { return run.azimuth * kArcPi / 180.0; });
        }
    } else {
        errors.record(automation::kObjectNotSetCode);
    }
    if (run.center) {
        const Point3& center = *run.center;
        double north = run.north;
        double east = run.east;
        arithmeticStep(north, errors, [&] { return center[1] + run.radius * std::cos(run.theta); });
        arithmeticStep(east, errors, [&] { return center[0] + run.radius * std::sin(run.theta); });
        const int places = context.recorder.decimalPlaces();
        roundedStep(run.north, north, places, errors);
        roundedStep(run.east, east, places, errors);
    } else {
        errors.record(automation::kObjectNotSetCode);
    }
    run.answered = true;
    return run;
}

} // namespace vexilo::capture
