// The window's Song typeface (SimSun) with fallbacks that render Chinese where it is missing.
#pragma once

#include <QFont>

namespace vexilo::app {

/// SimSun ("宋体") at the given point size, falling back to the CJK fonts a Linux desktop
/// carries (Noto Sans CJK SC, WenQuanYi), so that no Chinese text is drawn as empty boxes.
/// Point sizes are typographic points; Qt maps them to device-independent pixels.
QFont songFont(double pointSize);

} // namespace vexilo::app
