// The automation protocol between vexilo and vexilo-cad on the D-Bus session bus, written once:
// the objects, their interfaces and every member with its D-Bus signatures. The host builds its
// introspection and its dispatch from these tables, the client takes its names and signatures
// from them, and docs/dbus-protocol.md is generated from them.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace vexilo::automation::protocol {

/// The name of every error reply; its message starts with the code in decimal, then a blank and
/// a description ("-2147352567 cancelled").
inline constexpr std::string_view kErrorName = "org.vexilo.Cad.Error";

/// One member: its AutoCAD name, the D-Bus signatures of its arguments and of its reply, the
/// names of those values (comma-separated, one per complete type) and what it does.
struct Member {
    std::string_view name;
    std::string_view in;
    std::string_view inNames;
    std::string_view out;
    std::string_view outNames;
    std::string_view meaning;
    /// Answered by the person: the host replies when they answer, clients wait without timeout.
    bool waitsForPerson = false;
};

/// One object kind: where it lives on the bus, its interface and its members.
struct Interface {
    std::string_view name;
    /// The object path; for entities the prefix that the handle follows.
    std::string_view path;
    std::span<const Member> members;
    std::string_view meaning;

    /// The member of that name, or nullptr.
    const Member* find(std::string_view member) const;
};

/// The number of complete types in a D-Bus signature ("s" 1, "ad" 1, "a{sv}ad" 2); -1 when the
/// signature is malformed.
constexpr int completeTypeCount(std::string_view signature);

// The members, one named constant each so that both ends can name them.

inline constexpr Member kActiveDocument{
    "ActiveDocument",
    "",
    "",
    "o",
    "document",
    "the open drawing's document; fails with the no-document code when no drawing is open"};
inline constexpr Member kWindowState{
    "WindowState", "", "", "i", "state", "the host window: 1 normal, 2 minimised, 3 maximised"};
inline constexpr Member kSetWindowState{"SetWindowState",
                                        "i",
                                        "state",
                                        "",
                                        "",
                                        "sets the host window: 1 normal, 2 minimised, 3 maximised; "
                                        "any other value is an invalid argument"};
inline constexpr std::array kApplicationMembers{kActiveDocument, kWindowState, kSetWindowState};

inline constexpr Member kUtility{"Utility", "", "", "o", "utility", "the document's utility"};
inline constexpr std::array kDocumentMembers{kUtility};

inline constexpr Member kGetPoint{
    "GetPoint",
    "s",
    "prompt",
    "ad",
    "point",
    "asks the person for a point; the answer is 3 doubles in WCS (a typed point is read in the "
    "current UCS, a click applies the running object snaps)",
    true};
inline constexpr Member kGetEntity{
    "GetEntity",
    "s",
    "prompt",
    "oad",
    "entity,pickedPoint",
    "asks the person to pick an entity; the answer is its object and the picked point (3 doubles, "
    "WCS); object snaps do not apply",
    true};
inline constexpr Member kGetString{
    "GetString",
    "bs",
    "hasSpaces,prompt",
    "s",
    "text",
    "asks the person for a text; without hasSpaces a space ends it like Enter; at most 132 "
    "characters are kept",
    true};
inline constexpr Member kTranslateCoordinates{
    "TranslateCoordinates",
    "adiibad",
    "point,from,to,displacement,normal",
    "ad",
    "point",
    "converts 3 doubles between the systems 0 world, 1 user and 4 object (the OCS of normal: 3 "
    "doubles, or none when neither system is 4); with displacement the point is a vector"};
inline constexpr Member kUserSystem{
    "UserSystem", "",
    "",           "ad",
    "ucs",        "the current UCS as 9 doubles in WCS: origin, X axis, Y axis (unit vectors)"};
inline constexpr std::array kUtilityMembers{kGetPoint, kGetEntity, kGetString,
                                            kTranslateCoordinates, kUserSystem};

/// An entity property: a member with no arguments whose reply is a variant holding the value;
/// an entity that lacks the property fails with the unknown-member code.
struct Property {
    std::string_view name;
    std::string_view meaning;
};

inline constexpr std::array<Property, 15> kEntityProperties{{
    {"ObjectName", "text: AutoCAD's class name (\"AcDbPolyline\", \"AcDbArc\", …)"},
    {"EntityName", "text: the same as ObjectName"},
    {"Handle", "text: the DXF handle in hexadecimal"},
    {"Layer", "text: the layer's name"},
    {"Coordinates",
     "doubles: every vertex, 2 per vertex in OCS for AcDbPolyline, 3 in WCS for AcDb3dPolyline, "
     "3 with X and Y in OCS for AcDb2dPolyline"},
    {"Elevation", "double: the OCS Z of a lightweight polyline"},
    {"Normal", "doubles: the unit normal (extrusion) in WCS"},
    {"Closed", "boolean: whether a polyline is closed"},
    {"Radius", "double: an arc's or circle's radius"},
    {"ArcLength", "double: an arc's length"},
    {"Center", "doubles: an arc's or circle's centre, WCS"},
    {"StartPoint", "doubles: the start point, WCS"},
    {"EndPoint", "doubles: the end point, WCS"},
    {"StartAngle", "double: an arc's start angle in radians, counter-clockwise about Normal from "
                   "the OCS X axis"},
    {"EndAngle", "double: an arc's end angle in radians, as StartAngle"},
}};

inline constexpr Member kCoordinate{
    "Coordinate",
    "i",
    "index",
    "ad",
    "vertex",
    "one vertex of a polyline: 2 doubles (OCS) for AcDbPolyline, 3 for the others; an index past "
    "the last vertex fails with the bad-index code"};
inline constexpr Member kGetWidth{"GetWidth",
                                  "i",
                                  "segment",
                                  "dd",
                                  "startWidth,endWidth",
                                  "the start and end width of a lightweight polyline's segment"};
inline constexpr Member kSnapshot{
    "Snapshot",
    "",
    "",
    "a{sv}",
    "members",
    "every property the entity has, by name, and Widths (start and end width of each segment, "
    "as one array of doubles) where it has widths"};

/// The entity's members: the properties (reply "v") and the three above.
constexpr std::array<Member, kEntityProperties.size() + 3> entityMembers() {
    std::array<Member, kEntityProperties.size() + 3> members{};
    std::size_t i = 0;
    for (const Property& property : kEntityProperties) {
        members[i++] = Member{property.name, "", "", "v", "value", property.meaning};
    }
    members[i++] = kCoordinate;
    members[i++] = kGetWidth;
    members[i++] = kSnapshot;
    return members;
}
inline constexpr auto kEntityMembers = entityMembers();

inline constexpr Interface kApplication{"org.vexilo.Cad.Application", "/Application",
                                        kApplicationMembers,
                                        "The running host (AutoCAD's Application object)"};
inline constexpr Interface kDocument{"org.vexilo.Cad.Document", "/Document", kDocumentMembers,
                                     "The open drawing; every member fails with the "
                                     "no-document code when no drawing is open"};
inline constexpr Interface kUtilityInterface{"org.vexilo.Cad.Utility", "/Document/Utility",
                                             kUtilityMembers,
                                             "The requests that wait for the person, and "
                                             "coordinate conversions"};
inline constexpr Interface kEntity{
    "org.vexilo.Cad.Entity", "/Entity/", kEntityMembers,
    "One entity of the open drawing; the path ends in its handle in upper-case hexadecimal "
    "without leading zeros (/Entity/2F), the only spelling of that handle"};

/// Every interface, in the order the documentation lists them.
inline constexpr std::array<const Interface*, 4> kInterfaces{&kApplication, &kDocument,
                                                             &kUtilityInterface, &kEntity};

/// The introspection XML of one interface: its methods with their arguments' types, names and
/// directions.
std::string introspectionXml(const Interface& interface);

/// The whole of docs/dbus-protocol.md.
std::string protocolDocument();

// Definitions of the constexpr helpers.

namespace detail {
// The end of the complete type that starts at `at`, or npos when it is malformed.
constexpr std::size_t completeTypeEnd(std::string_view s, std::size_t at) {
    if (at >= s.size()) {
        return std::string_view::npos;
    }
    switch (s[at]) {
    case 'y':
    case 'b':
    case 'n':
    case 'q':
    case 'i':
    case 'u':
    case 'x':
    case 't':
    case 'd':
    case 'h':
    case 's':
    case 'o':
    case 'g':
    case 'v':
        return at + 1;
    case 'a':
        if (at + 1 < s.size() && s[at + 1] == '{') {
            std::size_t key = completeTypeEnd(s, at + 2);
            std::size_t value = key == std::string_view::npos ? key : completeTypeEnd(s, key);
            if (value == std::string_view::npos || value >= s.size() || s[value] != '}') {
                return std::string_view::npos;
            }
            return value + 1;
        }
        return completeTypeEnd(s, at + 1);
    case '(': {
        std::size_t next = at + 1;
        while (next < s.size() && s[next] != ')') {
            next = completeTypeEnd(s, next);
            if (next == std::string_view::npos) {
                return next;
            }
        }
        return next < s.size() && next > at + 1 ? next + 1 : std::string_view::npos;
    }
    default:
        return std::string_view::npos;
    }
}
} // namespace detail

constexpr int completeTypeCount(std::string_view signature) {
    int count = 0;
    for (std::size_t at = 0; at < signature.size(); ++count) {
        at = detail::completeTypeEnd(signature, at);
        if (at == std::string_view::npos) {
            return -1;
        }
    }
    return count;
}

} // namespace vexilo::automation::protocol
