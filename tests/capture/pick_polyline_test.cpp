// The polyline picker: vertex rows, codes per polyline, both systems, both kinds, the mended
// pick failures and 3D polylines, and every end of the command.
#include "capture/pick_polyline.h"

#include "capture_fixture.h"

namespace vexilo::capture {
namespace {

using automation::kCancelCode;

const std::string kGetEntity = "GetEntity(\"请选择多段线对象<退出键取消选择>：\")";
const std::string kGetCode = "GetString(false,\"\r命令：请输入多段线编码<退出键取消输入>：\")";

class PickPolylineTest : public CaptureTest {
protected:
    std::shared_ptr<cad::fake::FakeEntity> square(const std::string& label) {
        return cad.lwPolyline(label, {{0.0, 0.0}, {10.0, 0.0}, {10.0, 20.0}, {0.0, 20.0}});
    }

    std::vector<std::string> codes() const {
        std::vector<std::string> result;
        for (const Row& r : rows()) {
            result.push_back(r[1]);
        }
        return result;
    }
};

TEST_F(PickPolylineTest, PromptsAreExact) {
    EXPECT_EQ(kPolylinePrompt, "请选择多段线对象<退出键取消选择>：");
    EXPECT_EQ(kPolylineCodePrompt, "\r命令：请输入多段线编码<退出键取消输入>：");
    EXPECT_EQ(kNotPolylineMessage, "选择的不是多段线！");
}

TEST_F(PickPolylineTest, AFourVertexPolylineGivesFourRowsCodedKMinusOneToFour) {
    cad.options.userSystem = false;
    cad.utility->answerEntity(square("P"));
    cad.utility->answerString("K");
    cad.utility->failRequest("GetEntity", automation::kCancelCode);
    Command2_Click(context);

    EXPECT_EQ(rows(), (std::vector<Row>{{"1", "K-1", "0", "0"},
                                        {"2", "K-2", "0", "10"},
                                        {"3", "K-3", "20", "10"},
                                        {"4", "K-4", "20", "0"}}));
    const Log expected{"minimise",        kGetEntity,        "P.Coordinates",   "P.ObjectName",
                       kGetCode,          "P.Coordinate(0)", "P.Coordinate(0)", "P.Coordinate(1)",
                       "P.Coordinate(1)", "P.Coordinate(2)", "P.Coordinate(2)", "P.Coordinate(3)",
                       "P.Coordinate(3)", kGetEntity,        "restore"};
    EXPECT_EQ(afterAttach(), expected);
    EXPECT_EQ(prompts(), (Log{std::string(kPolylinePrompt), std::string(kPolylineCodePrompt),
                              std::string(kPolylinePrompt)}));
}

TEST_F(PickPolylineTest, TheClosedFlagIsNotReadAndAddsNoRow) {
    cad.options.userSystem = false;
    cad.utility->answerEntity(cad.lwPolyline("P", {{1.0, 2.0}, {3.0, 4.0}, {5.0, 6.0}}, true));
    cad.utility->answerString("C");
    cad.utility->failRequest("GetEntity", automation::kCancelCode);
    Command2_Click(context);
    EXPECT_EQ(codes(), (std::vector<std::string>{"C-1", "C-2", "C-3"}));
    EXPECT_TRUE(cad.log->matching("P.Closed").empty());
    EXPECT_TRUE(cad.log->matching("P.GetWidth").empty());
}

TEST_F(PickPolylineTest, ThreeDPolylineInTheWorldSystemListsXAndY) {
    cad.options.userSystem = false;
    cad.utility->ucsOrigin = {100.0, 200.0, 0.0};
    cad.utility->answerEntity(
        cad.polyline3d("D", {{1.0, 2.0, 30.0}, {3.0, 4.0, 40.0}, {5.0, 6.0, 50.0}}));
    cad.utility->answerString("Z");
    cad.utility->failRequest("GetEntity", automation::kCancelCode);
    Command2_Click(context);
    EXPECT_EQ(rows(), (std::vector<Row>{
                          {"1", "Z-1", "2", "1"}, {"2", "Z-2", "4", "3"}, {"3", "Z-3", "6", "5"}}));
    EXPECT_TRUE(cad.log->matching("TranslateCoordinates").empty());
}

TEST_F(PickPolylineTest, ThreeDPolylineInTheUserSystemConvertsEachVertexFromTheWorldSystem) {
    cad.utility->ucsOrigin = {100.0, 200.0, 0.0};
    cad.utility->answerEntity(
        cad.polyline3d("D", {{101.0, 202.0, 30.0}, {103.0, 204.0, 40.0}, {105.0, 206.0, 50.0}}));
    cad.utility->answerString("Z");
    cad.utility->failRequest("GetEntity", automation::kCancelCode);
    Command2_Click(context);
    EXPECT_EQ(rows(), (std::vector<Row>{
                          {"1", "Z-1", "2", "1"}, {"2", "Z-2", "4", "3"}, {"3", "Z-3", "6", "5"}}));
    EXPECT_EQ(cad.log->matching("TranslateCoordinates"),
              (Log{"TranslateCoordinates((101,202,30),0,1,false)",
                   "TranslateCoordinates((103,204,40),0,1,false)",
                   "TranslateCoordinates((105,206,50),0,1,false)"}));
    EXPECT_TRUE(cad.log->matching("D.Elevation").empty());
    EXPECT_TRUE(cad.log->matching("D.Normal").empty());
}

TEST_F(PickPolylineTest, ThreeDPolylineAfterATwoDOneGetsNoneOfItsValues) {
    cad.utility->answerEntity(cad.lwPolyline("P", {{7.0, 8.0}}));
    cad.utility->answerString("A");
    auto polyline = cad.polyline3d("D", {{1.0, 2.0, 3.0}, {4.0, 5.0, 6.0}});
    polyline->failures.failNext("Coordinate", automation::kBusyCode);
    cad.utility->answerEntity(polyline);
    cad.utility->answerString("B");
    cad.utility->failRequest("GetEntity", automation::kCancelCode);
    Command2_Click(context);
    EXPECT_EQ(rows(), (std::vector<Row>{
                          {"1", "A-1", "8", "7"}, {"2", "B-1", "", ""}, {"3", "B-2", "5", "4"}}));
}

TEST_F(PickPolylineTest, TwoDPolylineInTheUserSystemGoesThroughItsObjectSystem) {
    cad.utility->ucsOrigin = {100.0, 200.0, 0.0};
    // Normal −Z mirrors the object system: object X runs along world −X.
    auto polyline = cad.lwPolyline("P", {{-110.0, 220.0}, {-120.0, 230.0}});
    polyline->normalValue = cad::Point3{0.0, 0.0, -1.0};
    polyline->elevationValue = 5.0;
    cad.utility->answerEntity(polyline);
    cad.utility->answerString("M");
    cad.utility->failRequest("GetEntity", automation::kCancelCode);
    Command2_Click(context);
    EXPECT_EQ(rows(), (std::vector<Row>{{"1", "M-1", "20", "10"}, {"2", "M-2", "30", "20"}}));
    EXPECT_EQ(cad.log->matching("P.").size(), 2U + 2U * 4U);
    const Log calls = afterAttach();
    ASSERT_GE(calls.size(), 10U);
    const Log vertex0(calls.begin() + 5, calls.begin() + 10);
    EXPECT_EQ(vertex0, (Log{"P.Coordinate(0)", "P.Coordinate(0)", "P.Elevation", "P.Normal",
                            "TranslateCoordinates((-110,220,5),4,1,false,(0,0,-1))"}));
}

TEST_F(PickPolylineTest, SwapPutsTheVertexXUnderXInBothSystems) {
    cad.options.swap = true;
    for (bool userSystem : {true, false}) {
        cad.options.userSystem = userSystem;
        cad.utility->answerEntity(cad.lwPolyline("P", {{1.0, 2.0}}));
        cad.utility->answerString("S");
        cad.utility->failRequest("GetEntity", automation::kCancelCode);
        Command2_Click(context);
        EXPECT_EQ(row(table.rowCount() - 1)[2], "1");
        EXPECT_EQ(row(table.rowCount() - 1)[3], "2");
    }
}

TEST_F(PickPolylineTest, IncrementWithStepTwoNumbersEachPolylineAndANewClickAsksAgain) {
    cad.options.codeIncrement = true;
    cad.options.increment = "2";
    cad.utility->answerEntity(cad.lwPolyline("P", {{0.0, 0.0}, {1.0, 1.0}}));
    cad.utility->answerString("7");
    cad.utility->answerEntity(cad.lwPolyline("Q", {{0.0, 0.0}, {1.0, 1.0}}));
    cad.utility->failRequest("GetEntity", automation::kCancelCode);
    Command2_Click(context);
    cad.utility->answerEntity(cad.lwPolyline("R", {{0.0, 0.0}}));
    cad.utility->answerString("1");
    cad.utility->failRequest("GetEntity", automation::kCancelCode);
    Command2_Click(context);
    EXPECT_EQ(codes(), (std::vector<std::string>{"7-1", "7-2", "9-1", "9-2", "1-1"}));
    EXPECT_EQ(cad.log->matching("GetString").size(), 2U);
}

TEST_F(PickPolylineTest, IncrementOfACodeThatIsNotANumberRepeatsIt) {
    cad.options.codeIncrement = true;
    cad.utility->answerEntity(cad.lwPolyline("P", {{0.0, 0.0}, {1.0, 1.0}}));
    cad.utility->answerString("A");
    cad.utility->answerEntity(cad.lwPolyline("Q", {{0.0, 0.0}}));
    cad.utility->failRequest("GetEntity", automation::kCancelCode);
    Command2_Click(context);
    EXPECT_EQ(codes(), (std::vector<std::string>{"A-1", "A-2", "A-1"}));
}

TEST_F(PickPolylineTest, ALinePickedAfterTwoPolylinesEndsWithTheMessageAndKeepsTheirRows) {
    cad.utility->answerEntity(cad.lwPolyline("P", {{0.0, 0.0}}));
    cad.utility->answerString("A");
    cad.utility->answerEntity(cad.polyline3d("Q", {{1.0, 1.0, 1.0}}));
    cad.utility->answerString("B");
    cad.utility->answerEntity(cad.other("L", "AcDbLine"));
    Command2_Click(context);
    EXPECT_EQ(codes(), (std::vector<std::string>{"A-1", "B-1"}));
    const Log tail(log().end() - 5, log().end());
    EXPECT_EQ(tail, (Log{kGetEntity, "L.Coordinates", "L.ObjectName",
                         "information:选择的不是多段线！", "restore"}));
}

TEST_F(PickPolylineTest, OtherKindsOfEntityAreNotPolylines) {
    for (const char* kind :
         {"AcDbCircle", "AcDbArc", "AcDb2dPolyline", "acdbpolyline", "AcDbPolyline ", "AcDbText"}) {
        cad.log->clear();
        cad.utility->answerEntity(cad.other("E", kind));
        Command2_Click(context);
        EXPECT_EQ(cad.log->matching("information:"), (Log{"information:选择的不是多段线！"}))
            << kind;
        EXPECT_TRUE(cad.log->matching("GetString").empty()) << kind;
    }
    EXPECT_EQ(table.rowCount(), 1);
}

TEST_F(PickPolylineTest, AMissThenAPolylineListsItOnce) {
    for (automation::HResult miss : {automation::kNothingPickedCode, automation::kNoInputCode}) {
        table.setRowCount(1);
        cad.log->clear();
        cad.utility->failRequest("GetEntity", miss);
        cad.utility->answerEntity(cad.lwPolyline("P", {{0.0, 0.0}, {1.0, 1.0}}));
        cad.utility->answerString("K");
        cad.utility->failRequest("GetEntity", miss);
        cad.utility->failRequest("GetEntity", automation::kCancelCode);
        Command2_Click(context);
        EXPECT_EQ(codes(), (std::vector<std::string>{"K-1", "K-2"})) << miss;
        EXPECT_EQ(cad.log->matching("GetEntity").size(), 4U) << miss;
    }
}

TEST_F(PickPolylineTest, AFailureOfTheLinkEndsTheCommandQuietly) {
    cad.utility->answerEntity(cad.lwPolyline("P", {{0.0, 0.0}}));
    cad.utility->answerString("K");
    cad.utility->failRequest("GetEntity", automation::kDisconnectedCode);
    Command2_Click(context);
    EXPECT_EQ(codes(), (std::vector<std::string>{"K-1"}));
    EXPECT_EQ(cad.log->matching("GetEntity").size(), 2U);
    EXPECT_TRUE(cad.log->matching("information:").empty());
    EXPECT_EQ(log().back(), "restore");
}

TEST_F(PickPolylineTest, NoDrawingMinimisesAndRestoresWithoutAMessage) {
    cad.application->active.reset();
    Command2_Click(context);
    EXPECT_EQ(afterAttach(), (Log{"minimise", "restore"}));
    EXPECT_EQ(table.rowCount(), 1);
}

TEST_F(PickPolylineTest, NoCadShowsTheMessageAndLeavesTheWindow) {
    cad.registry.running.clear();
    Command2_Click(context);
    EXPECT_EQ(cad.log->matching("information:"), (Log{"information:请先打开CAD软件！"}));
    EXPECT_TRUE(cad.log->matching("minimise").empty());
    EXPECT_TRUE(cad.log->matching("restore").empty());
}

TEST_F(PickPolylineTest, EveryEndRestoresTheWindow) {
    struct Case {
        const char* name;
        std::function<void()> script;
    };
    const Case cases[] = {
        {"Esc at the entity prompt",
         [this] { cad.utility->failRequest("GetEntity", automation::kCancelCode); }},
        {"Esc at the code prompt",
         [this] {
             cad.utility->answerEntity(cad.lwPolyline("P", {{0.0, 0.0}}));
             cad.utility->failRequest("GetString", automation::kCancelCode);
         }},
        {"Enter at the code prompt",
         [this] {
             cad.utility->answerEntity(cad.lwPolyline("P", {{0.0, 0.0}}));
             cad.utility->answerString("");
         }},
        {"a circle", [this] { cad.utility->answerEntity(cad.other("C", "AcDbCircle")); }},
    };
    for (const Case& c : cases) {
        cad.log->clear();
        c.script();
        Command2_Click(context);
        EXPECT_EQ(log().back(), "restore") << c.name;
        EXPECT_FALSE(cad.window.minimised) << c.name;
        EXPECT_EQ(table.rowCount(), 1) << c.name;
    }
}

TEST_F(PickPolylineTest, AVertexThatCannotBeReadLeavesItsCellEmptyInTheWorldSystem) {
    cad.options.userSystem = false;
    auto polyline = cad.lwPolyline("P", {{1.0, 2.0}, {3.0, 4.0}});
    // The first read of vertex 0 gives element 0, which goes under "Y坐标".
    polyline->failures.failNext("Coordinate", automation::kBusyCode);
    cad.utility->answerEntity(polyline);
    cad.utility->answerString("K");
    cad.utility->failRequest("GetEntity", automation::kCancelCode);
    Command2_Click(context);
    EXPECT_EQ(rows(), (std::vector<Row>{{"1", "K-1", "2", ""}, {"2", "K-2", "4", "3"}}));
}

TEST_F(PickPolylineTest, AFailedConversionRepeatsTheLastConvertedPointOrLeavesTheCellsEmpty) {
    cad.utility->failures.failNext("TranslateCoordinates", automation::kBusyCode);
    cad.utility->failures.failNext("TranslateCoordinates", 0);
    cad.utility->failures.failNext("TranslateCoordinates", automation::kBusyCode);
    cad.utility->answerEntity(cad.lwPolyline("P", {{1.0, 2.0}, {3.0, 4.0}, {5.0, 6.0}}));
    cad.utility->answerString("K");
    cad.utility->failRequest("GetEntity", automation::kCancelCode);
    Command2_Click(context);
    EXPECT_EQ(rows(), (std::vector<Row>{
                          {"1", "K-1", "", ""}, {"2", "K-2", "4", "3"}, {"3", "K-3", "4", "3"}}));
}

TEST_F(PickPolylineTest, AnUnreadableVertexInTheUserSystemConvertsThePreviousOneAgain) {
    auto polyline = cad.lwPolyline("P", {{1.0, 2.0}, {3.0, 4.0}, {5.0, 6.0}});
    polyline->failures.failNext("Coordinate", 0, 2);
    polyline->failures.failNext("Coordinate", automation::kBusyCode, 2);
    cad.utility->answerEntity(polyline);
    cad.utility->answerString("K");
    cad.utility->failRequest("GetEntity", automation::kCancelCode);
    Command2_Click(context);
    EXPECT_EQ(rows(), (std::vector<Row>{
                          {"1", "K-1", "2", "1"}, {"2", "K-2", "2", "1"}, {"3", "K-3", "6", "5"}}));
    EXPECT_EQ(cad.log->matching("TranslateCoordinates").size(), 3U);
}

TEST_F(PickPolylineTest, AnUnreadableCoordinatesKeepsTheUpperBoundOfThePreviousPolyline) {
    cad.options.userSystem = false;
    cad.utility->answerEntity(cad.lwPolyline("P", {{0.0, 0.0}, {1.0, 1.0}, {2.0, 2.0}}));
    cad.utility->answerString("A");
    auto second = cad.lwPolyline("Q", {{5.0, 5.0}, {6.0, 6.0}, {7.0, 7.0}, {8.0, 8.0}});
    second->failures.failNext("Coordinates", automation::kBusyCode);
    cad.utility->answerEntity(second);
    cad.utility->answerString("B");
    cad.utility->failRequest("GetEntity", automation::kCancelCode);
    Command2_Click(context);
    EXPECT_EQ(codes(), (std::vector<std::string>{"A-1", "A-2", "A-3", "B-1", "B-2", "B-3"}));
}

TEST_F(PickPolylineTest, AFullTableEndsTheCommandWithAMessageMidPolyline) {
    ASSERT_TRUE(table.setRowCount(cad::CoordinateTable::kMaxRowCount - 2));
    cad.options.userSystem = false;
    cad.utility->answerEntity(square("P"));
    cad.utility->answerString("K");
    Command2_Click(context);
    EXPECT_EQ(table.rowCount(), cad::CoordinateTable::kMaxRowCount);
    EXPECT_EQ(row(table.rowCount() - 1), (Row{"1048574", "K-2", "0", "10"}));
    const Log tail(log().end() - 2, log().end());
    EXPECT_EQ(tail, (Log{"information:坐标表已满，无法再添加点！", "restore"}));
}

TEST_F(PickPolylineTest, VertexNumbersGoBeyondSixteenBits) {
    cad.options.userSystem = false;
    std::vector<std::array<double, 2>> vertices(32770, {1.0, 2.0});
    cad.utility->answerEntity(cad.lwPolyline("P", vertices));
    cad.utility->answerString("V");
    cad.utility->failRequest("GetEntity", automation::kCancelCode);
    Command2_Click(context);
    EXPECT_EQ(row(table.rowCount() - 1), (Row{"32770", "V-32770", "2", "1"}));
}

} // namespace
} // namespace vexilo::capture
