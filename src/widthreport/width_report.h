// The polyline width report `Example_GetWidth`: the start and end width of every segment of a
// picked lightweight polyline, one message box per segment.
#pragma once

#include "cad/cad_session.h"
#include "cad/ports.h"

#include <optional>
#include <string>
#include <string_view>

namespace vexilo::widthreport {

/// The entity request.
inline constexpr std::string_view kSelectPolylinePrompt = "Select a polyline";
/// Shown with no icon and no title of its own when no lightweight polyline was picked.
inline constexpr std::string_view kNoPolylineMessage = "You did not select a polyline";
/// Title of each segment's box.
inline constexpr std::string_view kWidthTitle = "GetWidth Example";
/// Stands in for a number the CAD did not deliver (a width GetWidth could not give, a vertex
/// coordinate missing from the array).
inline constexpr std::string_view kUnknownValue = "unknown";

/// The text of one segment's box: "The segment that begins at X,Y has a start width of S and an
/// end width of E", numbers in the general form (cad::numberToText), absent ones as
/// kUnknownValue.
std::string segmentText(std::optional<double> x, std::optional<double> y,
                        std::optional<double> startWidth, std::optional<double> endWidth);

/// `Example_GetWidth`. Works on the drawing `ThisDrawing` returns and never attaches. Asks for
/// an entity with kSelectPolylinePrompt; when there is no drawing, the pick fails or the
/// entity's `EntityName` is not "AcDbPolyline", shows kNoPolylineMessage (window.showPlain with
/// an empty title) and ends. Otherwise: vertex count (U − L) \ 2 + 1 from the bounds of
/// `Coordinates` (none when it cannot be read or is empty), segment count the vertex count when
/// `Closed` is true, one less otherwise (a `Closed` that cannot be read counts as open); for
/// segment s from 0, GetWidth(s) and then a box titled kWidthTitle with segmentText of vertex s
/// and its widths. A segment whose widths are not delivered is still shown, with kUnknownValue
/// for both widths: never the widths of another segment.
void Example_GetWidth(cad::CadSession& session, cad::WindowPort& window);

} // namespace vexilo::widthreport
