// Object snap settings as people type and read them: the running snaps with their aperture,
// the mode names of OSNAP's prompt, the one-time overrides typed at a point prompt and the
// status bar's text.
#pragma once

#include "cadhost/index/spatial_index.h"

#include <optional>
#include <string>
#include <string_view>

namespace vexilo::cadhost {

/// The running object snaps: the chosen kinds, whether they apply (F3 switches them) and the
/// aperture.
struct SnapSettings {
    /// AutoCAD's range of the aperture (its APERTURE variable), half the side in pixels.
    static constexpr int kMinAperturePixels = 1;
    static constexpr int kMaxAperturePixels = 50;

    SnapModes modes = SnapModes::autocadDefault();
    bool enabled = true;
    /// Half the side of the aperture square, in pixels (AutoCAD's default 10).
    int aperturePixels = 10;

    bool operator==(const SnapSettings&) const = default;
};

/// A list of modes as typed at OSNAP's prompt: names separated by commas or blanks, or OFF
/// (also NONE, NON) for running snaps off.
struct SnapModeList {
    SnapModes modes = SnapModes::none();
    bool off = false;
};

/// Reads an OSNAP list; each name may be cut to three letters or more (END, ENDP, ENDPOINT),
/// any case. Nothing for an empty list, an unknown name or OFF together with modes.
std::optional<SnapModeList> parseSnapModeList(std::string_view text);

/// The short names of the chosen modes in OSNAP's order ("END", "MID", "CEN", "NOD", "QUA",
/// "INT", "PER", "NEA") joined by `separator`, or "NONE".
std::string snapModeNames(const SnapModes& modes, std::string_view separator);

/// A one-time object snap typed at a point prompt: the kind the next pick snaps to, or none
/// (NON) for the bare cursor.
struct SnapOverride {
    std::optional<SnapKind> kind;
};

/// Reads a word typed at a point prompt as a one-time snap: a mode name of three letters or
/// more, or NON/NONE. Nothing for anything else.
std::optional<SnapOverride> parseSnapOverride(std::string_view typed);

/// A snap kind's name in messages, lower case ("endpoint").
std::string snapKindText(SnapKind kind);

/// What the status bar says: "OSNAP: END CEN INT", "OSNAP: NONE" or "OSNAP off".
std::string snapStatusText(const SnapSettings& snaps);

} // namespace vexilo::cadhost
