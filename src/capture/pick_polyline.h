// The polyline picker: every vertex of each picked polyline becomes a row of the coordinate
// table, coded "code-1", "code-2", ... in vertex order.
#pragma once

#include "automation/codes.h"
#include "capture/capture_context.h"

#include <string_view>

namespace vexilo::capture {

/// The entity request; no carriage return in front.
inline constexpr std::string_view kPolylinePrompt = "请选择多段线对象<退出键取消选择>：";
/// The code request, once per polyline: a carriage return, then the request.
inline constexpr std::string_view kPolylineCodePrompt =
    "\r命令：请输入多段线编码<退出键取消输入>：";
/// Shown (title "提示信息") when the picked entity is not a polyline; the command then ends.
inline constexpr std::string_view kNotPolylineMessage = "选择的不是多段线！";

/// Whether a failed entity request is answered by asking again: a pick that hit nothing
/// (automation::kNothingPickedCode) or Enter / a right click with nothing picked
/// (automation::kNoInputCode). Esc (automation::kCancelCode) ends the command; so does every other
/// failure, which comes from the link (no drawing, the CAD gone or busy) and would fail again at
/// once.
bool asksAgainAfter(automation::HResult code);

/// `Command2` "拾取多段线". Attaches (the message and nothing else when no CAD runs), minimises
/// the window, reads the decimal places and the scale, then per polyline: asks for the entity,
/// reads the upper bound of its `Coordinates` (before the kind is tested), accepts
/// "AcDbPolyline" (2 values per vertex) and "AcDb3dPolyline" (3 per vertex) and otherwise
/// shows kNotPolylineMessage and ends, asks for or numbers one code, and appends one row per
/// vertex. Coordinates: world system selected, `Coordinate(v)` as the CAD holds it (object
/// system of a 2D polyline, world system of a 3D one); user system selected, a 2D polyline's
/// vertex at its elevation is converted from its object system (4, with its normal) to the user
/// system (1), and a 3D polyline's vertex, which is in the world system, from 0 to 1. Rows use
/// the recorder's column assignment and formatting. Ends on Esc at either request or an empty
/// code; a full table ends it with cad::kTableFullMessage. The window is restored at every end
/// after the attach.
void Command2_Click(CaptureContext& context);

} // namespace vexilo::capture
