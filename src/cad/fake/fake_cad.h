// A scripted stand-in for the CAD program, the window's options and the window itself, for the
// tests of the commands: answers come from queues, any member can be made to fail with any
// code, and every call is logged in order with its arguments and prompt texts.
#pragma once

#include "cad/automation.h"
#include "cad/ports.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexilo::cad::fake {

/// The calls every fake object received, in the order received, one text per call:
///   bind(AutoCAD.Application.18)     ActiveDocument      WindowState=3
///   GetPoint("prompt")   GetEntity("prompt")   GetString(false,"prompt")
///   TranslateCoordinates((x,y,z),0,1,false)  or  ...,4,1,false,(nx,ny,nz))
///   <entity label>.ObjectName   .Coordinate(2)   .GetWidth(0)   ...
///   window: minimise   restore   information:<text>   plain[<title>]:<text>
/// Numbers are written in their shortest round-trip form. Reads of a document's `Utility` are
/// counted, not logged, because every request goes through one.
class CallLog {
public:
    void add(std::string entry) { m_entries.push_back(std::move(entry)); }
    const std::vector<std::string>& entries() const { return m_entries; }
    /// The prompt texts of the interactive requests, in order.
    const std::vector<std::string>& prompts() const { return m_prompts; }
    void addPrompt(std::string_view prompt) { m_prompts.emplace_back(prompt); }
    /// Interactive requests that found no scripted answer (they failed with
    /// automation::kDisconnectedCode).
    const std::vector<std::string>& unscripted() const { return m_unscripted; }
    void addUnscripted(std::string entry) { m_unscripted.push_back(std::move(entry)); }
    /// Entries whose text starts with `prefix`.
    std::vector<std::string> matching(std::string_view prefix) const;
    void clear();

private:
    std::vector<std::string> m_entries;
    std::vector<std::string> m_prompts;
    std::vector<std::string> m_unscripted;
};

/// Shortest round-trip text of a double, as the log writes numbers.
std::string logNumber(double value);
/// "(x,y,z)" as the log writes points.
std::string logPoint(const Point3& point);

/// Member failures that any fake object can be told to produce, keyed by the member's name as
/// the log writes it ("ActiveDocument", "WindowState", "Utility", "Elevation", "Coordinate",
/// "TranslateCoordinates", ...).
class FailureScript {
public:
    /// The next `times` calls of the member fail with `code`; a code of 0 lets those calls
    /// through, so that failures and successes can be queued in any order.
    void failNext(const std::string& member, automation::HResult code, int times = 1);
    /// Every call of the member fails with `code` (after any failNext entries are used up).
    void failAlways(const std::string& member, automation::HResult code);
    /// Consumes the failure due for this call of the member, if any.
    std::optional<automation::HResult> take(const std::string& member);

private:
    std::map<std::string, std::deque<automation::HResult>> m_next;
    std::map<std::string, automation::HResult> m_always;
};

/// An entity whose properties are plain fields; an absent field makes its member fail with
/// automation::kUnknownMemberCode, as a member the kind lacks does in the CAD.
class FakeEntity : public Entity {
public:
    FakeEntity(std::shared_ptr<CallLog> log, std::string label)
        : m_log(std::move(log)), m_label(std::move(label)) {}

    std::optional<std::string> kind;            ///< ObjectName and EntityName
    std::optional<std::string> entityNameValue; ///< EntityName when it differs from kind
    std::optional<std::vector<double>> coordinatesValue;
    int valuesPerVertex = 2; ///< what Coordinate(i) returns: 2 (X, Y) or 3 (X, Y, Z)
    std::optional<double> elevationValue;
    std::optional<Point3> normalValue;
    std::optional<bool> closedValue;
    /// Widths by segment; a missing or empty entry makes GetWidth fail with
    /// automation::kBadIndexCode.
    std::vector<std::optional<SegmentWidth>> widths;
    std::optional<double> radiusValue;
    std::optional<double> arcLengthValue;
    std::optional<Point3> centerValue;
    std::optional<Point3> startPointValue;
    std::optional<Point3> endPointValue;
    std::optional<double> startAngleValue;
    std::optional<double> endAngleValue;
    FailureScript failures;

    const std::string& label() const { return m_label; }

    CadResult<std::string> objectName() override;
    CadResult<std::string> entityName() override;
    CadResult<std::vector<double>> coordinates() override;
    CadResult<std::vector<double>> coordinate(std::int32_t index) override;
    CadResult<double> elevation() override;
    CadResult<Point3> normal() override;
    CadResult<bool> closed() override;
    CadResult<SegmentWidth> getWidth(std::int32_t segment) override;
    CadResult<double> radius() override;
    CadResult<double> arcLength() override;
    CadResult<Point3> center() override;
    CadResult<Point3> startPoint() override;
    CadResult<Point3> endPoint() override;
    CadResult<double> startAngle() override;
    CadResult<double> endAngle() override;

private:
    template <class T>
    CadResult<T> read(const std::string& member, const std::optional<T>& value,
                      const std::string& logged = {});

    std::shared_ptr<CallLog> m_log;
    std::string m_label;
};

/// One scripted answer of an interactive request, with an optional action run just before the
/// answer is given (to change an option "while the person picks", for instance).
template <class T> struct Answer {
    CadResult<T> result;
    std::function<void()> before;
};

/// The utility object: interactive requests answered from queues, TranslateCoordinates
/// computed from a user system (origin and axes, world system by default) and, for the object
/// system, the arbitrary-axis algorithm of the entity's normal.
class FakeUtility : public Utility {
public:
    explicit FakeUtility(std::shared_ptr<CallLog> log) : m_log(std::move(log)) {}

    void answerPoint(Point3 point, std::function<void()> before = {});
    void answerString(std::string text, std::function<void()> before = {});
    void answerEntity(std::shared_ptr<Entity> entity, std::function<void()> before = {});
    /// The next request of that member ("GetPoint", "GetEntity", "GetString") fails with code.
    void failRequest(const std::string& member, automation::HResult code,
                     std::function<void()> before = {});

    /// The user system: origin and X, Y axes in world coordinates (normalised on use).
    Point3 ucsOrigin{0.0, 0.0, 0.0};
    Point3 ucsXAxis{1.0, 0.0, 0.0};
    Point3 ucsYAxis{0.0, 1.0, 0.0};
    FailureScript failures; ///< "TranslateCoordinates" here; requests via failRequest

    CadResult<Point3> getPoint(std::string_view prompt) override;
    CadResult<PickedEntity> getEntity(std::string_view prompt) override;
    CadResult<std::string> getString(bool hasSpaces, std::string_view prompt) override;
    CadResult<Point3> translateCoordinates(const Point3& point, int from, int to, bool displacement,
                                           const std::optional<Point3>& normal) override;

    /// Requests still waiting in the queues.
    std::size_t pendingAnswers() const;

private:
    template <class T> CadResult<T> next(std::deque<Answer<T>>& queue, const std::string& entry);

    std::shared_ptr<CallLog> m_log;
    std::deque<Answer<Point3>> m_points;
    std::deque<Answer<PickedEntity>> m_entities;
    std::deque<Answer<std::string>> m_strings;
};

class FakeDocument : public Document {
public:
    FakeDocument(std::shared_ptr<CallLog> log, std::string label);
    std::shared_ptr<FakeUtility> fakeUtility;
    FailureScript failures; ///< "Utility"
    int utilityReads = 0;
    const std::string& label() const { return m_label; }
    CadResult<std::shared_ptr<Utility>> utility() override;

private:
    std::shared_ptr<CallLog> m_log;
    std::string m_label;
};

class FakeApplication : public Application {
public:
    explicit FakeApplication(std::shared_ptr<CallLog> log) : m_log(std::move(log)) {}
    /// The drawing ActiveDocument returns; none makes it fail with automation::kNoDocumentCode.
    std::shared_ptr<FakeDocument> active;
    int windowState = kWindowNormal;
    FailureScript failures; ///< "ActiveDocument", "WindowState"
    CadResult<std::shared_ptr<Document>> activeDocument() override;
    CadStatus setWindowState(int state) override;

private:
    std::shared_ptr<CallLog> m_log;
};

class FakeRegistry : public RunningObjectRegistry {
public:
    explicit FakeRegistry(std::shared_ptr<CallLog> log) : m_log(std::move(log)) {}
    /// Applications by identifier; an identifier not here fails with automation::kNotRunningCode.
    std::map<std::string, std::shared_ptr<FakeApplication>, std::less<>> running;
    CadResult<std::shared_ptr<Application>> bind(std::string_view progId) override;

private:
    std::shared_ptr<CallLog> m_log;
};

/// The window's option controls, at their initial values.
class FakeOptions : public OptionsPort {
public:
    bool userSystem = true;
    bool swap = false;
    bool codeIncrement = false;
    std::string increment = "1";
    std::string decimalPlaces = "3";
    std::string scale = "1";

    bool userSystemSelected() const override { return userSystem; }
    bool swapSelected() const override { return swap; }
    bool codeIncrementSelected() const override { return codeIncrement; }
    std::string incrementText() const override { return increment; }
    std::string decimalPlacesText() const override { return decimalPlaces; }
    std::string scaleText() const override { return scale; }
};

/// The window: logs minimise, restore and every message box into the shared log.
class FakeWindow : public WindowPort {
public:
    explicit FakeWindow(std::shared_ptr<CallLog> log) : m_log(std::move(log)) {}
    bool minimised = false;
    void minimise() override;
    void restore() override;
    void showInformation(std::string_view text) override;
    void showPlain(std::string_view title, std::string_view text) override;

private:
    std::shared_ptr<CallLog> m_log;
};

/// A running CAD with one open drawing, registered under "AutoCAD.Application", with a shared
/// log, plus the window and its options; the usual starting point of a test.
struct FakeCad {
    FakeCad();
    std::shared_ptr<CallLog> log;
    FakeRegistry registry;
    std::shared_ptr<FakeApplication> application;
    std::shared_ptr<FakeDocument> document;
    std::shared_ptr<FakeUtility> utility;
    FakeOptions options;
    FakeWindow window;

    /// A fresh entity logging under `label`.
    std::shared_ptr<FakeEntity> entity(std::string label);
    /// A lightweight polyline: vertices X, Y in its object system, elevation 0, normal +Z.
    std::shared_ptr<FakeEntity> lwPolyline(std::string label,
                                           const std::vector<std::array<double, 2>>& vertices,
                                           bool closed = false);
    /// A 3D polyline: vertices X, Y, Z in the world system; no Elevation, no Normal.
    std::shared_ptr<FakeEntity> polyline3d(std::string label, const std::vector<Point3>& vertices,
                                           bool closed = false);
    /// An arc in the world XY plane: centre, radius, angles in radians (counter-clockwise).
    std::shared_ptr<FakeEntity> arc(std::string label, Point3 center, double radius,
                                    double startAngle, double endAngle);
    /// An entity of another kind ("AcDbLine", "AcDbCircle", ...) with no geometry.
    std::shared_ptr<FakeEntity> other(std::string label, std::string kind);
};

} // namespace vexilo::cad::fake
