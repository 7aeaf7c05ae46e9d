// Proxies for AutoCAD's application, document, utility and entities over COM.
#include "cad/com/com_backend.h"

#include "automation/codes.h"
#include "cad/local_conversion.h"
#include "geometry/coordinate_systems.h"

#include <windows.h>

#include <ole2.h>
#include <oleauto.h>

#include <optional>
#include <utility>

namespace vexilo::cad::com {

namespace {

namespace geometry = vexilo::geometry;

// The object a property or method returned, as an automation object of `kind`.
CadResult<DispatchObject> objectOf(const LinkPtr& link, CadResult<Variant> value,
                                   std::string kind) {
    if (!value) {
        return unexpected(value.error());
    }
    const VARIANT& v = value->value();
    IDispatch* dispatch = nullptr;
    if (v.vt == VT_DISPATCH) {
        dispatch = v.pdispVal;
    } else if (v.vt == (VT_BYREF | VT_DISPATCH) && v.ppdispVal != nullptr) {
        dispatch = *v.ppdispVal;
    }
    if (dispatch == nullptr) {
        return unexpected(automation::kObjectNotSetCode);
    }
    dispatch->AddRef();
    return DispatchObject(link, ComPtr<IDispatch>(dispatch), std::move(kind));
}

template <class T, class Convert>
CadResult<T> convert(const CadResult<Variant>& value, Convert converter) {
    if (!value) {
        return unexpected(value.error());
    }
    return converter(value->value());
}

// A member read once and kept, its failure included: an entity does not change while a command
// lists it.
template <class T> class Kept {
public:
    template <class Read> const CadResult<T>& get(Read read) {
        if (!m_value) {
            m_value.emplace(read());
        }
        return *m_value;
    }

private:
    std::optional<CadResult<T>> m_value;
};

class ComEntity : public Entity {
public:
    explicit ComEntity(DispatchObject object) : m_object(std::move(object)) {}

    CadResult<std::string> objectName() override { return keptObjectName(); }
    CadResult<std::string> entityName() override {
        return read<std::string>(m_entityName, L"EntityName", textOf);
    }
    CadResult<std::vector<double>> coordinates() override { return keptCoordinates(); }

    CadResult<std::vector<double>> coordinate(std::int32_t index) override {
        // Read in place: a command reads every vertex, and a copy of the whole array per vertex
        // would make listing a long polyline quadratic.
        const auto& all = keptCoordinates();
        const auto& name = keptObjectName();
        if (all && name && index >= 0) {
            const std::size_t stride = *name == "AcDbPolyline" ? 2 : 3;
            const auto first = static_cast<std::size_t>(index) * stride;
            if (first + stride <= all->size()) {
                const auto begin = all->begin() + static_cast<std::ptrdiff_t>(first);
                return std::vector<double>(begin, begin + static_cast<std::ptrdiff_t>(stride));
            }
        }
        // Outside what Coordinates holds: AutoCAD's own answer (its failure code).
        return convert<std::vector<double>>(
            m_object.call(L"Coordinate", {Variant::integer(index).value()}), doublesOf);
    }

    CadResult<double> elevation() override {
        return read<double>(m_elevation, L"Elevation", numberOf);
    }
    CadResult<Point3> normal() override { return read<Point3>(m_normal, L"Normal", pointOf); }
    CadResult<bool> closed() override { return read<bool>(m_closed, L"Closed", booleanOf); }

    CadResult<SegmentWidth> getWidth(std::int32_t segment) override {
        ensureKind();
        double start = 0.0;
        double end = 0.0;
        VARIANT startOut{};
        startOut.vt = VT_BYREF | VT_R8;
        startOut.pdblVal = &start;
        VARIANT endOut{};
        endOut.vt = VT_BYREF | VT_R8;
        endOut.pdblVal = &end;
        const auto result =
            m_object.call(L"GetWidth", {Variant::integer(segment).value(), startOut, endOut});
        if (!result) {
            return unexpected(result.error());
        }
        return SegmentWidth{start, end};
    }

    CadResult<double> radius() override { return read<double>(m_radius, L"Radius", numberOf); }
    CadResult<double> arcLength() override {
        return read<double>(m_arcLength, L"ArcLength", numberOf);
    }
    CadResult<Point3> center() override { return read<Point3>(m_center, L"Center", pointOf); }
    CadResult<Point3> startPoint() override {
        return read<Point3>(m_startPoint, L"StartPoint", pointOf);
    }
    CadResult<Point3> endPoint() override { return read<Point3>(m_endPoint, L"EndPoint", pointOf); }
    CadResult<double> startAngle() override {
        return read<double>(m_startAngle, L"StartAngle", numberOf);
    }
    CadResult<double> endAngle() override {
        return read<double>(m_endAngle, L"EndAngle", numberOf);
    }

private:
    const CadResult<std::string>& keptObjectName() {
        return m_objectName.get([&] {
            // Read under the entity interface's own kind: every entity shares that member.
            m_object.setKind("Entity");
            auto name = convert<std::string>(m_object.get(L"ObjectName"), textOf);
            m_object.setKind(name ? "Entity:" + *name : std::string("Entity"));
            return name;
        });
    }

    // The class name comes first, so that the member's DISPID is looked up once per class.
    void ensureKind() { (void)keptObjectName(); }

    const CadResult<std::vector<double>>& keptCoordinates() {
        ensureKind();
        return m_coordinates.get(
            [&] { return convert<std::vector<double>>(m_object.get(L"Coordinates"), doublesOf); });
    }

    template <class T, class Convert>
    CadResult<T> read(Kept<T>& kept, const wchar_t* name, Convert converter) {
        ensureKind();
        return kept.get([&] { return convert<T>(m_object.get(name), converter); });
    }

    DispatchObject m_object;
    Kept<std::string> m_objectName;
    Kept<std::string> m_entityName;
    Kept<std::vector<double>> m_coordinates;
    Kept<double> m_elevation;
    Kept<Point3> m_normal;
    Kept<bool> m_closed;
    Kept<double> m_radius;
    Kept<double> m_arcLength;
    Kept<Point3> m_center;
    Kept<Point3> m_startPoint;
    Kept<Point3> m_endPoint;
    Kept<double> m_startAngle;
    Kept<double> m_endAngle;
};

class ComUtility : public Utility {
public:
    ComUtility(DispatchObject utility, DispatchObject document)
        : m_utility(std::move(utility)), m_document(std::move(document)) {}

    CadResult<Point3> getPoint(std::string_view prompt) override {
        m_ucs.reset();
        return convert<Point3>(
            m_utility.call(L"GetPoint", {Variant::missing().value(), promptArgument(prompt)}),
            pointOf);
    }

    CadResult<PickedEntity> getEntity(std::string_view prompt) override {
        m_ucs.reset();
        IDispatch* picked = nullptr;
        Variant pickedPoint;
        VARIANT objectOut{};
        objectOut.vt = VT_BYREF | VT_DISPATCH;
        objectOut.ppdispVal = &picked;
        VARIANT pointOut{};
        pointOut.vt = VT_BYREF | VT_VARIANT;
        pointOut.pvarVal = pickedPoint.get();
        const auto result =
            m_utility.call(L"GetEntity", {objectOut, pointOut, promptArgument(prompt)});
        ComPtr<IDispatch> object(picked);
        if (!result) {
            return unexpected(result.error());
        }
        const auto point = pointOf(pickedPoint.value());
        if (!point) {
            return unexpected(point.error());
        }
        PickedEntity entity{nullptr, *point};
        if (!object) {
            return entity;
        }
        // As a Visual Basic caller's Set entity = object: the entity interface or nothing.
        ComPtr<IDispatch> converted;
        Link& link = *m_utility.link();
        const HRESULT queried = callRetryingWhileBusy(link, [&] {
            return object->QueryInterface(kEntityInterfaceId,
                                          reinterpret_cast<void**>(converted.put()));
        });
        if (SUCCEEDED(queried) && converted) {
            entity.entity = std::make_shared<ComEntity>(
                DispatchObject(m_utility.link(), std::move(converted), "Entity"));
        }
        return entity;
    }

    CadResult<std::string> getString(bool hasSpaces, std::string_view prompt) override {
        m_ucs.reset();
        return convert<std::string>(
            m_utility.call(L"GetString",
                           {Variant::boolean(hasSpaces).value(), promptArgument(prompt)}),
            textOf);
    }

    CadResult<Point3> translateCoordinates(const Point3& point, int from, int to, bool displacement,
                                           const std::optional<Point3>& normal) override {
        return translateLocally(point, from, to, displacement, normal,
                                [this] { return userSystem(); });
    }

private:
    // The prompt argument; the text lives in m_prompt until the next request.
    VARIANT promptArgument(std::string_view prompt) {
        m_prompt = Variant::text(prompt);
        return m_prompt.value();
    }

    CadResult<geometry::Vec3> variable(const wchar_t* name) {
        Variant argument = Variant::text(toUtf8(name));
        const auto point =
            convert<Point3>(m_document.call(L"GetVariable", {argument.value()}), pointOf);
        if (!point) {
            return unexpected(point.error());
        }
        return geometry::Vec3{(*point)[0], (*point)[1], (*point)[2]};
    }

    CadResult<geometry::Ucs> userSystem() {
        if (!m_ucs) {
            geometry::Ucs ucs;
            for (auto [name, target] :
                 {std::pair{L"UCSORG", &ucs.origin}, std::pair{L"UCSXDIR", &ucs.xAxis},
                  std::pair{L"UCSYDIR", &ucs.yAxis}}) {
                const auto value = variable(name);
                if (!value) {
                    return unexpected(value.error());
                }
                *target = *value;
            }
            m_ucs = ucs;
        }
        return *m_ucs;
    }

    DispatchObject m_utility;
    DispatchObject m_document;
    Variant m_prompt;
    std::optional<geometry::Ucs> m_ucs;
};

class ComDocument : public Document {
public:
    explicit ComDocument(DispatchObject document) : m_document(std::move(document)) {}

    // A document has one Utility for its whole life: asked for once.
    CadResult<std::shared_ptr<Utility>> utility() override {
        if (!m_utility) {
            auto object = objectOf(m_document.link(), m_document.get(L"Utility"), "Utility");
            if (!object) {
                return unexpected(object.error());
            }
            m_utility = std::make_shared<ComUtility>(std::move(*object), m_document);
        }
        return std::shared_ptr<Utility>(m_utility);
    }

private:
    DispatchObject m_document;
    std::shared_ptr<ComUtility> m_utility;
};

class ComApplication : public Application {
public:
    explicit ComApplication(DispatchObject application) : m_application(std::move(application)) {}

    CadResult<std::shared_ptr<Document>> activeDocument() override {
        auto object =
            objectOf(m_application.link(), m_application.get(L"ActiveDocument"), "Document");
        if (!object) {
            return unexpected(object.error());
        }
        return std::shared_ptr<Document>(std::make_shared<ComDocument>(std::move(*object)));
    }

    CadStatus setWindowState(int state) override {
        return m_application.put(L"WindowState", Variant::integer(state));
    }

private:
    DispatchObject m_application;
};

} // namespace

CadResult<std::shared_ptr<Application>> ComRegistry::bind(std::string_view progId) {
    CLSID classId{};
    const std::wstring wide = toWide(progId);
    if (const HRESULT found = CLSIDFromProgID(wide.c_str(), &classId); FAILED(found)) {
        m_lastLink = std::make_shared<Link>(m_policy);
        return unexpected(static_cast<automation::HResult>(found));
    }
    // Identifiers of one AutoCAD version name one class, one type library and so one set of
    // DISPIDs; another version is another class with a cache of its own.
    wchar_t classText[40] = {};
    StringFromGUID2(classId, classText, 40);
    std::shared_ptr<DispIdCache>& dispIds = m_dispIds[classText];
    if (!dispIds) {
        dispIds = std::make_shared<DispIdCache>();
    }
    auto link = std::make_shared<Link>(m_policy, dispIds);
    m_lastLink = link;
    ComPtr<IUnknown> running;
    const HRESULT active = callRetryingWhileBusy(
        *link, [&] { return GetActiveObject(classId, nullptr, running.put()); });
    if (FAILED(active)) {
        return unexpected(static_cast<automation::HResult>(active));
    }
    ComPtr<IDispatch> dispatch;
    const HRESULT queried = callRetryingWhileBusy(*link, [&] {
        return running->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.put()));
    });
    if (FAILED(queried)) {
        return unexpected(static_cast<automation::HResult>(queried));
    }
    return std::shared_ptr<Application>(std::make_shared<ComApplication>(
        DispatchObject(std::move(link), std::move(dispatch), "Application")));
}

std::uint64_t ComRegistry::calls() const {
    return m_lastLink ? m_lastLink->calls() : 0;
}

RaisedException ComRegistry::lastException() const {
    return m_lastLink ? m_lastLink->lastException() : RaisedException{};
}

} // namespace vexilo::cad::com
