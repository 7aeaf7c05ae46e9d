// The point picker's loop.
#include "capture/pick_points.h"

#include <optional>
#include <string>

namespace vexilo::capture {

using cad::ErrorState;
using cad::Point3;
using cad::Utility;

void Command1_Click(CaptureContext& context) {
    std::string pointCode;
    ErrorState errors;
    if (!startPicking(context, errors)) {
        return;
    }

    for (;;) {
        errors.clear();
        std::optional<Point3> worldPoint;
        // Fresh for every point: a failed conversion leaves the row's coordinates empty rather
        // than repeating the previous point's.
        std::optional<Point3> userPoint;
        errors.assign(worldPoint, context.session.onUtility([](Utility& utility) {
            return utility.getPoint(kPointPrompt);
        }));
        if (errors.cancelled()) {
            break;
        }
        if (!worldPoint) {
            break;
        }
        context.recorder.ToUserSystem(*worldPoint, userPoint, errors);
        context.recorder.NextCode(pointCode, cad::kPointCodePrompt, errors);
        // The CAD gone after answering the point: the code and the conversion are not this
        // point's, so no row is made, as when the point request itself fails.
        if (errors.cancelled() || linkLost(errors.lastCode())) {
            break;
        }
        if (pointCode.empty()) {
            break;
        }
        if (context.recorder.AppendPointRow(*worldPoint, userPoint, pointCode, errors) ==
            cad::RowOutcome::TableFull) {
            context.window.showInformation(cad::kTableFullMessage);
            break;
        }
    }
    context.window.restore();
}

} // namespace vexilo::capture
