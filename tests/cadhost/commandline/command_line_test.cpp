// The command line's state machine: every answer of every request kind from typed lines,
// clicks and scripts; the UCS of typed points; object snap; the host's commands.
#include "cadhost/commandline/command_line.h"

#include "../recorded_reply.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <fstream>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

namespace vexilo::cadhost {
namespace {

constexpr double kEps = 1e-9;

Entity lineEntity(std::uint64_t handle, Vec3 a, Vec3 b) {
    return Entity{handle, 0, kColorByLayer, EntityType::Line, LineData{a, b}};
}

// A line along the X axis, a crossing line, a circle, a POINT on a polyline's first vertex and a
// polyline whose vertices have many digits (so that an exact snap can be told from a near one).
Drawing testDrawing() {
    Drawing d;
    d.appendEntity(lineEntity(0x10, {0, 0, 0}, {100, 0, 0}));
    d.appendEntity(lineEntity(0x11, {30, -50, 0}, {30, 50, 0}));
    d.appendEntity(Entity{0x12, 0, kColorByLayer, EntityType::Circle,
                          ArcData{{200, 200, 0}, {0, 0, 1}, 10.0, 0.0, 0.0}});
    d.appendEntity(Entity{0x13, 0, kColorByLayer, EntityType::Point,
                          PointData{{400.123456789, 400.987654321, 0}, {0, 0, 1}}});
    const std::vector<PolylineVertex> vertices{{{400.123456789, 400.987654321, 0}, 0.0},
                                               {{420.5, 400.987654321, 0}, 0.0}};
    PolylineData poly;
    poly.firstVertex = d.appendVertices(vertices);
    poly.vertexCount = 2;
    d.appendEntity(Entity{0x14, 0, kColorByLayer, EntityType::LwPolyline, poly});
    d.finish();
    return d;
}

class FakeTarget : public CommandTarget {
public:
    std::unique_ptr<OpenDocument> doc = makeDocument(testDrawing(), "test.dxf");
    int zooms = 0;
    int ucsChanges = 0;
    std::vector<std::string> opened;
    std::optional<dxf::DxfFailure> openFailure;

    OpenDocument* document() override { return doc.get(); }
    double pickHalfSize() const override { return 1.0; }
    void zoomExtents() override { ++zooms; }
    Status<dxf::DxfFailure> openDrawing(const std::string& path) override {
        opened.push_back(path);
        if (openFailure) {
            return unexpected(*openFailure);
        }
        return {};
    }
    void ucsChanged() override { ++ucsChanges; }
    void editSnaps() override { ++snapDialogs; }
    int snapDialogs = 0;
    void alert(const std::string& message) override {
        alerts.push_back(message);
        if (whileAlerting) {
            whileAlerting();
        }
    }
    std::vector<std::string> alerts;
    // Runs while the message box is open, as the event loop does.
    std::function<void()> whileAlerting;
};

// What the client that asked received.
using Reply = vexilo::cadhost::test_support::RecordedReply;
using vexilo::cadhost::test_support::recordEntity;
using vexilo::cadhost::test_support::recordPoint;
using vexilo::cadhost::test_support::recordText;

class CommandLineTest : public testing::Test {
protected:
    RequestBroker broker;
    FakeTarget target;
    std::deque<std::function<void()>> tasks;
    CommandLine line{broker, target,
                     [this](std::function<void()> task) { tasks.push_back(std::move(task)); }};
    Reply reply;

    // Runs what the event loop would run.
    void runTasks() {
        while (!tasks.empty()) {
            auto task = std::move(tasks.front());
            tasks.pop_front();
            task();
        }
    }
    void askPoint(std::string prompt = "请选择点：<退出键取消选择> ") {
        ASSERT_EQ(broker.requestPoint(std::move(prompt), recordPoint(reply)), 0);
    }
    void askEntity() {
        ASSERT_EQ(broker.requestEntity("请选择圆弧对象<退出键取消选择>：", recordEntity(reply)), 0);
    }
    void askText(bool hasSpaces) {
        ASSERT_EQ(broker.requestText(hasSpaces, "\r命令：请输入点的编码：<退出键取消输入>",
                                     recordText(reply)),
                  0);
    }
    void useUcs(Vec3 origin, double degrees) {
        const double a = degrees * std::numbers::pi / 180.0;
        target.doc->drawing->setUcs(
            *Ucs::fromAxes(origin, {std::cos(a), std::sin(a), 0}, {-std::sin(a), std::cos(a), 0}));
    }
};

// ---- point requests ----

TEST_F(CommandLineTest, PointRequestTypedInWorldUcsIsReturnedAsTyped) {
    askPoint();
    line.submit("3012345.678,500123.456");
    EXPECT_EQ(reply.calls, 1);
    EXPECT_FALSE(reply.code);
    EXPECT_EQ(reply.point, (WorldPoint{3012345.678, 500123.456, 0}));
    EXPECT_FALSE(broker.isWaiting());
}

TEST_F(CommandLineTest, TypedPointInRotatedShiftedUcsComesBackInWorld) {
    struct Case {
        const char* typed;
        WorldPoint world;
    };
    // UCS: origin (1000, 2000, 5), X axis at 30° from the world X axis.
    const double c = std::cos(std::numbers::pi / 6);
    const double s = std::sin(std::numbers::pi / 6);
    const std::vector<Case> cases{
        {"0,0", {1000, 2000, 5}},
        {"10,0", {1000 + 10 * c, 2000 + 10 * s, 5}},
        {"0,10", {1000 - 10 * s, 2000 + 10 * c, 5}},
        {"10,5,2", {1000 + 10 * c - 5 * s, 2000 + 10 * s + 5 * c, 7}},
    };
    useUcs({1000, 2000, 5}, 30);
    for (const Case& k : cases) {
        reply = {};
        askPoint();
        line.submit(k.typed);
        ASSERT_EQ(reply.calls, 1) << k.typed;
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(reply.point[i], k.world[i], kEps) << k.typed << " axis " << i;
        }
    }
}

TEST_F(CommandLineTest, PointRequestEmptyInputEscAndCaretC) {
    struct Case {
        const char* name;
        std::function<void(CommandLine&)> act;
        automation::HResult code;
    };
    const std::vector<Case> cases{
        {"Enter with nothing", [](CommandLine& l) { l.submit(""); }, automation::kNoInputCode},
        {"blanks only", [](CommandLine& l) { l.submit("  "); }, automation::kNoInputCode},
        {"right click", [](CommandLine& l) { l.rightClick(); }, automation::kNoInputCode},
        {"Esc", [](CommandLine& l) { l.escape(); }, automation::kCancelCode},
        {"^C typed", [](CommandLine& l) { l.submit("^C"); }, automation::kCancelCode},
    };
    for (const Case& c : cases) {
        reply = {};
        askPoint();
        EXPECT_TRUE(line.spaceEndsInput()) << c.name;
        c.act(line);
        EXPECT_EQ(reply.calls, 1) << c.name;
        EXPECT_EQ(reply.code, c.code) << c.name;
    }
}

TEST_F(CommandLineTest, PointRequestKeepsWaitingAfterInvalidInput) {
    askPoint();
    line.submit("abc");
    EXPECT_EQ(reply.calls, 0);
    EXPECT_TRUE(broker.isWaiting());
    EXPECT_EQ(line.history().openLine(), "请选择点：<退出键取消选择> ");
    EXPECT_EQ(line.history().lines().back(), "Point or option keyword required.");
    line.submit("1,2");
    EXPECT_EQ(reply.calls, 1);
}

// ---- object snap ----

TEST_F(CommandLineTest, SnappedClickReturnsTheVertexExactly) {
    askPoint();
    line.click({400.5, 401.3}, 1.0, 1.0);
    ASSERT_EQ(reply.calls, 1);
    EXPECT_EQ(reply.point, (WorldPoint{400.123456789, 400.987654321, 0}));
}

TEST_F(CommandLineTest, ClickOutsideApertureOrWithSnapsOffReturnsTheCursor) {
    askPoint();
    line.click({402.5, 403.0}, 1.0, 1.0);
    EXPECT_EQ(reply.point, (WorldPoint{402.5, 403.0, 0}));

    reply = {};
    line.toggleSnaps();
    EXPECT_FALSE(line.snaps().enabled);
    EXPECT_EQ(line.history().lines().back(), "<Osnap off>");
    askPoint();
    line.click({400.2, 401.0}, 1.0, 1.0);
    EXPECT_EQ(reply.point, (WorldPoint{400.2, 401.0, 0}));
}

TEST_F(CommandLineTest, SnapPrecedenceNearestFirstThenByKind) {
    line.setSnaps({SnapModes::all(), true});
    askPoint();
    struct Case {
        const char* name;
        Vec2 cursor;
        SnapKind kind;
        Vec3 point;
    };
    const std::vector<Case> cases{
        // A POINT sits on the polyline's first vertex: same place, endpoint ranks before node.
        {"endpoint before node",
         {400.2, 401.0},
         SnapKind::Endpoint,
         {400.123456789, 400.987654321, 0}},
        {"intersection nearer than endpoint", {30.4, 0.3}, SnapKind::Intersection, {30, 0, 0}},
        {"midpoint nearest", {50.2, 0.1}, SnapKind::Midpoint, {50, 0, 0}},
        {"centre of circle", {200.3, 199.8}, SnapKind::Center, {200, 200, 0}},
    };
    for (const Case& c : cases) {
        const auto hit = line.snapAt(c.cursor, 1.0);
        ASSERT_TRUE(hit) << c.name;
        EXPECT_EQ(hit->kind, c.kind) << c.name;
        EXPECT_EQ(hit->point, c.point) << c.name;
    }
}

TEST_F(CommandLineTest, OsnapCommandChoosesTheModes) {
    line.submit("OSNAP MID");
    EXPECT_TRUE(line.snaps().modes.midpoint);
    EXPECT_FALSE(line.snaps().modes.endpoint);
    askPoint();
    // Near the line's end (0,0): only the midpoint mode is on, and (50,0) is far.
    EXPECT_FALSE(line.snapAt({0.3, 0.2}, 1.0));
    broker.cancel();

    line.submit("OSNAP END,MID,CEN,NOD,INT");
    const SnapModes m = line.snaps().modes;
    EXPECT_TRUE(m.endpoint && m.midpoint && m.center && m.node && m.intersection);

    line.submit("OSNAP OFF");
    EXPECT_FALSE(line.snaps().enabled);
    line.toggleSnaps();
    EXPECT_TRUE(line.snaps().enabled);
    EXPECT_TRUE(line.snaps().modes.midpoint) << "F3 brings back the chosen modes";

    line.submit("OSNAP");
    EXPECT_EQ(target.snapDialogs, 1) << "OSNAP alone opens the dialog";
    line.submit("-OSNAP");
    line.submit("BOGUS");
    EXPECT_EQ(line.history().lines().back(), "Invalid object snap mode.");
    line.submit("endp");
    EXPECT_TRUE(line.snaps().modes.endpoint);
    EXPECT_FALSE(line.snaps().modes.midpoint);

    // A script cannot answer a dialog: its OSNAP asks on the command line.
    line.runScriptLines({"OSNAP", "QUA,PER,NEA"});
    runTasks();
    EXPECT_EQ(target.snapDialogs, 1);
    EXPECT_TRUE(line.snaps().modes.quadrant && line.snaps().modes.nearest);
    EXPECT_FALSE(line.snaps().modes.endpoint);
}

TEST_F(CommandLineTest, OneTimeSnapAppliesToTheNextPickOnly) {
    struct Case {
        const char* typed;
        // A point given first, where perpendiculars start.
        std::optional<Vec2> from;
        Vec2 cursor;
        WorldPoint expected;
    };
    const std::vector<Case> cases{
        {"END", std::nullopt, {100.3, 0.2}, {100, 0, 0}},
        {"endp", std::nullopt, {0.2, -0.3}, {0, 0, 0}},
        {"MID", std::nullopt, {49.6, 0.3}, {50, 0, 0}},
        {"CEN", std::nullopt, {209.8, 200.4}, {200, 200, 0}},
        {"NOD", std::nullopt, {400.5, 401.2}, {400.123456789, 400.987654321, 0}},
        {"INT", std::nullopt, {30.4, 0.3}, {30, 0, 0}},
        {"QUA", std::nullopt, {200.3, 209.6}, {200, 210, 0}},
        {"nearest", std::nullopt, {75, 0.5}, {75, 0, 0}},
        {"PER", Vec2{60, 25}, {60.4, 0.3}, {60, 0, 0}},
        {"PERP", Vec2{200, 25}, {200.3, 190.4}, {200, 190, 0}},
        {"NON", std::nullopt, {100.25, 0.5}, {100.25, 0.5, 0}},
    };
    for (const Case& c : cases) {
        if (c.from) {
            askPoint();
            line.submit(std::to_string(c.from->x) + "," + std::to_string(c.from->y));
        }
        // What the running snaps (endpoint, centre, intersection) make of the same click.
        askPoint();
        const Vec3 running = line.clickPoint(c.cursor, 1.0);
        line.submit(c.typed);
        EXPECT_EQ(line.history().openLine(), "of ") << c.typed;
        line.click(c.cursor, 1.0, 1.0);
        EXPECT_EQ(reply.point, c.expected) << c.typed;
        EXPECT_NE(line.history().lines().back(), "Point or option keyword required.") << c.typed;

        askPoint();
        line.click(c.cursor, 1.0, 1.0);
        EXPECT_EQ(reply.point, (WorldPoint{running.x, running.y, running.z})) << c.typed;
    }
}

TEST_F(CommandLineTest, OneTimeSnapThatFindsNothingAsksAgain) {
    askPoint();
    line.submit("end");
    line.click({150, 150}, 1.0, 1.0);
    EXPECT_EQ(reply.calls, 0);
    EXPECT_EQ(line.history().lines().back(), "No endpoint found for specified point.");
    EXPECT_EQ(line.history().openLine(), "请选择点：<退出键取消选择> ");
    // The one-time snap is used up: the next click takes the cursor.
    line.click({150, 150}, 1.0, 1.0);
    EXPECT_EQ(reply.point, (WorldPoint{150, 150, 0}));
}

TEST_F(CommandLineTest, NoSnapExceptAtPointPrompts) {
    EXPECT_FALSE(line.snapAt({0.1, 0.1}, 1.0)) << "idle";
    askEntity();
    EXPECT_FALSE(line.snapAt({0.1, 0.1}, 1.0)) << "entity request";
    broker.cancel();
    askText(false);
    EXPECT_FALSE(line.snapAt({0.1, 0.1}, 1.0)) << "text request";
}

// ---- entity requests ----

TEST_F(CommandLineTest, EntityRequestAnswers) {
    struct Case {
        const char* name;
        std::function<void(CommandLine&)> act;
        std::optional<automation::HResult> code;
        std::uint64_t handle;
    };
    const std::vector<Case> cases{
        {"typed point on the line", [](CommandLine& l) { l.submit("70,0.5"); }, std::nullopt, 0x10},
        {"typed point on nothing", [](CommandLine& l) { l.submit("70,30"); },
         automation::kNothingPickedCode, 0},
        {"click on the circle",
         [](CommandLine& l) {
             l.click({210.4, 200}, 1.0, 1.0);
         },
         std::nullopt, 0x12},
        {"click on nothing",
         [](CommandLine& l) {
             l.click({-50, -50}, 1.0, 1.0);
         },
         automation::kNothingPickedCode, 0},
        {"Enter", [](CommandLine& l) { l.submit(""); }, automation::kNoInputCode, 0},
        {"right click", [](CommandLine& l) { l.rightClick(); }, automation::kNoInputCode, 0},
        {"Esc", [](CommandLine& l) { l.escape(); }, automation::kCancelCode, 0},
    };
    for (const Case& c : cases) {
        reply = {};
        askEntity();
        c.act(line);
        ASSERT_EQ(reply.calls, 1) << c.name;
        EXPECT_EQ(reply.code, c.code) << c.name;
        EXPECT_EQ(reply.handle, c.handle) << c.name;
    }
}

TEST_F(CommandLineTest, EntityPickTakesNoSnapAndReturnsTheClickedPoint) {
    line.setSnaps({SnapModes::all(), true});
    askEntity();
    line.click({0.4, 0.3}, 5.0, 1.0);
    EXPECT_EQ(reply.handle, 0x10u);
    EXPECT_EQ(reply.point, (WorldPoint{0.4, 0.3, 0}));
}

TEST_F(CommandLineTest, TypedEntityPickIsReadInTheUcs) {
    useUcs({100, 0, 0}, 90);
    askEntity();
    // UCS (0, 30) is world (70, 0): on the line along X, away from the crossing line.
    line.submit("0,30");
    EXPECT_EQ(reply.handle, 0x10u);
    EXPECT_NEAR(reply.point[0], 70, kEps);
    EXPECT_NEAR(reply.point[1], 0, kEps);
}

// ---- text requests ----

TEST_F(CommandLineTest, TextRequestSpaceVersusEnter) {
    struct Case {
        const char* name;
        bool hasSpaces;
        const char* typed;
        const char* expected;
    };
    const std::vector<Case> cases{
        {"Enter alone gives the empty text", false, "", ""},
        {"space ends the input", false, "J1 J2", "J1"},
        {"leading space gives the empty text", false, " J1", ""},
        {"spaces allowed", true, "J1 J2", "J1 J2"},
        {"Chinese text", false, "界址点", "界址点"},
    };
    for (const Case& c : cases) {
        reply = {};
        askText(c.hasSpaces);
        EXPECT_EQ(line.spaceEndsInput(), !c.hasSpaces) << c.name;
        line.submit(c.typed);
        ASSERT_EQ(reply.calls, 1) << c.name;
        EXPECT_FALSE(reply.code) << c.name;
        EXPECT_EQ(reply.text, c.expected) << c.name;
    }
}

TEST_F(CommandLineTest, TextKeepsAtMost132Characters) {
    struct Case {
        std::size_t typedCharacters;
        std::size_t keptCharacters;
    };
    for (const Case c : {Case{131, 131}, Case{132, 132}, Case{133, 132}, Case{500, 132}}) {
        std::string typed;
        for (std::size_t i = 0; i < c.typedCharacters; ++i) {
            typed += (i % 2 == 0) ? "界" : "a";
        }
        reply = {};
        askText(true);
        line.submit(typed);
        ASSERT_EQ(reply.calls, 1);
        std::size_t characters = 0;
        for (const char ch : reply.text) {
            characters += (static_cast<unsigned char>(ch) & 0xC0) != 0x80 ? 1 : 0;
        }
        EXPECT_EQ(characters, c.keptCharacters) << c.typedCharacters;
        EXPECT_EQ(line.history().lines().back(),
                  std::string("命令：请输入点的编码：<退出键取消输入>") + reply.text);
    }
}

TEST_F(CommandLineTest, TextRequestCancel) {
    askText(false);
    line.escape();
    EXPECT_EQ(reply.code, automation::kCancelCode);
}

// ---- prompts in the history ----

TEST_F(CommandLineTest, WaitingRequestShowsItsPromptAloneAndTheHistoryKeepsTheAnswers) {
    EXPECT_EQ(line.history().openLine(), "Command: ");
    askPoint();
    EXPECT_EQ(line.history().openLine(), "请选择点：<退出键取消选择> ");
    line.submit("1,2");
    EXPECT_EQ(line.history().openLine(), "Command: ");
    askText(false);
    line.submit("J1");
    useUcs({400, 400, 0}, 0);
    askPoint();
    line.click({402.5, 403.0}, 1.0, 1.0);
    askEntity();
    line.escape();
    EXPECT_EQ(
        std::vector<std::string>(line.history().lines().begin(), line.history().lines().end()),
        (std::vector<std::string>{"请选择点：<退出键取消选择> 1,2",
                                  "命令：请输入点的编码：<退出键取消输入>J1",
                                  "请选择点：<退出键取消选择> 2.5000,3.0000,0.0000",
                                  "请选择圆弧对象<退出键取消选择>：", "*Cancel*"}));
    EXPECT_EQ(line.history().openLine(), "Command: ");
}

// ---- host commands ----

TEST_F(CommandLineTest, UcsCommandByOriginAndXAxisPoint) {
    line.submit("UCS");
    EXPECT_TRUE(line.wantsPoint());
    line.submit("1000,2000");
    line.submit("1010,2010");
    const Ucs ucs = target.doc->drawing->ucs();
    EXPECT_EQ(target.ucsChanges, 1);
    EXPECT_NEAR(ucs.origin.x, 1000, kEps);
    EXPECT_NEAR(ucs.xAxis.x, std::sqrt(0.5), kEps);
    EXPECT_NEAR(ucs.yAxis.x, -std::sqrt(0.5), kEps);
    askPoint();
    line.submit("0,1.4142135623730951");
    EXPECT_NEAR(reply.point[0], 999, 1e-9);
    EXPECT_NEAR(reply.point[1], 2001, 1e-9);

    line.submit("UCS W");
    EXPECT_TRUE(target.doc->drawing->ucs().isWorld());
}

TEST_F(CommandLineTest, UcsCommandByClicksSnapsAndEnterKeepsTheAxes) {
    line.submit("UCS");
    line.click({0.3, 0.2}, 1.0, 1.0); // snaps to the line's end (0,0)
    EXPECT_EQ(line.history().openLine(), "Specify point on X-axis or <Accept>: ");
    line.submit("");
    EXPECT_EQ(target.doc->drawing->ucs().origin, (Vec3{0, 0, 0}));

    line.submit("UCS 5,5");
    line.submit("5,5");
    EXPECT_EQ(line.history().lines().back(),
              "The point on the X axis must differ from the origin.");
    line.escape();
    EXPECT_FALSE(line.wantsPoint());
}

TEST_F(CommandLineTest, RequestArrivingDuringACommandEndsTheCommand) {
    line.submit("UCS");
    askPoint();
    EXPECT_EQ(line.history().openLine(), "请选择点：<退出键取消选择> ");
    line.submit("1,1");
    EXPECT_EQ(reply.point, (WorldPoint{1, 1, 0}));
    EXPECT_TRUE(target.doc->drawing->ucs().isWorld());
}

TEST_F(CommandLineTest, EnterAtAnEmptyCommandRepeatsTheLastCommand) {
    line.submit("");
    EXPECT_TRUE(line.history().lines().empty()) << "nothing to repeat yet";
    line.submit("zoom e");
    line.submit("");
    EXPECT_EQ(line.history().lines().back(), "Command: ZOOM");
    EXPECT_EQ(line.history().openLine(), "Enter an option [All/Extents] <Extents>: ");
    line.submit("");
    EXPECT_EQ(target.zooms, 2);
}

TEST_F(CommandLineTest, HelpListsEveryCommandOnALineOfItsOwn) {
    for (const char* typed : {"HELP", "?"}) {
        const std::size_t before = line.history().lines().size();
        line.submit(typed);
        const auto& lines = line.history().lines();
        ASSERT_EQ(lines[before], std::string("Command: ") + typed);
        std::vector<std::string> listed;
        for (std::size_t i = before + 1; i < lines.size(); ++i) {
            const std::string names = lines[i].substr(0, lines[i].find(" — "));
            for (std::size_t start = 0; start < names.size();) {
                const std::size_t comma = std::min(names.find(", ", start), names.size());
                listed.push_back(names.substr(start, comma - start));
                EXPECT_TRUE(isHostCommand(listed.back())) << lines[i];
                start = comma + 2;
            }
        }
        EXPECT_EQ(listed, (std::vector<std::string>{"OPEN", "SCRIPT", "SCR", "UCS", "ZOOM", "Z",
                                                    "OSNAP", "OS", "-OSNAP", "HELP", "?"}));
    }
}

TEST_F(CommandLineTest, ZoomOpenAndUnknownCommands) {
    line.submit("zoom e");
    line.submit("ZOOM");
    line.submit("");
    EXPECT_EQ(target.zooms, 2);
    line.submit("OPEN /data/my drawings/site.dxf");
    ASSERT_EQ(target.opened.size(), 1u);
    EXPECT_EQ(target.opened[0], "/data/my drawings/site.dxf");
    EXPECT_TRUE(line.spaceEndsInput()) << "idle: a space ends a command name";
    line.submit("OPEN");
    EXPECT_FALSE(line.spaceEndsInput()) << "file names hold blanks";
    target.openFailure = dxf::DxfFailure{dxf::DxfError::Truncated, 7, false,
                                         "line 7: the file ends inside a tag (truncated)"};
    line.submit("\"bad file.dxf\"");
    EXPECT_EQ(target.opened.back(), "bad file.dxf");
    EXPECT_EQ(line.history().lines().back(),
              "OPEN failed: line 7: the file ends inside a tag (truncated)");
    line.submit("FROB");
    EXPECT_EQ(line.history().lines().back(), "Unknown command \"FROB\".");
}

// ---- scripts ----

TEST_F(CommandLineTest, ScriptAnswersRequestsThatComeLater) {
    line.runScriptLines({"ZOOM E", "100,200", "", "^C", "J1 J2", "300,0", "70,0"});
    runTasks();
    EXPECT_EQ(target.zooms, 1) << "a command runs at once";
    EXPECT_TRUE(line.scriptRunning()) << "the point waits for a request";

    askPoint();
    EXPECT_EQ(reply.calls, 0) << "never answered inside the call that asked";
    runTasks();
    EXPECT_EQ(reply.point, (WorldPoint{100, 200, 0}));

    const std::vector<automation::HResult> codes{automation::kNoInputCode, automation::kCancelCode};
    for (const automation::HResult code : codes) {
        reply = {};
        askPoint();
        runTasks();
        EXPECT_EQ(reply.code, code);
    }
    reply = {};
    askText(false);
    runTasks();
    EXPECT_EQ(reply.text, "J1");
    reply = {};
    askEntity();
    runTasks();
    EXPECT_EQ(reply.code, automation::kNothingPickedCode);
    reply = {};
    askEntity();
    runTasks();
    EXPECT_EQ(reply.handle, 0x10u);
    EXPECT_FALSE(line.scriptRunning());

    reply = {};
    askPoint();
    runTasks();
    EXPECT_EQ(reply.calls, 0) << "the script ran out: input is interactive again";
    line.submit("5,6");
    EXPECT_EQ(reply.point, (WorldPoint{5, 6, 0}));
}

TEST_F(CommandLineTest, ScriptCommandsRunBetweenAnswers) {
    line.runScriptLines({"1,1", "UCS", "10,0", "", "1,1"});
    askPoint();
    runTasks();
    EXPECT_EQ(reply.point, (WorldPoint{1, 1, 0}));
    EXPECT_EQ(target.doc->drawing->ucs().origin, (Vec3{10, 0, 0}));
    reply = {};
    askPoint();
    runTasks();
    EXPECT_EQ(reply.point, (WorldPoint{11, 1, 0}));
}

TEST_F(CommandLineTest, ScriptWaitsWhileAFailedOpenIsShown) {
    target.openFailure = dxf::DxfFailure{dxf::DxfError::CannotOpen, 0, false,
                                         "cannot open bad.dxf: No such file or directory"};
    std::vector<std::string> loggedDuringTheBox;
    int zoomsDuringTheBox = -1;
    target.whileAlerting = [&] {
        runTasks();
        zoomsDuringTheBox = target.zooms;
        loggedDuringTheBox.assign(line.history().lines().begin(), line.history().lines().end());
    };
    line.runScriptLines({"OPEN bad.dxf", "ZOOM E"});
    runTasks();
    EXPECT_EQ(target.alerts, std::vector<std::string>{"Cannot open bad.dxf:\ncannot open bad.dxf: "
                                                      "No such file or directory"});
    EXPECT_EQ(zoomsDuringTheBox, 0);
    ASSERT_FALSE(loggedDuringTheBox.empty());
    EXPECT_EQ(loggedDuringTheBox.back(), "OPEN failed: " + target.openFailure->message);
    EXPECT_EQ(target.zooms, 1) << "the script goes on once the box is closed";
}

TEST_F(CommandLineTest, ScriptLinesThatDoNothingAreToldWithTheirNumbers) {
    line.runScriptLines({"ZOOM E FROB", "abc", "", "5,5"});
    runTasks();
    askPoint();
    runTasks();
    EXPECT_EQ(reply.code, automation::kNoInputCode);
    line.runScriptLines({"7,7", "8,8"});
    line.escape();
    std::vector<std::string> told;
    for (const std::string& l : line.history().lines()) {
        if (l.starts_with("Script")) {
            told.push_back(l);
        }
    }
    EXPECT_EQ(told, (std::vector<std::string>{
                        "Script line 1: Unknown command \"FROB\".",
                        "Script line 2 is not a command: it waits for a program's request (Esc "
                        "stops the script).",
                        "Script line 2: Point or option keyword required.",
                        "Script stopped at line 4; lines not run: 1.",
                        "Script stopped at line 1; lines not run: 2."}));
}

TEST_F(CommandLineTest, ScriptFileAndEscStopsAWaitingScript) {
    const std::string path = testing::TempDir() + "/answers.scr";
    std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF"
                                             "界址点\r\n7,8\r\n";
    line.submit("SCRIPT " + path);
    runTasks();
    askText(true);
    runTasks();
    EXPECT_EQ(reply.text, "界址点");
    EXPECT_TRUE(line.scriptRunning());
    line.escape();
    EXPECT_FALSE(line.scriptRunning());
    EXPECT_FALSE(line.runScript(testing::TempDir() + "/missing.scr"));
    std::remove(path.c_str());
}

} // namespace
} // namespace vexilo::cadhost

namespace vexilo::cadhost {
namespace {

// The index is built on a worker thread while the drawing is shown; a pick that comes first
// waits for it rather than finding nothing.
TEST(OpenDocumentIndex, PickRightAfterOpeningWaitsForTheIndex) {
    constexpr int kLines = 200'000;
    const auto lines = [] {
        Drawing d;
        for (int i = 0; i < kLines; ++i) {
            d.appendEntity(Entity{0x100 + static_cast<std::uint64_t>(i), 0, kColorByLayer,
                                  EntityType::Line,
                                  LineData{{0, double(i), 0}, {10, double(i), 0}}});
        }
        d.finish();
        return d;
    };
    // Started as the window starts it and looked at while it is built; or never started.
    for (const bool started : {true, false}) {
        const auto document = makeDocument(lines(), "lines.dxf");
        if (started) {
            document->index.start();
        }
        const auto hit = document->index->pick({5.0, kLines - 1.0}, 0.1);
        ASSERT_TRUE(hit);
        EXPECT_EQ(hit->entity, std::size_t{kLines - 1});
        EXPECT_TRUE(document->index.ready());
    }
}

} // namespace
} // namespace vexilo::cadhost
