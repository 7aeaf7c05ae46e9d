// The arc operation: its prompts and messages, the order of its reads, the user system and the
// computation it ends with.
#include "capture/arc_division.h"

#include "capture_fixture.h"

#include <cmath>

namespace vexilo::capture {
namespace {

using automation::kCancelCode;

const std::string kGetArc = "GetEntity(\"请选择圆弧对象<退出键取消选择>：\")";

class ArcTest : public CaptureTest {
protected:
    std::shared_ptr<cad::fake::FakeEntity> quarter(const std::string& label) {
        return cad.arc(label, {0.0, 0.0, 4.0}, 10.0, 0.0, 3.141592653589793 / 2.0);
    }
};

TEST_F(ArcTest, TheCountPromptShowsTheLengthAtThreePlaces) {
    struct Case {
        double length;
        const char* shown;
    };
    const Case cases[] = {{31.41592654, "31.416"}, {12.5, "12.5"}, {2.0625, "2.062"},
                          {2.0635, "2.064"},       {100.0, "100"}, {0.0004, "0"}};
    for (const Case& c : cases) {
        EXPECT_EQ(pointCountPrompt(c.length), std::string("\r提示：圆弧长为：") + c.shown +
                                                  "请输入圆弧线点数<退出键取消输入>：")
            << c.length;
    }
}

TEST_F(ArcTest, ReadsTheArcInOrderAndAsksForTheCountWhateverTheDecimalPlaces) {
    cad.options.decimalPlaces = "0";
    auto arc = quarter("A");
    arc->arcLengthValue = 31.41592654;
    cad.utility->answerEntity(arc);
    cad.utility->answerString("8");
    const ArcRun run = yh(context);
    EXPECT_TRUE(run.answered);
    EXPECT_EQ(
        log(),
        (Log{"bind(AutoCAD.Application)", "ActiveDocument", "WindowState=3", kGetArc,
             "A.ObjectName", "A.Radius", "A.Center", "A.StartPoint", "A.EndPoint", "A.EndAngle",
             "A.StartAngle", "A.ArcLength",
             "GetString(false,\"\r提示：圆弧长为：31.416请输入圆弧线点数<退出键取消输入>：\")",
             "TranslateCoordinates((0,0,4),0,1,false)", "TranslateCoordinates((10,0,4),0,1,false)",
             // cos(π/2) is not 0 in doubles, and its last digits differ between C libraries.
             "TranslateCoordinates(" +
                 cad::fake::logPoint({10.0 * std::cos(3.141592653589793 / 2.0), 10.0, 4.0}) +
                 ",0,1,false)"}));
}

TEST_F(ArcTest, TheWindowIsNeitherMinimisedNorRestoredAndNoRowIsAdded) {
    for (const char* answer : {"8", "abc"}) {
        cad.log->clear();
        cad.utility->answerEntity(quarter("A"));
        cad.utility->answerString(answer);
        EXPECT_TRUE(yh(context).answered) << answer;
        EXPECT_TRUE(cad.log->matching("minimise").empty());
        EXPECT_TRUE(cad.log->matching("restore").empty());
        EXPECT_TRUE(cad.log->matching("information:").empty());
    }
    EXPECT_EQ(table.rowCount(), 1);
}

TEST_F(ArcTest, OnlyTheDecimalPlacesAreRefreshed) {
    cad.options.decimalPlaces = "2";
    cad.options.scale = "5";
    cad.utility->failRequest("GetEntity", automation::kCancelCode);
    yh(context);
    EXPECT_EQ(recorder.decimalPlaces(), 2);
    EXPECT_EQ(recorder.scale(), 0);
}

TEST_F(ArcTest, SomethingOtherThanAnArcShowsTheMessageAndAsksNoCount) {
    const char* kinds[] = {"AcDbCircle", "AcDbLine", "AcDbPolyline", "acdbarc"};
    for (const char* kind : kinds) {
        cad.log->clear();
        cad.utility->answerEntity(cad.other("E", kind));
        EXPECT_FALSE(yh(context).answered);
        EXPECT_EQ(cad.log->matching("information:"), (Log{"information:选择的不是圆弧！"})) << kind;
        EXPECT_TRUE(cad.log->matching("GetString").empty()) << kind;
        EXPECT_TRUE(cad.log->matching("E.Radius").empty()) << kind;
    }
}

TEST_F(ArcTest, APickThatBringsNoEntityShowsTheMessage) {
    cad.utility->failRequest("GetEntity", automation::kNothingPickedCode);
    EXPECT_FALSE(yh(context).answered);
    EXPECT_EQ(log().back(), "information:选择的不是圆弧！");
}

TEST_F(ArcTest, EscAtEitherPromptOrAnEmptyAnswerEndsWithoutAMessage) {
    struct Case {
        const char* name;
        std::function<void()> script;
        std::size_t requests;
    };
    const Case cases[] = {
        {"Esc at the arc prompt",
         [this] { cad.utility->failRequest("GetEntity", automation::kCancelCode); }, 1},
        {"Esc at the count prompt",
         [this] {
             cad.utility->answerEntity(quarter("A"));
             cad.utility->failRequest("GetString", automation::kCancelCode);
         },
         2},
        {"an empty answer",
         [this] {
             cad.utility->answerEntity(quarter("A"));
             cad.utility->answerString("");
         },
         2},
    };
    for (const Case& c : cases) {
        cad.log->clear();
        c.script();
        EXPECT_FALSE(yh(context).answered) << c.name;
        EXPECT_TRUE(cad.log->matching("information:").empty()) << c.name;
        EXPECT_TRUE(cad.log->matching("TranslateCoordinates").empty()) << c.name;
        EXPECT_EQ(prompts().size(), c.requests) << c.name;
    }
}

TEST_F(ArcTest, NoCadShowsOnlyTheAttachMessage) {
    cad.registry.running.clear();
    yh(context);
    EXPECT_EQ(cad.log->matching("information:"), (Log{"information:请先打开CAD软件！"}));
    EXPECT_TRUE(prompts().empty());
}

TEST_F(ArcTest, TheUserSystemReplacesXAndYOfTheThreePointsAndKeepsTheWorldZ) {
    cad.utility->ucsOrigin = {100.0, 200.0, 50.0};
    cad.utility->answerEntity(cad.arc("A", {110.0, 220.0, 7.0}, 10.0, 0.0, 3.141592653589793));
    cad.utility->answerString("4");
    const ArcRun run = yh(context);
    ASSERT_TRUE(run.center && run.startPoint && run.endPoint);
    EXPECT_EQ(*run.center, (cad::Point3{10.0, 20.0, 7.0}));
    EXPECT_EQ(*run.startPoint, (cad::Point3{20.0, 20.0, 7.0}));
    EXPECT_NEAR((*run.endPoint)[0], 0.0, 1e-9);
    EXPECT_NEAR((*run.endPoint)[1], 20.0, 1e-9);
    EXPECT_EQ((*run.endPoint)[2], 7.0);
}

TEST_F(ArcTest, TheWorldSystemKeepsTheWorldPointsAndTranslatesNothing) {
    cad.options.userSystem = false;
    cad.utility->ucsOrigin = {100.0, 200.0, 50.0};
    cad.utility->answerEntity(cad.arc("A", {110.0, 220.0, 7.0}, 10.0, 0.0, 3.141592653589793));
    cad.utility->answerString("4");
    const ArcRun run = yh(context);
    EXPECT_EQ(*run.center, (cad::Point3{110.0, 220.0, 7.0}));
    EXPECT_TRUE(cad.log->matching("TranslateCoordinates").empty());
}

TEST_F(ArcTest, UserSystemComputesThePointTenUnitsClockwiseFromTheEndPoint) {
    // Quarter arc about the origin from (10, 0) to (0, 10): the end point is due north.
    cad.utility->answerEntity(quarter("A"));
    cad.utility->answerString("5");
    const ArcRun run = yh(context);
    EXPECT_NEAR(run.azimuth, 0.0, 1e-9);
    EXPECT_NEAR(run.theta, 1.0, 1e-9);
    EXPECT_DOUBLE_EQ(run.north, 5.403);
    EXPECT_DOUBLE_EQ(run.east, 8.415);
    EXPECT_NEAR(run.endDegrees, 90.0, 1e-5);
    EXPECT_EQ(run.startDegrees, 0.0);
    EXPECT_EQ(run.answer, "5");
}

TEST_F(ArcTest, WorldSystemComputesThePointOppositeTheStartPoint) {
    cad.options.userSystem = false;
    cad.options.decimalPlaces = "2";
    cad.utility->answerEntity(quarter("A"));
    cad.utility->answerString("5");
    const ArcRun run = yh(context);
    EXPECT_NEAR(run.azimuth, 270.0, 1e-9);
    EXPECT_EQ(run.north, 0.0);
    EXPECT_EQ(run.east, -10.0);
}

TEST_F(ArcTest, ArithmeticFailuresSkipTheirStatements) {
    // A degenerate arc: radius 0, end point on the centre. The azimuth of (0, 0) and 10 ÷ 0 both
    // fail, so azimuth and theta keep 0 and the point is the centre itself.
    auto arc = cad.arc("A", {3.0, 4.0, 0.0}, 0.0, 0.0, 1.0);
    cad.utility->answerEntity(arc);
    cad.utility->answerString("2");
    const ArcRun run = yh(context);
    EXPECT_TRUE(run.answered);
    EXPECT_EQ(run.azimuth, 0.0);
    EXPECT_EQ(run.theta, 0.0);
    EXPECT_EQ(run.north, 4.0);
    EXPECT_EQ(run.east, 3.0);
}

TEST_F(ArcTest, UnreadablePropertiesStayEmptyAndTheRunGoesOn) {
    auto arc = cad.other("A", "AcDbArc");
    cad.utility->answerEntity(arc);
    cad.utility->answerString("3");
    const ArcRun run = yh(context);
    EXPECT_TRUE(run.answered);
    EXPECT_EQ(run.radius, 0.0);
    EXPECT_FALSE(run.center.has_value());
    EXPECT_EQ(prompts().back(), "\r提示：圆弧长为：0请输入圆弧线点数<退出键取消输入>：");
}

} // namespace
} // namespace vexilo::capture
