// The point picker: points picked one after another in the drawing, each with a code, become
// rows of the coordinate table.
#pragma once

#include "capture/capture_context.h"

#include <string_view>

namespace vexilo::capture {

/// The point request; it ends in one blank and has no carriage return in front.
inline constexpr std::string_view kPointPrompt = "请选择点：<退出键取消选择> ";

/// `Command1` "拾取点" (also the window's public operation `Command1_Click`). Attaches (the
/// message and nothing else when no CAD runs), minimises the window, reads the decimal places
/// and the scale, then per point: asks for the point (world system), translates it into the
/// user system, asks for or numbers its code and appends its row. Ends on Esc at either
/// request, on a point request that returns no point, or on an empty code, and then restores
/// the window. A full table ends the run with cad::kTableFullMessage instead of dropping the
/// point. Shows nothing else and never fails.
void Command1_Click(CaptureContext& context);

} // namespace vexilo::capture
