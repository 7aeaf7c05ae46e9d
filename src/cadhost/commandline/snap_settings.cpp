// Object snap names, typed lists and overrides, and the status text of the running snaps.
#include "cadhost/commandline/snap_settings.h"

#include "cadhost/commandline/coordinate_input.h"
#include "common/ui_text.h"

#include <array>

namespace vexilo::cadhost {

namespace {

struct SnapName {
    std::string_view name;
    SnapKind kind;
};

// Object snap names as AutoCAD's OSNAP accepts them: any abbreviation of three letters or more.
constexpr std::array<SnapName, 9> kSnapNames{{
    {"ENDPOINT", SnapKind::Endpoint},
    {"MIDPOINT", SnapKind::Midpoint},
    {"CENTER", SnapKind::Center},
    {"CENTRE", SnapKind::Center},
    {"NODE", SnapKind::Node},
    {"QUADRANT", SnapKind::Quadrant},
    {"INTERSECTION", SnapKind::Intersection},
    {"PERPENDICULAR", SnapKind::Perpendicular},
    {"NEAREST", SnapKind::Nearest},
}};

// The short names in the order OSNAP lists them.
struct ShortName {
    SnapKind kind;
    std::string_view name;
};
constexpr std::array<ShortName, 8> kShortNames{{
    {SnapKind::Endpoint, "END"},
    {SnapKind::Midpoint, "MID"},
    {SnapKind::Center, "CEN"},
    {SnapKind::Node, "NOD"},
    {SnapKind::Quadrant, "QUA"},
    {SnapKind::Intersection, "INT"},
    {SnapKind::Perpendicular, "PER"},
    {SnapKind::Nearest, "NEA"},
}};

std::optional<SnapKind> kindNamed(std::string_view upper) {
    if (upper.size() < 3) {
        return std::nullopt;
    }
    for (const SnapName& name : kSnapNames) {
        if (name.name.substr(0, upper.size()) == upper) {
            return name.kind;
        }
    }
    return std::nullopt;
}

bool isNoSnapWord(std::string_view upper) {
    return upper == "NON" || upper == "NONE";
}

} // namespace

std::optional<SnapModeList> parseSnapModeList(std::string_view text) {
    const std::string upper = asciiUpper(text);
    SnapModeList list;
    bool any = false;
    std::size_t start = 0;
    while (start <= upper.size()) {
        std::size_t end = upper.find_first_of(", \t", start);
        if (end == std::string::npos) {
            end = upper.size();
        }
        const std::string_view token = std::string_view(upper).substr(start, end - start);
        start = end + 1;
        if (token.empty()) {
            continue;
        }
        if (token == "OFF" || isNoSnapWord(token)) {
            list.off = true;
            continue;
        }
        const std::optional<SnapKind> kind = kindNamed(token);
        if (!kind) {
            return std::nullopt;
        }
        list.modes.set(*kind, true);
        any = true;
    }
    if (list.off == any) {
        // Neither modes nor OFF, or both.
        return std::nullopt;
    }
    return list;
}

std::string snapModeNames(const SnapModes& modes, std::string_view separator) {
    std::string out;
    for (const ShortName& name : kShortNames) {
        if (modes.has(name.kind)) {
            if (!out.empty()) {
                out += separator;
            }
            out += name.name;
        }
    }
    return out.empty() ? std::string("NONE") : out;
}

std::optional<SnapOverride> parseSnapOverride(std::string_view typed) {
    const std::string upper = asciiUpper(trimBlanks(typed));
    if (isNoSnapWord(upper)) {
        return SnapOverride{std::nullopt};
    }
    if (const std::optional<SnapKind> kind = kindNamed(upper)) {
        return SnapOverride{kind};
    }
    return std::nullopt;
}

std::string snapKindText(SnapKind kind) {
    switch (kind) {
    case SnapKind::Endpoint:
        return uiText("CommandLine", "endpoint");
    case SnapKind::Node:
        return uiText("CommandLine", "node");
    case SnapKind::Center:
        return uiText("CommandLine", "center");
    case SnapKind::Intersection:
        return uiText("CommandLine", "intersection");
    case SnapKind::Midpoint:
        return uiText("CommandLine", "midpoint");
    case SnapKind::Quadrant:
        return uiText("CommandLine", "quadrant");
    case SnapKind::Perpendicular:
        return uiText("CommandLine", "perpendicular");
    case SnapKind::Nearest:
        return uiText("CommandLine", "nearest");
    }
    return {};
}

std::string snapStatusText(const SnapSettings& snaps) {
    if (!snaps.enabled) {
        return uiText("CommandLine", "OSNAP off");
    }
    return fillText(uiText("CommandLine", "OSNAP: %1"), {snapModeNames(snaps.modes, " ")});
}

} // namespace vexilo::cadhost
