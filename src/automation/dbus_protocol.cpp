// The protocol's introspection and its document, made from the member tables.
#include "automation/dbus_protocol.h"

#include "automation/codes.h"

#include <cstdio>

namespace vexilo::automation::protocol {

namespace {

constexpr int nameCount(std::string_view names) {
    if (names.empty()) {
        return 0;
    }
    int count = 1;
    for (char c : names) {
        count += c == ',' ? 1 : 0;
    }
    return count;
}

// Every member names each of its values, and its signatures are well formed.
constexpr bool wellFormed(const Interface& interface) {
    for (const Member& m : interface.members) {
        if (completeTypeCount(m.in) != nameCount(m.inNames) ||
            completeTypeCount(m.out) != nameCount(m.outNames)) {
            return false;
        }
    }
    return true;
}
static_assert(wellFormed(kApplication) && wellFormed(kDocument) && wellFormed(kUtilityInterface) &&
              wellFormed(kEntity));

// Calls `each(type, name)` for every value of a signature and its names.
template <class F> void forEachValue(std::string_view signature, std::string_view names, F each) {
    std::size_t at = 0;
    while (at < signature.size()) {
        const std::size_t end = detail::completeTypeEnd(signature, at);
        const std::size_t comma = names.find(',');
        each(signature.substr(at, end - at), names.substr(0, comma));
        names = comma == std::string_view::npos ? std::string_view{} : names.substr(comma + 1);
        at = end;
    }
}

std::string xmlEscaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// "o entity, ad pickedPoint"
std::string valueList(std::string_view signature, std::string_view names) {
    std::string list;
    forEachValue(signature, names, [&](std::string_view type, std::string_view name) {
        list += list.empty() ? "" : ", ";
        list += type;
        list += ' ';
        list += name;
    });
    return list;
}

// "GetEntity(s prompt) → o entity, ad pickedPoint"
std::string memberLine(const Member& m) {
    std::string line = "`" + std::string(m.name) + "(" + valueList(m.in, m.inNames) + ")";
    if (!m.out.empty()) {
        line += " → " + valueList(m.out, m.outNames);
    }
    return line + "`";
}

constexpr std::string_view kIntroduction =
    R"(# The automation protocol between `vexilo` and `vexilo-cad`

<!-- Generated from src/automation/dbus_protocol.h and src/automation/codes.h by
     vexilo_protocol_doc; a test fails when this file differs from what it writes. Regenerate:
     build/default/src/automation/vexilo_protocol_doc > docs/dbus-protocol.md -->

`vexilo-cad` offers AutoCAD's automation members on the D-Bus session bus; `vexilo` calls them
by name. This page is the contract between the two sides.

## Binding

A programmatic identifier maps to a well-known bus name: `org.vexilo.ProgId.` followed by the
identifier, each dot-separated element that begins with a digit getting a leading `_`
(`AutoCAD.Application.18` → `org.vexilo.ProgId.AutoCAD.Application._18`). The host owns the
name of every `--progid` it was given (default `AutoCAD.Application`) from start-up until it
exits, drawing or not. Binding means: the name has an owner now (`GetNameOwner`); nothing is
ever started by a call (there is no activation file).

## Calls

A call names the member's interface, or no interface; a member is found only on its own
interface. The arguments must have exactly the member's signature: any other count or type
fails with the invalid-argument code. Points are 3 doubles (`ad`) in WCS unless a member says
otherwise. Every object answers `org.freedesktop.DBus.Introspectable.Introspect`.
)";

constexpr std::string_view kClosing = R"(
## Waiting requests

`GetPoint`, `GetEntity` and `GetString` are answered by the person: the host replies later
(delayed reply) and keeps its event loop running. Clients call them with no timeout. A second
request while one waits fails with the busy code. If the client that asked leaves the bus, the
host cancels the pending request in its window.

## Travelling once

A bus round trip costs about a quarter of a millisecond, so two things travel once instead of
member by member:

- `Snapshot()` of an entity returns every member the entity has, as `name → value`, with the
  members it lacks left out; the client answers later member reads from it. Entities do not
  change while a command runs.
- `UserSystem()` returns the current UCS; the client converts between world, user and object
  systems locally, with the same code as the host's `TranslateCoordinates`, and asks again after
  each request that waited for the person (who may have changed the UCS meanwhile).
)";

} // namespace

const Member* Interface::find(std::string_view member) const {
    for (const Member& m : members) {
        if (m.name == member) {
            return &m;
        }
    }
    return nullptr;
}

std::string introspectionXml(const Interface& interface) {
    std::string xml = "<interface name=\"";
    xml += interface.name;
    xml += "\">";
    for (const Member& m : interface.members) {
        xml += "<method name=\"";
        xml += m.name;
        xml += "\">";
        const auto args = [&](std::string_view signature, std::string_view names,
                              const char* direction) {
            forEachValue(signature, names, [&](std::string_view type, std::string_view name) {
                xml += "<arg name=\"";
                xml += name;
                xml += "\" type=\"";
                xml += xmlEscaped(type);
                xml += "\" direction=\"";
                xml += direction;
                xml += "\"/>";
            });
        };
        args(m.in, m.inNames, "in");
        args(m.out, m.outNames, "out");
        xml += "</method>";
    }
    xml += "</interface>";
    return xml;
}

std::string protocolDocument() {
    std::string doc(kIntroduction);
    doc += "\n## Objects\n";
    for (const Interface* interface : kInterfaces) {
        doc += "\n### `";
        doc += interface->path;
        doc += interface == &kEntity ? "<handle>" : "";
        doc += "` — `";
        doc += interface->name;
        doc += "`\n\n";
        doc += interface->meaning;
        doc += ".\n\n| member | what it does |\n|---|---|\n";
        for (const Member& m : interface->members) {
            doc += "| " + memberLine(m) + " | ";
            doc += m.meaning;
            doc += m.waitsForPerson ? " (waits for the person)" : "";
            doc += " |\n";
        }
    }
    doc += "\n## Errors\n\nEvery failure is a D-Bus error reply named `";
    doc += kErrorName;
    doc += "` whose message starts with the code in decimal, then a blank and a description: "
           "`-2147352567 cancelled`. A client whose call ends because the host left the bus "
           "reports the disconnected code, never the cancel code.\n\n"
           "| code | hex | name | meaning |\n|---|---|---|---|\n";
    for (const CodeInfo& info : kCodes) {
        char hex[11];
        std::snprintf(hex, sizeof hex, "0x%08X",
                      static_cast<unsigned>(static_cast<std::uint32_t>(info.code)));
        doc += "| " + std::to_string(info.code) + " | " + hex + " | " + std::string(info.name) +
               " | " + std::string(info.meaning) + " |\n";
    }
    doc += kClosing;
    return doc;
}

} // namespace vexilo::automation::protocol
