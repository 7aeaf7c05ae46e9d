// Reading what a person types at the command line: coordinates and keywords.
#pragma once

#include "cadhost/host_geometry.h"

#include <optional>
#include <string>
#include <string_view>

namespace vexilo::cadhost {

/// Typed coordinates "x,y" or "x,y,z" (decimal numbers with '.' as decimal point, blanks
/// around the numbers allowed). z is 0 when only x and y are given. The system they are in is
/// the caller's (the current UCS at a point prompt). Nothing for anything else, including
/// numbers that are not finite.
std::optional<Vec3> parseCoordinates(std::string_view text);

/// `text` without blanks (space, tab, CR, LF) at either end.
std::string_view trimBlanks(std::string_view text);

/// ASCII letters made upper case; other bytes (UTF-8 included) unchanged.
std::string asciiUpper(std::string_view text);

/// True for the typed Esc of scripts, "^C" (either case of C).
bool isCancelLine(std::string_view text);

} // namespace vexilo::cadhost
