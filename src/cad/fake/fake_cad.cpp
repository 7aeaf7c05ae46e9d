// The scripted CAD, options and window used by the command tests.
#include "cad/fake/fake_cad.h"

#include <array>
#include <charconv>
#include <cmath>

namespace vexilo::cad::fake {
namespace {

Point3 add(const Point3& a, const Point3& b) {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
Point3 subtract(const Point3& a, const Point3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Point3 times(const Point3& a, double k) {
    return {a[0] * k, a[1] * k, a[2] * k};
}
double dot(const Point3& a, const Point3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Point3 cross(const Point3& a, const Point3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Point3 normalised(const Point3& a) {
    const double length = std::sqrt(dot(a, a));
    return length == 0.0 ? a : times(a, 1.0 / length);
}

/// The axes of an object system by the DXF arbitrary-axis algorithm.
std::array<Point3, 3> objectAxes(const Point3& normal) {
    const Point3 n = normalised(normal);
    const double limit = 1.0 / 64.0;
    const Point3 ax =
        normalised(std::fabs(n[0]) < limit && std::fabs(n[1]) < limit ? cross({0.0, 1.0, 0.0}, n)
                                                                      : cross({0.0, 0.0, 1.0}, n));
    const Point3 ay = normalised(cross(n, ax));
    return {ax, ay, n};
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

} // namespace

std::string logNumber(double value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string logPoint(const Point3& point) {
    return "(" + logNumber(point[0]) + "," + logNumber(point[1]) + "," + logNumber(point[2]) + ")";
}

std::vector<std::string> CallLog::matching(std::string_view prefix) const {
    std::vector<std::string> result;
    for (const std::string& entry : m_entries) {
        if (std::string_view(entry).starts_with(prefix)) {
            result.push_back(entry);
        }
    }
    return result;
}

void CallLog::clear() {
    m_entries.clear();
    m_prompts.clear();
    m_unscripted.clear();
}

void FailureScript::failNext(const std::string& member, automation::HResult code, int times) {
    for (int i = 0; i < times; ++i) {
        m_next[member].push_back(code);
    }
}

void FailureScript::failAlways(const std::string& member, automation::HResult code) {
    m_always[member] = code;
}

std::optional<automation::HResult> FailureScript::take(const std::string& member) {
    if (auto next = m_next.find(member); next != m_next.end() && !next->second.empty()) {
        const automation::HResult code = next->second.front();
        next->second.pop_front();
        if (code == 0) {
            return std::nullopt;
        }
        return code;
    }
    if (auto always = m_always.find(member); always != m_always.end()) {
        return always->second;
    }
    return std::nullopt;
}

template <class T>
CadResult<T> FakeEntity::read(const std::string& member, const std::optional<T>& value,
                              const std::string& logged) {
    m_log->add(m_label + "." + (logged.empty() ? member : logged));
    if (const std::optional<automation::HResult> code = failures.take(member)) {
        return unexpected(*code);
    }
    if (!value) {
        return unexpected(automation::kUnknownMemberCode);
    }
    return *value;
}

CadResult<std::string> FakeEntity::objectName() {
    return read("ObjectName", kind);
}

CadResult<std::string> FakeEntity::entityName() {
    return read("EntityName", entityNameValue ? entityNameValue : kind);
}

CadResult<std::vector<double>> FakeEntity::coordinates() {
    return read("Coordinates", coordinatesValue);
}

CadResult<std::vector<double>> FakeEntity::coordinate(std::int32_t index) {
    std::optional<std::vector<double>> vertex;
    if (coordinatesValue) {
        const auto first =
            static_cast<std::size_t>(index) * static_cast<std::size_t>(valuesPerVertex);
        if (index >= 0 &&
            first + static_cast<std::size_t>(valuesPerVertex) <= coordinatesValue->size()) {
            vertex.emplace(
                coordinatesValue->begin() + static_cast<std::ptrdiff_t>(first),
                coordinatesValue->begin() +
                    static_cast<std::ptrdiff_t>(first + static_cast<std::size_t>(valuesPerVertex)));
        }
    }
    CadResult<std::vector<double>> result =
        read("Coordinate", std::optional<std::vector<double>>(std::vector<double>{}),
             "Coordinate(" + std::to_string(index) + ")");
    if (!result) {
        return result;
    }
    if (!coordinatesValue) {
        return unexpected(automation::kUnknownMemberCode);
    }
    if (!vertex) {
        return unexpected(automation::kBadIndexCode);
    }
    return *vertex;
}

CadResult<double> FakeEntity::elevation() {
    return read("Elevation", elevationValue);
}

CadResult<Point3> FakeEntity::normal() {
    return read("Normal", normalValue);
}

CadResult<bool> FakeEntity::closed() {
    return read("Closed", closedValue);
}

CadResult<SegmentWidth> FakeEntity::getWidth(std::int32_t segment) {
    std::optional<SegmentWidth> width;
    if (segment >= 0 && static_cast<std::size_t>(segment) < widths.size()) {
        width = widths[static_cast<std::size_t>(segment)];
    }
    CadResult<SegmentWidth> result = read("GetWidth", std::optional<SegmentWidth>(SegmentWidth{}),
                                          "GetWidth(" + std::to_string(segment) + ")");
    if (!result) {
        return result;
    }
    if (!width) {
        return unexpected(automation::kBadIndexCode);
    }
    return *width;
}

CadResult<double> FakeEntity::radius() {
    return read("Radius", radiusValue);
}

CadResult<double> FakeEntity::arcLength() {
    return read("ArcLength", arcLengthValue);
}

CadResult<Point3> FakeEntity::center() {
    return read("Center", centerValue);
}

CadResult<Point3> FakeEntity::startPoint() {
    return read("StartPoint", startPointValue);
}

CadResult<Point3> FakeEntity::endPoint() {
    return read("EndPoint", endPointValue);
}

CadResult<double> FakeEntity::startAngle() {
    return read("StartAngle", startAngleValue);
}

CadResult<double> FakeEntity::endAngle() {
    return read("EndAngle", endAngleValue);
}

void FakeUtility::answerPoint(Point3 point, std::function<void()> before) {
    m_points.push_back({point, std::move(before)});
}

void FakeUtility::answerString(std::string text, std::function<void()> before) {
    m_strings.push_back({std::move(text), std::move(before)});
}

void FakeUtility::answerEntity(std::shared_ptr<Entity> entity, std::function<void()> before) {
    m_entities.push_back({PickedEntity{std::move(entity), {}}, std::move(before)});
}

void FakeUtility::failRequest(const std::string& member, automation::HResult code,
                              std::function<void()> before) {
    if (member == "GetPoint") {
        m_points.push_back({unexpected(code), std::move(before)});
    } else if (member == "GetEntity") {
        m_entities.push_back({unexpected(code), std::move(before)});
    } else {
        m_strings.push_back({unexpected(code), std::move(before)});
    }
}

template <class T>
CadResult<T> FakeUtility::next(std::deque<Answer<T>>& queue, const std::string& entry) {
    m_log->add(entry);
    if (queue.empty()) {
        m_log->addUnscripted(entry);
        return unexpected(automation::kDisconnectedCode);
    }
    Answer<T> answer = std::move(queue.front());
    queue.pop_front();
    if (answer.before) {
        answer.before();
    }
    return std::move(answer.result);
}

CadResult<Point3> FakeUtility::getPoint(std::string_view prompt) {
    m_log->addPrompt(prompt);
    return next(m_points, "GetPoint(" + quoted(prompt) + ")");
}

CadResult<PickedEntity> FakeUtility::getEntity(std::string_view prompt) {
    m_log->addPrompt(prompt);
    return next(m_entities, "GetEntity(" + quoted(prompt) + ")");
}

CadResult<std::string> FakeUtility::getString(bool hasSpaces, std::string_view prompt) {
    m_log->addPrompt(prompt);
    return next(m_strings, std::string("GetString(") + (hasSpaces ? "true" : "false") + "," +
                               quoted(prompt) + ")");
}

CadResult<Point3> FakeUtility::translateCoordinates(const Point3& point, int from, int to,
                                                    bool displacement,
                                                    const std::optional<Point3>& normal) {
    std::string entry = "TranslateCoordinates(" + logPoint(point) + "," + std::to_string(from) +
                        "," + std::to_string(to) + "," + (displacement ? "true" : "false");
    if (normal) {
        entry += "," + logPoint(*normal);
    }
    m_log->add(entry + ")");
    if (const std::optional<automation::HResult> code = failures.take("TranslateCoordinates")) {
        return unexpected(*code);
    }
    const auto known = [](int system) {
        return system == kWorldSystem || system == kUserSystem || system == kEntitySystem;
    };
    if (!known(from) || !known(to) || (from == kEntitySystem && to == kEntitySystem) ||
        ((from == kEntitySystem || to == kEntitySystem) && !normal)) {
        return unexpected(automation::kInvalidArgumentCode);
    }
    const Point3 ux = normalised(ucsXAxis);
    const Point3 uy = normalised(ucsYAxis);
    const Point3 uz = normalised(cross(ux, uy));
    const Point3 origin = displacement ? Point3{0.0, 0.0, 0.0} : ucsOrigin;

    Point3 world = point;
    if (from == kUserSystem) {
        world =
            add(origin, add(times(ux, point[0]), add(times(uy, point[1]), times(uz, point[2]))));
    } else if (from == kEntitySystem) {
        const auto axes = objectAxes(*normal);
        world =
            add(times(axes[0], point[0]), add(times(axes[1], point[1]), times(axes[2], point[2])));
    }
    if (to == kUserSystem) {
        const Point3 d = subtract(world, origin);
        return Point3{dot(d, ux), dot(d, uy), dot(d, uz)};
    }
    if (to == kEntitySystem) {
        const auto axes = objectAxes(*normal);
        return Point3{dot(world, axes[0]), dot(world, axes[1]), dot(world, axes[2])};
    }
    return world;
}

std::size_t FakeUtility::pendingAnswers() const {
    return m_points.size() + m_entities.size() + m_strings.size();
}

FakeDocument::FakeDocument(std::shared_ptr<CallLog> log, std::string label)
    : fakeUtility(std::make_shared<FakeUtility>(log)), m_log(std::move(log)),
      m_label(std::move(label)) {}

CadResult<std::shared_ptr<Utility>> FakeDocument::utility() {
    ++utilityReads;
    if (const std::optional<automation::HResult> code = failures.take("Utility")) {
        return unexpected(*code);
    }
    return std::shared_ptr<Utility>(fakeUtility);
}

CadResult<std::shared_ptr<Document>> FakeApplication::activeDocument() {
    m_log->add("ActiveDocument");
    if (const std::optional<automation::HResult> code = failures.take("ActiveDocument")) {
        return unexpected(*code);
    }
    if (!active) {
        return unexpected(automation::kNoDocumentCode);
    }
    return std::shared_ptr<Document>(active);
}

CadStatus FakeApplication::setWindowState(int state) {
    m_log->add("WindowState=" + std::to_string(state));
    if (const std::optional<automation::HResult> code = failures.take("WindowState")) {
        return unexpected(*code);
    }
    windowState = state;
    return {};
}

CadResult<std::shared_ptr<Application>> FakeRegistry::bind(std::string_view progId) {
    m_log->add("bind(" + std::string(progId) + ")");
    const auto found = running.find(progId);
    if (found == running.end() || !found->second) {
        return unexpected(automation::kNotRunningCode);
    }
    return std::shared_ptr<Application>(found->second);
}

void FakeWindow::minimise() {
    minimised = true;
    m_log->add("minimise");
}

void FakeWindow::restore() {
    minimised = false;
    m_log->add("restore");
}

void FakeWindow::showInformation(std::string_view text) {
    m_log->add("information:" + std::string(text));
}

void FakeWindow::showPlain(std::string_view title, std::string_view text) {
    m_log->add("plain[" + std::string(title) + "]:" + std::string(text));
}

FakeCad::FakeCad()
    : log(std::make_shared<CallLog>()), registry(log),
      application(std::make_shared<FakeApplication>(log)),
      document(std::make_shared<FakeDocument>(log, "Drawing1")), utility(document->fakeUtility),
      window(log) {
    application->active = document;
    registry.running["AutoCAD.Application"] = application;
}

std::shared_ptr<FakeEntity> FakeCad::entity(std::string label) {
    return std::make_shared<FakeEntity>(log, std::move(label));
}

std::shared_ptr<FakeEntity> FakeCad::lwPolyline(std::string label,
                                                const std::vector<std::array<double, 2>>& vertices,
                                                bool closed) {
    auto polyline = entity(std::move(label));
    polyline->kind = "AcDbPolyline";
    polyline->valuesPerVertex = 2;
    std::vector<double> values;
    for (const auto& vertex : vertices) {
        values.push_back(vertex[0]);
        values.push_back(vertex[1]);
    }
    polyline->coordinatesValue = values;
    polyline->elevationValue = 0.0;
    polyline->normalValue = Point3{0.0, 0.0, 1.0};
    polyline->closedValue = closed;
    polyline->widths.assign(vertices.size(), SegmentWidth{0.0, 0.0});
    return polyline;
}

std::shared_ptr<FakeEntity> FakeCad::polyline3d(std::string label,
                                                const std::vector<Point3>& vertices, bool closed) {
    auto polyline = entity(std::move(label));
    polyline->kind = "AcDb3dPolyline";
    polyline->valuesPerVertex = 3;
    std::vector<double> values;
    for (const auto& vertex : vertices) {
        values.insert(values.end(), vertex.begin(), vertex.end());
    }
    polyline->coordinatesValue = values;
    polyline->closedValue = closed;
    return polyline;
}

std::shared_ptr<FakeEntity> FakeCad::arc(std::string label, Point3 center, double radius,
                                         double startAngle, double endAngle) {
    auto arc = entity(std::move(label));
    arc->kind = "AcDbArc";
    arc->centerValue = center;
    arc->radiusValue = radius;
    arc->startAngleValue = startAngle;
    arc->endAngleValue = endAngle;
    arc->startPointValue = Point3{center[0] + radius * std::cos(startAngle),
                                  center[1] + radius * std::sin(startAngle), center[2]};
    arc->endPointValue = Point3{center[0] + radius * std::cos(endAngle),
                                center[1] + radius * std::sin(endAngle), center[2]};
    double sweep = endAngle - startAngle;
    while (sweep <= 0.0) {
        sweep += 2.0 * 3.141592653589793;
    }
    arc->arcLengthValue = radius * sweep;
    arc->normalValue = Point3{0.0, 0.0, 1.0};
    return arc;
}

std::shared_ptr<FakeEntity> FakeCad::other(std::string label, std::string kind) {
    auto entity = this->entity(std::move(label));
    entity->kind = std::move(kind);
    return entity;
}

} // namespace vexilo::cad::fake
