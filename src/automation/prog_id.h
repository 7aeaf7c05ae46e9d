// How a programmatic identifier becomes a well-known name on the D-Bus session bus.
#pragma once

#include <string>
#include <string_view>

namespace vexilo::automation {

/// Prefix of the bus names under which a drawing host registers its identifiers.
inline constexpr std::string_view kProgIdBusPrefix = "org.vexilo.ProgId.";

/// The bus name for a programmatic identifier: kProgIdBusPrefix followed by the identifier,
/// each dot-separated element that begins with a digit getting a leading "_", since bus name
/// elements may not begin with one ("AutoCAD.Application.18" →
/// "org.vexilo.ProgId.AutoCAD.Application._18"). Characters a bus name cannot hold (anything
/// but ASCII letters, digits, "_" and "-") become "_"; an empty element becomes "_".
std::string busNameForProgId(std::string_view progId);

} // namespace vexilo::automation
