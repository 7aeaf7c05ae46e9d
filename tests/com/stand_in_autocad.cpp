// The stand-in AutoCAD of the COM link tests: an out-of-process automation server that
// registers an application object in the running object table, as a running AutoCAD does, and
// serves ActiveDocument, WindowState, Utility (GetPoint, GetEntity, GetString,
// TranslateCoordinates), GetVariable and the entities of a drawing file with AutoCAD's members
// and failures. Interactive requests are answered from a script file; every call is logged.
//
//   stand_in_autocad --prepare
//       Registers the type library of the entity interface (so that its proxies can be made)
//       and waits until the prefix's RPC service accepts registrations.
//   stand_in_autocad --drawing FILE --script FILE --log FILE --ready EVENT --quit EVENT
//                    [--busy-ms N] [--variant-arrays] [--lower-bound N] [--no-drawing]
//                    [--other-version]
//       Serves until the named quit event is set; sets the named ready event once registered.
//       --other-version registers under another class and numbers the members from 101, as
//       another AutoCAD version may.
//
// Drawing file, one entity per line (numbers in any C form, points in the systems DXF uses):
//   ucs OX OY OZ XX XY XZ YX YY YZ
//   lwpolyline HANDLE CLOSED ELEVATION NX NY NZ CONSTWIDTH N (X Y STARTWIDTH ENDWIDTH)*N
//   polyline3d HANDLE CLOSED N (X Y Z)*N
//   arc HANDLE CX CY CZ RADIUS STARTDEGREES ENDDEGREES NX NY NZ     (centre in the OCS)
//   line HANDLE X1 Y1 Z1 X2 Y2 Z2
// Script file, one answer per interactive request, in order:
//   ^C       Esc (the request raises an exception)
//   (empty)  Enter with no value: GetPoint and GetEntity raise, GetString returns ""
//   ^miss    at GetEntity, a pick that hits nothing
//   ^die     the process ends at once, inside the request (AutoCAD killed mid-pick)
//   ^wait N  wait N ms, dispatching messages, then take the next line
//   X,Y[,Z]  at GetPoint, a point typed in the current user system
//   HANDLE   at GetEntity, the entity picked
//   TEXT     at GetString, the text typed
#include "cad/com/com_backend.h"
#include "cad/com/variant.h"
#include "geometry/coordinate_systems.h"
#include "named_members_object.h"
#include "stand_in_ids.h"

#include <windows.h>

#include <ole2.h>
#include <oleauto.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <numbers>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace vexilo;
using cad::com::toUtf8;
using cad::com::toWide;
using geometry::Vec3;

// Codes AutoCAD raises inside DISP_E_EXCEPTION.
constexpr HRESULT kEscRaised = static_cast<HRESULT>(0x80020009);
constexpr HRESULT kNoInputRaised = static_cast<HRESULT>(0x80210020);
constexpr HRESULT kInvalidArgumentRaised = static_cast<HRESULT>(0x80210015);
constexpr HRESULT kNoDocumentRaised = static_cast<HRESULT>(0x8021003C);
constexpr HRESULT kNothingPickedRaised = static_cast<HRESULT>(0x80210050);

struct Options {
    std::wstring drawing;
    std::wstring script;
    std::wstring log;
    std::wstring ready;
    std::wstring quit;
    int busyMilliseconds = 0;
    bool variantArrays = false;
    LONG lowerBound = 0;
    bool noDrawing = false;
    bool otherVersion = false;
};

Options g_options;
FILE* g_log = nullptr;

// One line of the log, as UTF-8, written through at once so that it survives ^die.
void logLine(const std::string& line) {
    if (g_log != nullptr) {
        std::fwrite(line.data(), 1, line.size(), g_log);
        std::fputc('\n', g_log);
        std::fflush(g_log);
    }
}

std::string number(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

struct DrawingEntity {
    std::string kind; // lwpolyline, polyline3d, arc, line
    std::string handle;
    bool closed = false;
    double elevation = 0.0;
    Vec3 normal{0.0, 0.0, 1.0};
    double constantWidth = 0.0;
    std::vector<double> coordinates; // 2 per vertex (lwpolyline, OCS) or 3 (polyline3d, WCS)
    std::vector<std::pair<double, double>> widths;
    Vec3 center; // arc, OCS
    double radius = 0.0, startDegrees = 0.0, endDegrees = 0.0;
    Vec3 start, end; // line, WCS
};

struct Drawing {
    geometry::Ucs ucs;
    std::map<std::string, DrawingEntity> entities;
};

Drawing g_drawing;
std::deque<std::string> g_script;

bool readDrawing(const std::wstring& path) {
    std::ifstream in(path.c_str());
    if (!in) {
        return false;
    }
    std::string text;
    while (std::getline(in, text)) {
        std::istringstream line(text);
        std::string kind;
        if (!(line >> kind)) {
            continue;
        }
        if (kind == "ucs") {
            Vec3 o, x, y;
            line >> o.x >> o.y >> o.z >> x.x >> x.y >> x.z >> y.x >> y.y >> y.z;
            if (const auto ucs = geometry::Ucs::fromAxes(o, x, y)) {
                g_drawing.ucs = *ucs;
            }
            continue;
        }
        DrawingEntity e;
        e.kind = kind;
        line >> e.handle;
        std::size_t count = 0;
        if (kind == "lwpolyline") {
            line >> e.closed >> e.elevation >> e.normal.x >> e.normal.y >> e.normal.z >>
                e.constantWidth >> count;
            for (std::size_t i = 0; i < count; ++i) {
                double x = 0, y = 0, s = 0, w = 0;
                line >> x >> y >> s >> w;
                e.coordinates.insert(e.coordinates.end(), {x, y});
                e.widths.emplace_back(s, w);
            }
        } else if (kind == "polyline3d") {
            line >> e.closed >> count;
            e.coordinates.resize(count * 3);
            for (double& v : e.coordinates) {
                line >> v;
            }
        } else if (kind == "arc") {
            line >> e.center.x >> e.center.y >> e.center.z >> e.radius >> e.startDegrees >>
                e.endDegrees >> e.normal.x >> e.normal.y >> e.normal.z;
        } else if (kind == "line") {
            line >> e.start.x >> e.start.y >> e.start.z >> e.end.x >> e.end.y >> e.end.z;
        } else {
            return false;
        }
        if (line.fail()) {
            return false;
        }
        g_drawing.entities[e.handle] = std::move(e);
    }
    return true;
}

bool readScript(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in) {
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        g_script.push_back(line);
    }
    return true;
}

// Waits while dispatching messages, so that incoming calls and the quit event are served.
void pumpFor(int milliseconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// The next answer of the script, after ^wait and ^die have been carried out; nothing when
// the script is used up.
std::optional<std::string> nextAnswer() {
    while (!g_script.empty()) {
        std::string line = g_script.front();
        g_script.pop_front();
        if (line == "^die") {
            logLine("died");
            std::fflush(g_log);
            TerminateProcess(GetCurrentProcess(), 3);
        }
        if (line.starts_with("^wait ")) {
            pumpFor(std::stoi(line.substr(6)));
            continue;
        }
        return line;
    }
    return std::nullopt;
}

// Automation arrays in the form the options choose.
VARIANT makeArray(const std::vector<double>& values) {
    VARIANT v;
    VariantInit(&v);
    SAFEARRAYBOUND bound{static_cast<ULONG>(values.size()), g_options.lowerBound};
    const VARTYPE element = g_options.variantArrays ? VT_VARIANT : VT_R8;
    v.vt = VT_ARRAY | element;
    v.parray = SafeArrayCreate(element, 1, &bound);
    for (std::size_t i = 0; i < values.size(); ++i) {
        LONG index = g_options.lowerBound + static_cast<LONG>(i);
        if (g_options.variantArrays) {
            VARIANT item;
            VariantInit(&item);
            item.vt = VT_R8;
            item.dblVal = values[i];
            SafeArrayPutElement(v.parray, &index, &item);
        } else {
            SafeArrayPutElement(v.parray, &index, const_cast<double*>(&values[i]));
        }
    }
    return v;
}

VARIANT makePoint(Vec3 p) {
    return makeArray({p.x, p.y, p.z});
}

// Argument i (from 0, in the member's order) of a call; nullptr when omitted.
const VARIANT* argument(const DISPPARAMS* parameters, UINT i) {
    if (parameters == nullptr || i >= parameters->cArgs) {
        return nullptr;
    }
    const VARIANT* v = &parameters->rgvarg[parameters->cArgs - 1 - i];
    if (v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND) {
        return nullptr;
    }
    return v;
}

std::string describeArgument(const VARIANT& v) {
    if (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND) {
        return "missing";
    }
    if ((v.vt & VT_BYREF) != 0) {
        return "out";
    }
    if (v.vt == VT_BOOL) {
        return v.boolVal != VARIANT_FALSE ? "true" : "false";
    }
    if (const auto text = cad::com::textOf(v)) {
        return "\"" + *text + "\"";
    }
    if (const auto values = cad::com::doublesOf(v)) {
        std::string list = "(";
        for (std::size_t i = 0; i < values->size(); ++i) {
            list += (i == 0 ? "" : ",") + number((*values)[i]);
        }
        return list + ")";
    }
    if (const auto value = cad::com::numberOf(v)) {
        return number(*value);
    }
    return "?";
}

HRESULT raise(EXCEPINFO* exception, HRESULT code, const wchar_t* text) {
    if (exception != nullptr) {
        *exception = EXCEPINFO{};
        exception->scode = code;
        exception->bstrSource = SysAllocString(L"AutoCAD");
        exception->bstrDescription = SysAllocString(text);
    }
    return DISP_E_EXCEPTION;
}

// An automation object: members by name, every call logged as "Kind.Member(arguments)".
class Automation : public com_stand_in::NamedMembersObject {
public:
    explicit Automation(std::string kind) : m_kind(std::move(kind)) {}

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT*) override {
        const std::wstring name = memberOf(id);
        if (name.empty()) {
            return DISP_E_MEMBERNOTFOUND;
        }
        std::string entry = m_kind + "." + toUtf8(name);
        if ((flags & DISPATCH_PROPERTYPUT) != 0) {
            entry += "=" + describeArgument(parameters->rgvarg[0]);
        } else if (parameters != nullptr && parameters->cArgs > 0) {
            entry += "(";
            for (UINT i = 0; i < parameters->cArgs; ++i) {
                entry += (i == 0 ? "" : ",") +
                         describeArgument(parameters->rgvarg[parameters->cArgs - 1 - i]);
            }
            entry += ")";
        }
        logLine(entry);
        VARIANT ignored;
        VariantInit(&ignored);
        const HRESULT outcome =
            call(name, flags, parameters, result != nullptr ? result : &ignored, exception);
        VariantClear(&ignored);
        return outcome;
    }

protected:
    DISPID firstDispId() const override { return g_options.otherVersion ? 101 : 1; }
    void namesLookedUp(const wchar_t* name, bool known) override {
        logLine(m_kind + ".GetIDsOfNames(" + toUtf8(name) + (known ? ")" : ") unknown"));
    }
    virtual HRESULT call(const std::wstring& name, WORD flags, DISPPARAMS* parameters,
                         VARIANT* result, EXCEPINFO* exception) = 0;

private:
    std::string m_kind;
};

using com_stand_in::returnObject;

class EntityObject : public Automation {
public:
    explicit EntityObject(const DrawingEntity& e) : Automation("Entity"), m_entity(e) {}

    // The first vertex or point, world system: where the pick is said to have hit.
    Vec3 pickPoint() const {
        if (m_entity.kind == "lwpolyline") {
            return geometry::ocsToWcs(
                {m_entity.coordinates[0], m_entity.coordinates[1], m_entity.elevation},
                m_entity.normal);
        }
        if (m_entity.kind == "polyline3d") {
            return {m_entity.coordinates[0], m_entity.coordinates[1], m_entity.coordinates[2]};
        }
        if (m_entity.kind == "arc") {
            return arcPoint(m_entity.startDegrees);
        }
        return m_entity.start;
    }

protected:
    bool implements(REFIID iid) const override {
        return IsEqualIID(iid, cad::com::kEntityInterfaceId);
    }

    std::vector<std::wstring> members() const override {
        std::vector<std::wstring> names{L"ObjectName", L"EntityName", L"Handle"};
        if (m_entity.kind == "lwpolyline") {
            names.insert(names.end(), {L"Coordinates", L"Coordinate", L"Elevation", L"Normal",
                                       L"Closed", L"GetWidth"});
        } else if (m_entity.kind == "polyline3d") {
            names.insert(names.end(), {L"Coordinates", L"Coordinate", L"Closed"});
        } else if (m_entity.kind == "arc") {
            names.insert(names.end(), {L"Center", L"StartPoint", L"EndPoint", L"StartAngle",
                                       L"EndAngle", L"Radius", L"ArcLength", L"Normal"});
        } else {
            names.insert(names.end(), {L"StartPoint", L"EndPoint"});
        }
        return names;
    }

    HRESULT call(const std::wstring& name, WORD, DISPPARAMS* parameters, VARIANT* result,
                 EXCEPINFO* exception) override {
        const DrawingEntity& e = m_entity;
        if (name == L"ObjectName" || name == L"EntityName") {
            const wchar_t* className = e.kind == "lwpolyline"   ? L"AcDbPolyline"
                                       : e.kind == "polyline3d" ? L"AcDb3dPolyline"
                                       : e.kind == "arc"        ? L"AcDbArc"
                                                                : L"AcDbLine";
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocString(className);
        } else if (name == L"Handle") {
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocString(toWide(e.handle).c_str());
        } else if (name == L"Coordinates") {
            *result = makeArray(e.coordinates);
        } else if (name == L"Coordinate") {
            const VARIANT* index = argument(parameters, 0);
            const auto i =
                index != nullptr ? cad::com::numberOf(*index) : cad::CadResult<double>(0.0);
            const std::size_t stride = e.kind == "lwpolyline" ? 2 : 3;
            if (!i || *i < 0 ||
                (static_cast<std::size_t>(*i) + 1) * stride > e.coordinates.size()) {
                return raise(exception, kInvalidArgumentRaised, L"Invalid index");
            }
            const auto first = e.coordinates.begin() + static_cast<std::ptrdiff_t>(*i * stride);
            *result =
                makeArray(std::vector<double>(first, first + static_cast<std::ptrdiff_t>(stride)));
        } else if (name == L"Elevation") {
            result->vt = VT_R8;
            result->dblVal = e.elevation;
        } else if (name == L"Normal") {
            *result = makePoint(e.normal);
        } else if (name == L"Closed") {
            result->vt = VT_BOOL;
            result->boolVal = e.closed ? VARIANT_TRUE : VARIANT_FALSE;
        } else if (name == L"GetWidth") {
            return getWidth(parameters, exception);
        } else if (name == L"Center") {
            *result = makePoint(geometry::ocsToWcs(e.center, e.normal));
        } else if (name == L"StartPoint") {
            *result = makePoint(e.kind == "arc" ? arcPoint(e.startDegrees) : e.start);
        } else if (name == L"EndPoint") {
            *result = makePoint(e.kind == "arc" ? arcPoint(e.endDegrees) : e.end);
        } else if (name == L"StartAngle" || name == L"EndAngle") {
            result->vt = VT_R8;
            result->dblVal =
                (name == L"StartAngle" ? e.startDegrees : e.endDegrees) * std::numbers::pi / 180.0;
        } else if (name == L"Radius") {
            result->vt = VT_R8;
            result->dblVal = e.radius;
        } else if (name == L"ArcLength") {
            double sweep = std::fmod(e.endDegrees - e.startDegrees, 360.0);
            if (sweep <= 0.0) {
                sweep += 360.0;
            }
            result->vt = VT_R8;
            result->dblVal = e.radius * sweep * std::numbers::pi / 180.0;
        }
        return S_OK;
    }

private:
    Vec3 arcPoint(double degrees) const {
        const double a = degrees * std::numbers::pi / 180.0;
        return geometry::ocsToWcs({m_entity.center.x + m_entity.radius * std::cos(a),
                                   m_entity.center.y + m_entity.radius * std::sin(a),
                                   m_entity.center.z},
                                  m_entity.normal);
    }

    // GetWidth(Index, StartWidth, EndWidth): the two widths through by-reference arguments.
    HRESULT getWidth(DISPPARAMS* parameters, EXCEPINFO* exception) const {
        const VARIANT* index = argument(parameters, 0);
        const VARIANT* start = argument(parameters, 1);
        const VARIANT* end = argument(parameters, 2);
        const auto i = index != nullptr ? cad::com::numberOf(*index) : cad::CadResult<double>(-1.0);
        const std::size_t vertices = m_entity.widths.size();
        const std::size_t segments = m_entity.closed ? vertices : vertices - 1;
        if (!i || *i < 0 || static_cast<std::size_t>(*i) >= segments || start == nullptr ||
            end == nullptr || start->vt != (VT_BYREF | VT_R8) || end->vt != (VT_BYREF | VT_R8)) {
            return raise(exception, kInvalidArgumentRaised, L"Invalid argument");
        }
        const auto& w = m_entity.widths[static_cast<std::size_t>(*i)];
        *start->pdblVal = m_entity.constantWidth != 0.0 ? m_entity.constantWidth : w.first;
        *end->pdblVal = m_entity.constantWidth != 0.0 ? m_entity.constantWidth : w.second;
        return S_OK;
    }

    DrawingEntity m_entity;
};

class UtilityObject : public Automation {
public:
    UtilityObject() : Automation("Utility") {}

protected:
    std::vector<std::wstring> members() const override {
        return {L"GetPoint", L"GetEntity", L"GetString", L"TranslateCoordinates"};
    }

    HRESULT call(const std::wstring& name, WORD, DISPPARAMS* parameters, VARIANT* result,
                 EXCEPINFO* exception) override {
        if (name == L"GetPoint") {
            return getPoint(result, exception);
        }
        if (name == L"GetEntity") {
            return getEntity(parameters, exception);
        }
        if (name == L"GetString") {
            return getString(parameters, result, exception);
        }
        return translate(parameters, result, exception);
    }

private:
    // The answer to an interactive request, or the exception for Esc and the end of the script.
    static HRESULT answer(std::string& text, EXCEPINFO* exception) {
        const auto line = nextAnswer();
        if (!line) {
            logLine("unscripted");
            return raise(exception, E_FAIL, L"No scripted answer");
        }
        if (*line == "^C") {
            return raise(exception, kEscRaised, L"User pressed Esc");
        }
        text = *line;
        return S_OK;
    }

    HRESULT getPoint(VARIANT* result, EXCEPINFO* exception) {
        std::string text;
        if (const HRESULT failed = answer(text, exception); failed != S_OK) {
            return failed;
        }
        if (text.empty()) {
            return raise(exception, kNoInputRaised, L"User input is a keyword");
        }
        Vec3 typed;
        std::replace(text.begin(), text.end(), ',', ' ');
        std::istringstream in(text);
        in >> typed.x >> typed.y;
        if (in.fail()) {
            return raise(exception, kInvalidArgumentRaised, L"Invalid point");
        }
        in >> typed.z;
        // A typed point is read in the current user system and returned in the world system.
        *result = makePoint(geometry::ucsToWcs(typed, g_drawing.ucs));
        return S_OK;
    }

    HRESULT getEntity(DISPPARAMS* parameters, EXCEPINFO* exception) {
        const VARIANT* object = argument(parameters, 0);
        const VARIANT* point = argument(parameters, 1);
        if (object == nullptr || point == nullptr || object->vt != (VT_BYREF | VT_DISPATCH) ||
            point->vt != (VT_BYREF | VT_VARIANT)) {
            return raise(exception, kInvalidArgumentRaised, L"Invalid argument");
        }
        std::string text;
        if (const HRESULT failed = answer(text, exception); failed != S_OK) {
            return failed;
        }
        if (text.empty()) {
            return raise(exception, kNoInputRaised, L"User input is a keyword");
        }
        const auto found = g_drawing.entities.find(text);
        if (text == "^miss" || found == g_drawing.entities.end()) {
            return raise(exception, kNothingPickedRaised, L"Nothing picked");
        }
        auto* entity = new EntityObject(found->second);
        if (*object->ppdispVal != nullptr) {
            (*object->ppdispVal)->Release();
        }
        *object->ppdispVal = entity;
        VariantClear(point->pvarVal);
        *point->pvarVal = makePoint(entity->pickPoint());
        return S_OK;
    }

    HRESULT getString(DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception) {
        const VARIANT* spaces = argument(parameters, 0);
        const bool hasSpaces = spaces != nullptr && cad::com::booleanOf(*spaces).value_or(false);
        std::string text;
        if (const HRESULT failed = answer(text, exception); failed != S_OK) {
            return failed;
        }
        if (!hasSpaces && text.find(' ') != std::string::npos) {
            text.erase(text.find(' '));
        }
        std::wstring wide = toWide(text);
        if (wide.size() > 132) {
            wide.resize(132);
        }
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        return S_OK;
    }

    HRESULT translate(DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception) {
        const VARIANT* point = argument(parameters, 0);
        const VARIANT* from = argument(parameters, 1);
        const VARIANT* to = argument(parameters, 2);
        const VARIANT* displacement = argument(parameters, 3);
        const VARIANT* normal = argument(parameters, 4);
        if (point == nullptr || from == nullptr || to == nullptr || displacement == nullptr) {
            return raise(exception, kInvalidArgumentRaised, L"Invalid argument");
        }
        const auto p = cad::com::pointOf(*point);
        const auto f = cad::com::numberOf(*from);
        const auto t = cad::com::numberOf(*to);
        const auto d = cad::com::booleanOf(*displacement);
        std::optional<Vec3> ocsNormal;
        if (normal != nullptr) {
            const auto n = cad::com::pointOf(*normal);
            if (!n) {
                return raise(exception, kInvalidArgumentRaised, L"Invalid argument");
            }
            ocsNormal = Vec3{(*n)[0], (*n)[1], (*n)[2]};
        }
        if (!p || !f || !t || !d) {
            return raise(exception, kInvalidArgumentRaised, L"Invalid argument");
        }
        const auto converted =
            geometry::translateCoordinates({(*p)[0], (*p)[1], (*p)[2]}, static_cast<int>(*f),
                                           static_cast<int>(*t), *d, g_drawing.ucs, ocsNormal);
        if (!converted) {
            return raise(exception, kInvalidArgumentRaised, L"Invalid argument");
        }
        *result = makePoint(*converted);
        return S_OK;
    }
};

class DocumentObject : public Automation {
public:
    DocumentObject() : Automation("Document") {}

protected:
    std::vector<std::wstring> members() const override { return {L"Utility", L"GetVariable"}; }

    HRESULT call(const std::wstring& name, WORD, DISPPARAMS* parameters, VARIANT* result,
                 EXCEPINFO* exception) override {
        if (name == L"Utility") {
            returnObject(result, new UtilityObject());
            return S_OK;
        }
        const VARIANT* variable = argument(parameters, 0);
        const auto text = variable != nullptr ? cad::com::textOf(*variable)
                                              : cad::CadResult<std::string>(std::string());
        const geometry::Ucs& ucs = g_drawing.ucs;
        if (text && *text == "UCSORG") {
            *result = makePoint(ucs.origin);
        } else if (text && *text == "UCSXDIR") {
            *result = makePoint(ucs.xAxis);
        } else if (text && *text == "UCSYDIR") {
            *result = makePoint(ucs.yAxis);
        } else {
            return raise(exception, kInvalidArgumentRaised, L"Invalid argument");
        }
        return S_OK;
    }
};

class ApplicationObject : public Automation {
public:
    ApplicationObject() : Automation("Application") {}

protected:
    std::vector<std::wstring> members() const override {
        return {L"ActiveDocument", L"WindowState"};
    }

    HRESULT call(const std::wstring& name, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                 EXCEPINFO* exception) override {
        if (name == L"ActiveDocument") {
            if (g_options.noDrawing) {
                return raise(exception, kNoDocumentRaised, L"cannot get Document object");
            }
            returnObject(result, new DocumentObject());
            return S_OK;
        }
        if ((flags & DISPATCH_PROPERTYPUT) != 0) {
            const auto state = cad::com::numberOf(parameters->rgvarg[0]);
            if (!state || *state < 1 || *state > 3) {
                return raise(exception, kInvalidArgumentRaised, L"Invalid argument");
            }
            m_windowState = static_cast<int>(*state);
            return S_OK;
        }
        result->vt = VT_I4;
        result->lVal = m_windowState;
        return S_OK;
    }

private:
    int m_windowState = 1;
};

// Refuses calls to the automation objects for a while after the first one, as a busy AutoCAD
// does. AutoCAD answers SERVERCALL_RETRYLATER; Wine's COM lets such calls through (it has no
// client-side retry), so the stand-in answers SERVERCALL_REJECTED, which reaches the client as
// RPC_E_CALL_REJECTED under Wine and on Windows alike.
class BusyFilter : public IMessageFilter {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMessageFilter)) {
            *object = static_cast<IMessageFilter*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO info) override {
        if (g_options.busyMilliseconds <= 0 || info == nullptr ||
            !(IsEqualIID(info->iid, IID_IDispatch) ||
              IsEqualIID(info->iid, cad::com::kEntityInterfaceId))) {
            return SERVERCALL_ISHANDLED;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!m_busySince) {
            m_busySince = now;
        }
        if (now - *m_busySince < std::chrono::milliseconds(g_options.busyMilliseconds)) {
            logLine("busy: call rejected");
            return SERVERCALL_REJECTED;
        }
        return SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override {
        return static_cast<DWORD>(-1);
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
        return PENDINGMSG_WAITDEFPROCESS;
    }

private:
    std::optional<std::chrono::steady_clock::time_point> m_busySince;
};

// Builds the type library that declares the entity interface as a dual interface derived from
// IDispatch and registers it; COM then marshals the interface with the Automation marshaler.
HRESULT registerEntityTypeLibrary() {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"vexilo_stand_in_entity.tlb";
    ICreateTypeLib2* library = nullptr;
    HRESULT hr = CreateTypeLib2(SYS_WIN64, path.c_str(), &library);
    if (FAILED(hr)) {
        return hr;
    }
    library->SetGuid(cad::com::testing::kTypeLibraryId);
    library->SetName(const_cast<LPOLESTR>(L"VexiloStandInAutoCAD"));
    library->SetVersion(1, 0);
    library->SetLcid(LOCALE_NEUTRAL);
    ICreateTypeInfo* info = nullptr;
    hr = library->CreateTypeInfo(const_cast<LPOLESTR>(L"IAcadEntity"), TKIND_INTERFACE, &info);
    ITypeLib* standard = nullptr;
    ITypeInfo* dispatchInfo = nullptr;
    if (SUCCEEDED(hr)) {
        info->SetGuid(cad::com::kEntityInterfaceId);
        info->SetTypeFlags(TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION);
        hr = LoadTypeLib(L"stdole2.tlb", &standard);
    }
    if (SUCCEEDED(hr)) {
        hr = standard->GetTypeInfoOfGuid(IID_IDispatch, &dispatchInfo);
    }
    HREFTYPE reference = 0;
    if (SUCCEEDED(hr)) {
        hr = info->AddRefTypeInfo(dispatchInfo, &reference);
    }
    if (SUCCEEDED(hr)) {
        hr = info->AddImplType(0, reference);
    }
    if (SUCCEEDED(hr)) {
        hr = info->LayOut();
    }
    if (SUCCEEDED(hr)) {
        hr = library->SaveAllChanges();
    }
    for (IUnknown* p : {static_cast<IUnknown*>(dispatchInfo), static_cast<IUnknown*>(standard),
                        static_cast<IUnknown*>(info), static_cast<IUnknown*>(library)}) {
        if (p != nullptr) {
            p->Release();
        }
    }
    if (FAILED(hr)) {
        return hr;
    }
    ITypeLib* registered = nullptr;
    hr = LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, &registered);
    if (registered != nullptr) {
        registered->Release();
    }
    return hr;
}

// A throw-away object for the warm-up registration.
class Nothing : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown)) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

// A new prefix's RPC service refuses registrations in the running object table
// (RPC_S_SERVER_UNAVAILABLE) for up to about 30 s: register and revoke a throw-away object until
// it works.
HRESULT warmUp() {
    constexpr GUID kThrowAway = {
        0x2F0C4B19, 0x8E7A, 0x4D61, {0xA5, 0x3B, 0x90, 0x12, 0x6C, 0xDE, 0x47, 0x81}};
    Nothing nothing;
    HRESULT hr = E_FAIL;
    for (int attempt = 0; attempt < 240; ++attempt) {
        DWORD cookie = 0;
        hr = RegisterActiveObject(&nothing, kThrowAway, ACTIVEOBJECT_STRONG, &cookie);
        if (SUCCEEDED(hr)) {
            RevokeActiveObject(cookie, nullptr);
            return S_OK;
        }
        Sleep(250);
    }
    return hr;
}

int prepare() {
    const HRESULT library = registerEntityTypeLibrary();
    const HRESULT warm = warmUp();
    std::fprintf(stderr, "stand-in: type library 0x%08lX, running object table 0x%08lX\n",
                 static_cast<unsigned long>(library), static_cast<unsigned long>(warm));
    return SUCCEEDED(library) && SUCCEEDED(warm) ? 0 : 1;
}

// Registers a message filter for the lifetime of this object, which must end before the
// filter's: COM would otherwise call a destroyed filter when the apartment closes.
class FilterRegistration {
public:
    explicit FilterRegistration(IMessageFilter* filter) {
        CoRegisterMessageFilter(filter, &m_previous);
    }
    ~FilterRegistration() {
        IMessageFilter* ours = nullptr;
        CoRegisterMessageFilter(m_previous, &ours);
        if (m_previous != nullptr) {
            m_previous->Release();
        }
    }
    FilterRegistration(const FilterRegistration&) = delete;
    FilterRegistration& operator=(const FilterRegistration&) = delete;

private:
    IMessageFilter* m_previous = nullptr;
};

int serve() {
    if (!g_options.log.empty()) {
        g_log = _wfopen(g_options.log.c_str(), L"ab");
    }
    if (!readDrawing(g_options.drawing) || !readScript(g_options.script)) {
        logLine("cannot read the drawing or the script");
        return 2;
    }
    BusyFilter filter;
    const FilterRegistration registration(&filter);
    auto* application = new ApplicationObject();
    DWORD cookie = 0;
    const HRESULT registered =
        RegisterActiveObject(application,
                             g_options.otherVersion ? cad::com::testing::kOtherVersionClassId
                                                    : cad::com::testing::kStandInClassId,
                             ACTIVEOBJECT_STRONG, &cookie);
    if (registered != S_OK) {
        // MK_S_MONIKERALREADYREGISTERED is a success code, but clients would reach the other
        // server: an earlier stand-in was not ended.
        char text[64];
        std::snprintf(text, sizeof text, "RegisterActiveObject 0x%08lX",
                      static_cast<unsigned long>(registered));
        logLine(text);
        application->Release();
        return 3;
    }
    logLine("registered");
    HANDLE quit = OpenEventW(SYNCHRONIZE, FALSE, g_options.quit.c_str());
    if (HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, g_options.ready.c_str())) {
        SetEvent(ready);
        CloseHandle(ready);
    }
    for (;;) {
        const DWORD woken =
            MsgWaitForMultipleObjects(quit != nullptr ? 1 : 0, &quit, FALSE, INFINITE, QS_ALLINPUT);
        if (quit != nullptr && woken == WAIT_OBJECT_0) {
            break;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
    }
    RevokeActiveObject(cookie, nullptr);
    CoDisconnectObject(application, 0);
    application->Release();

    if (quit != nullptr) {
        CloseHandle(quit);
    }
    logLine("ended");
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    bool preparing = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring option = argv[i];
        const wchar_t* value = i + 1 < argc ? argv[i + 1] : L"";
        if (option == L"--prepare") {
            preparing = true;
            continue;
        }
        if (option == L"--variant-arrays") {
            g_options.variantArrays = true;
            continue;
        }
        if (option == L"--no-drawing") {
            g_options.noDrawing = true;
            continue;
        }
        if (option == L"--other-version") {
            g_options.otherVersion = true;
            continue;
        }
        ++i;
        if (option == L"--drawing") {
            g_options.drawing = value;
        } else if (option == L"--script") {
            g_options.script = value;
        } else if (option == L"--log") {
            g_options.log = value;
        } else if (option == L"--ready") {
            g_options.ready = value;
        } else if (option == L"--quit") {
            g_options.quit = value;
        } else if (option == L"--busy-ms") {
            g_options.busyMilliseconds = _wtoi(value);
        } else if (option == L"--lower-bound") {
            g_options.lowerBound = _wtoi(value);
        } else {
            std::fprintf(stderr, "stand-in: unknown option %ls\n", option.c_str());
            return 2;
        }
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 2;
    }
    const int code = preparing ? prepare() : serve();
    CoUninitialize();
    return code;
}
