// The capture commands, the arc operation and the width report running unchanged over the COM
// backend against the stand-in AutoCAD, a separate process reached through the running object
// table. Expected coordinates come from ezdxf (tests/com/make_drawing.py).
#include "cad/cad_session.h"
#include "cad/com/com_backend.h"
#include "cad/fake/fake_cad.h"
#include "capture/arc_division.h"
#include "capture/pick_points.h"
#include "capture/pick_polyline.h"
#include "stand_in_process.h"
#include "widthreport/width_report.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

namespace vexilo::cad::com::testing {
namespace {

using namespace std::chrono_literals;
using Rows = std::vector<std::vector<std::string>>;

constexpr automation::HResult kCallRejectedCode =
    static_cast<automation::HResult>(RPC_E_CALL_REJECTED);

// What ezdxf computed for the tests' drawing, by name ("mirrored.user", "arc.length", ...).
const std::map<std::string, std::vector<double>>& expected() {
    static const std::map<std::string, std::vector<double>> values = [] {
        std::map<std::string, std::vector<double>> read;
        std::ifstream in(VEXILO_COM_TEST_DATA "/expected.txt");
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string name;
            fields >> name;
            double v = 0.0;
            while (fields >> v) {
                read[name].push_back(v);
            }
        }
        return read;
    }();
    return values;
}

const std::vector<double>& expect(const std::string& name) {
    static const std::vector<double> none;
    const auto found = expected().find(name);
    EXPECT_NE(found, expected().end()) << name << " missing from expected.txt";
    return found == expected().end() ? none : found->second;
}

// A coordinate cell holds the value rounded to three places.
void expectCell(const std::string& cell, double value) {
    char* end = nullptr;
    const double number = std::strtod(cell.c_str(), &end);
    ASSERT_TRUE(!cell.empty() && *end == '\0') << "not a number: " << cell;
    EXPECT_NEAR(number, value, 0.0005 + 1e-9) << cell;
}

// Rows from `first` on hold the vertices (X, Y pairs) coded code-1, code-2, ...; unswapped,
// "X坐标" is the Y.
void expectVertexRows(const Rows& rows, std::size_t first, const std::vector<double>& xy,
                      const std::string& code) {
    ASSERT_GE(rows.size(), first + xy.size() / 2);
    for (std::size_t v = 0; v < xy.size() / 2; ++v) {
        SCOPED_TRACE(code + " vertex " + std::to_string(v));
        const auto& row = rows[first + v];
        EXPECT_EQ(row[1], code + "-" + std::to_string(v + 1));
        expectCell(row[2], xy[2 * v + 1]);
        expectCell(row[3], xy[2 * v]);
    }
}

// Records every identifier the attach step tries.
class RecordingRegistry : public RunningObjectRegistry {
public:
    explicit RecordingRegistry(RunningObjectRegistry& inner) : m_inner(inner) {}
    CadResult<std::shared_ptr<Application>> bind(std::string_view progId) override {
        tried.emplace_back(progId);
        return m_inner.bind(progId);
    }
    std::vector<std::string> tried;

private:
    RunningObjectRegistry& m_inner;
};

// The window's side: its apartment, options, table and message boxes, and the command objects.
class ComLinkTest : public ::testing::Test {
protected:
    explicit ComLinkTest(RetryPolicy policy = {std::chrono::milliseconds(3000), 50ms})
        : apartment(policy), registry(policy) {}

    void SetUp() override { ASSERT_TRUE(apartment.ok()); }

    Rows rows() const {
        Rows result;
        for (int r = 1; r < table.rowCount(); ++r) {
            result.push_back(
                {table.cell(r, 0), table.cell(r, 1), table.cell(r, 2), table.cell(r, 3)});
        }
        return result;
    }
    std::vector<std::string> windowLog() const { return log->entries(); }

    // The calls that crossed to AutoCAD in one run of Command2 that lists `polylines` times the
    // polyline "L" of `vertices` vertices, in the user or the world system.
    std::uint64_t polylineCalls(int vertices, int polylines, bool user) {
        std::vector<std::string> script;
        for (int i = 0; i < polylines; ++i) {
            script.insert(script.end(), {"L", "K" + std::to_string(i)});
        }
        script.push_back("^C");
        options.userSystem = user;
        StandInOptions longPolyline;
        longPolyline.drawing = writeLongPolylineDrawing(vertices);
        StandIn autocad(script, longPolyline);
        EXPECT_TRUE(autocad.ready());
        const std::size_t before = rows().size();
        capture::Command2_Click(context);
        EXPECT_EQ(rows().size() - before, static_cast<std::size_t>(vertices * polylines));
        return registry.calls();
    }

    ComApartment apartment;
    ComRegistry registry;
    RecordingRegistry recording{registry};
    std::shared_ptr<fake::CallLog> log = std::make_shared<fake::CallLog>();
    fake::FakeOptions options;
    fake::FakeWindow window{log};
    CadSession session{recording};
    CoordinateTable table;
    PointRecorder recorder{session, table, options};
    capture::CaptureContext context{session, recorder, options, window};
};

TEST_F(ComLinkTest, AttachTriesTheIdentifiersInOrder) {
    struct Case {
        std::vector<std::string> registered;
        std::size_t tries;
        bool attached;
    };
    for (const Case& c : {Case{{"AutoCAD.Application.18"}, 4, true}, Case{{}, 6, false}}) {
        SCOPED_TRACE(c.tries);
        StandInOptions registered;
        registered.progIds = c.registered;
        StandIn autocad({"^C"}, registered);
        ASSERT_TRUE(autocad.ready());
        recording.tried.clear();
        log->clear();
        capture::Command1_Click(context);
        EXPECT_EQ(recording.tried,
                  std::vector<std::string>(kProgIdChain.begin(), kProgIdChain.begin() + c.tries));
        if (c.attached) {
            EXPECT_EQ(autocad.logged("Application.WindowState"),
                      std::vector<std::string>{"Application.WindowState=3"});
            EXPECT_EQ(windowLog(), (std::vector<std::string>{"minimise", "restore"}));
        } else {
            EXPECT_EQ(windowLog(), std::vector<std::string>{"information:请先打开CAD软件！"});
            EXPECT_TRUE(autocad.logged("Application.").empty());
        }
    }
}

TEST_F(ComLinkTest, PointsWithTypedAndCountedUpCodesInBothSystems) {
    for (const bool user : {true, false}) {
        SCOPED_TRACE(user ? "user system" : "world system");
        clearTable(table);
        options.userSystem = user;
        options.codeIncrement = true;
        StandIn autocad({"12.3456,45.6789", "10", "-20.5,7.25", "^C"});
        ASSERT_TRUE(autocad.ready());
        capture::Command1_Click(context);
        const Rows r = rows();
        ASSERT_EQ(r.size(), 2U);
        EXPECT_EQ(r[0][1], "10");
        EXPECT_EQ(r[1][1], "11");
        if (user) {
            EXPECT_EQ((std::vector<std::string>{r[0][2], r[0][3]}),
                      (std::vector<std::string>{"45.679", "12.346"}));
            EXPECT_EQ((std::vector<std::string>{r[1][2], r[1][3]}),
                      (std::vector<std::string>{"7.25", "-20.5"}));
        } else {
            expectCell(r[0][2], expect("typed0.world")[1]);
            expectCell(r[0][3], expect("typed0.world")[0]);
            expectCell(r[1][2], expect("typed1.world")[1]);
            expectCell(r[1][3], expect("typed1.world")[0]);
        }
        // Texts cross as BSTR: the Chinese prompts arrive whole.
        EXPECT_EQ(autocad.logged("Utility.GetPoint"),
                  std::vector<std::string>(
                      3, "Utility.GetPoint(missing,\"请选择点：<退出键取消选择> \")"));
        EXPECT_EQ(autocad.logged("Utility.GetString"),
                  std::vector<std::string>{
                      "Utility.GetString(false,\"\r命令：请输入点的编码：<退出键取消输入>\")"});
    }
}

TEST_F(ComLinkTest, EscEndsEachPromptQuietly) {
    struct Case {
        const char* prompt;
        std::vector<std::string> script;
        std::function<void()> run;
    };
    const std::vector<Case> cases{
        {"point", {"^C"}, [&] { capture::Command1_Click(context); }},
        {"point code", {"1,2", "^C"}, [&] { capture::Command1_Click(context); }},
        {"polyline", {"^C"}, [&] { capture::Command2_Click(context); }},
        {"polyline code", {"A2", "^C"}, [&] { capture::Command2_Click(context); }},
        {"arc", {"^C"}, [&] { EXPECT_FALSE(capture::yh(context).answered); }},
        {"arc count", {"A5", "^C"}, [&] { EXPECT_FALSE(capture::yh(context).answered); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prompt);
        log->clear();
        StandIn autocad(c.script);
        ASSERT_TRUE(autocad.ready());
        c.run();
        EXPECT_TRUE(rows().empty());
        EXPECT_TRUE(log->matching("information").empty());
        EXPECT_TRUE(autocad.logged("unscripted").empty());
        // What AutoCAD raised is kept for the log; the call itself failed with the cancel code.
        EXPECT_EQ(registry.lastException().description, "User pressed Esc");
    }
}

TEST_F(ComLinkTest, PolylinesInBothSystemsUnderARotatedUserSystem) {
    struct Case {
        const char* name;
        bool user;
        bool variantArrays;
        long lowerBound;
    };
    for (const Case& c : {Case{"user", true, false, 0}, Case{"world", false, false, 0},
                          Case{"user, arrays of variants from 1", true, true, 1}}) {
        SCOPED_TRACE(c.name);
        clearTable(table);
        options.userSystem = c.user;
        StandInOptions arrays;
        arrays.variantArrays = c.variantArrays;
        arrays.lowerBound = c.lowerBound;
        StandIn autocad({"A1", "M", "A3", "D", "^C"}, arrays);
        ASSERT_TRUE(autocad.ready());
        capture::Command2_Click(context);
        const Rows r = rows();
        ASSERT_EQ(r.size(), 7U);
        // The mirrored parcel (extrusion 0,0,-1, elevation 12.5) is converted from its object
        // system in both systems: in the world one its easting keeps its sign.
        expectVertexRows(r, 0, expect(c.user ? "mirrored.user" : "mirrored.world"), "M");
        expectVertexRows(r, 4, expect(c.user ? "ditch.user" : "ditch.world"), "D");
        EXPECT_TRUE(log->matching("information").empty());
    }
}

TEST_F(ComLinkTest, AnotherAutoCadVersionLooksItsNamesUpAgain) {
    // One identifier reaches one AutoCAD version, then, restarted, another whose members have
    // other DISPIDs: the DISPIDs of the first are not used on the second.
    options.userSystem = true;
    for (const bool other : {false, true}) {
        SCOPED_TRACE(other ? "other version" : "first version");
        clearTable(table);
        StandInOptions version;
        version.otherVersion = other;
        StandIn autocad({"A1", "M", "^C"}, version);
        ASSERT_TRUE(autocad.ready());
        capture::Command2_Click(context);
        expectVertexRows(rows(), 0, expect("mirrored.user"), "M");
        EXPECT_FALSE(autocad.logged("Entity.GetIDsOfNames(Coordinates)").empty());
    }
}

TEST_F(ComLinkTest, ALineIsNotAPolyline) {
    StandIn autocad({"A4"});
    ASSERT_TRUE(autocad.ready());
    capture::Command2_Click(context);
    EXPECT_TRUE(rows().empty());
    EXPECT_EQ(log->matching("information"),
              std::vector<std::string>{"information:选择的不是多段线！"});
}

TEST_F(ComLinkTest, TheArcCountPromptGivesItsLength) {
    StandIn autocad({"A5", "5"});
    ASSERT_TRUE(autocad.ready());
    const capture::ArcRun run = capture::yh(context);
    EXPECT_TRUE(run.answered);
    EXPECT_NEAR(run.arcLength, expect("arc.length")[0], 1e-9);
    EXPECT_EQ(autocad.logged("Utility.GetString"),
              std::vector<std::string>{"Utility.GetString(false,\"" +
                                       capture::pointCountPrompt(expect("arc.length")[0]) + "\")"});
}

TEST_F(ComLinkTest, WidthReportMessages) {
    ErrorState errors;
    {
        StandIn autocad({"A1"});
        ASSERT_TRUE(autocad.ready());
        ASSERT_TRUE(session.Attach(window, errors));
        log->clear();
        widthreport::Example_GetWidth(session, window);
        const std::vector<double>& xy = expect("mirrored.ocs");
        const std::vector<double>& widths = expect("mirrored.widths");
        std::vector<std::string> boxes;
        for (std::size_t s = 0; s < 4; ++s) {
            boxes.push_back("plain[GetWidth Example]:" +
                            widthreport::segmentText(xy[2 * s], xy[2 * s + 1], widths[2 * s],
                                                     widths[2 * s + 1]));
        }
        EXPECT_EQ(windowLog(), boxes);
        EXPECT_EQ(autocad.logged("Entity.GetWidth").size(), 4U);
    }
    {
        StandIn autocad({"A4"});
        ASSERT_TRUE(autocad.ready());
        ASSERT_TRUE(session.Attach(window, errors));
        log->clear();
        widthreport::Example_GetWidth(session, window);
        EXPECT_EQ(windowLog(), std::vector<std::string>{"plain[]:You did not select a polyline"});
    }
}

TEST_F(ComLinkTest, AutoCadKilledMidPickKeepsTheRowsAndTheNextCommandAttachesAfresh) {
    {
        StandIn autocad({"1,2", "P1", "^die"});
        ASSERT_TRUE(autocad.ready());
        capture::Command1_Click(context);
        EXPECT_TRUE(autocad.exited());
        EXPECT_EQ(autocad.logged("died").size(), 1U);
    }
    ASSERT_EQ(rows().size(), 1U);
    EXPECT_EQ(windowLog(), (std::vector<std::string>{"minimise", "restore"}));
    StandIn restarted({"3,4", "P2", "^C"});
    ASSERT_TRUE(restarted.ready());
    capture::Command1_Click(context);
    const Rows r = rows();
    ASSERT_EQ(r.size(), 2U);
    EXPECT_EQ(r[0][1], "P1");
    EXPECT_EQ((std::vector<std::string>{r[1][0], r[1][1], r[1][2], r[1][3]}),
              (std::vector<std::string>{"2", "P2", "4", "3"}));
}

TEST_F(ComLinkTest, ABusyAutoCadIsRetried) {
    StandInOptions busy;
    busy.busyMilliseconds = 600;
    StandIn autocad({"1,2", "B1", "^C"}, busy);
    ASSERT_TRUE(autocad.ready());
    capture::Command1_Click(context);
    EXPECT_EQ(rows().size(), 1U);
    EXPECT_FALSE(autocad.logged("busy: call rejected").empty());
}

class BriefRetryTest : public ComLinkTest {
protected:
    BriefRetryTest() : ComLinkTest({300ms, 50ms}) {}
};

TEST_F(BriefRetryTest, AnAutoCadBusyBeyondTheBoundFailsWithTheRefusal) {
    StandInOptions busy;
    busy.busyMilliseconds = 60000;
    StandIn autocad({}, busy);
    ASSERT_TRUE(autocad.ready());
    const auto application = registry.bind("AutoCAD.Application");
    ASSERT_TRUE(application);
    const auto start = std::chrono::steady_clock::now();
    const auto document = (*application)->activeDocument();
    ASSERT_FALSE(document);
    EXPECT_EQ(document.error(), kCallRejectedCode);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_GT(autocad.logged("busy: call rejected").size(), 1U);
}

TEST_F(ComLinkTest, TheWindowKeepsPaintingWhileAutoCadWaitsForThePerson) {
    static std::atomic<int> paints{0};
    WNDCLASSW windowClass{};
    windowClass.lpszClassName = L"VexiloPaintProbe";
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM w, LPARAM l) -> LRESULT {
        if (message == WM_PAINT) {
            PAINTSTRUCT paint;
            BeginPaint(hwnd, &paint);
            EndPaint(hwnd, &paint);
            ++paints;
            return 0;
        }
        return DefWindowProcW(hwnd, message, w, l);
    };
    RegisterClassW(&windowClass);
    HWND probe = CreateWindowW(L"VexiloPaintProbe", L"probe", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                               nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(probe, nullptr);
    ShowWindow(probe, SW_SHOW);
    StandIn autocad({"^wait 1500", "^C"});
    ASSERT_TRUE(autocad.ready());
    std::atomic<bool> picking{true};
    std::thread damage([&] {
        while (picking) {
            InvalidateRect(probe, nullptr, TRUE);
            std::this_thread::sleep_for(50ms);
        }
    });
    const int before = paints;
    capture::Command1_Click(context);
    picking = false;
    damage.join();
    EXPECT_GE(paints - before, 5);
    DestroyWindow(probe);
}

// One window's commands in the user or the world system, from a registry that has looked no
// name up yet.
class CallCountTest : public ComLinkTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CallCountTest, APolylineCostsTheSameFewCallsWhateverItsVertexCount) {
    const bool user = GetParam();
    // Each command binds afresh; the member names are looked up in the first commands only.
    const std::uint64_t attachCold = polylineCalls(4, 0, user);
    const std::uint64_t oneCold = polylineCalls(4, 1, user);
    const std::uint64_t attach = polylineCalls(4, 0, user);
    const std::uint64_t oneLong = polylineCalls(1000, 1, user);
    const std::uint64_t two = polylineCalls(4, 2, user);
    const std::uint64_t twoLong = polylineCalls(1000, 2, user);
    // Attach and Esc: GetActiveObject, QueryInterface, ActiveDocument, WindowState, Utility,
    // GetEntity, each name looked up once. A polyline: GetEntity, QueryInterface, ObjectName,
    // Coordinates, GetString, Elevation, Normal, and in the user system the three GetVariable;
    // the first ever also looks those names up.
    const std::vector<std::uint64_t> expected =
        user ? std::vector<std::uint64_t>{10, 6 + 16, 6, 6 + 10, 6 + 20, 6 + 20}
             : std::vector<std::uint64_t>{10, 6 + 12, 6, 6 + 7, 6 + 14, 6 + 14};
    EXPECT_EQ((std::vector<std::uint64_t>{attachCold, oneCold, attach, oneLong, two, twoLong}),
              expected);
    std::printf("%s system: attach and Esc %llu calls (%llu the first time), first polyline %llu "
                "(%llu the first time), each further %llu\n",
                user ? "user" : "world", static_cast<unsigned long long>(attach),
                static_cast<unsigned long long>(attachCold),
                static_cast<unsigned long long>(oneLong - attach),
                static_cast<unsigned long long>(oneCold - attach),
                static_cast<unsigned long long>(twoLong - oneLong));
}

INSTANTIATE_TEST_SUITE_P(Systems, CallCountTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "User" : "World");
                         });

} // namespace
} // namespace vexilo::cad::com::testing
