// The point picker: its four exits, codes, the window, and the full table.
#include "capture/pick_points.h"

#include "capture_fixture.h"

namespace vexilo::capture {
namespace {

using automation::kCancelCode;

const std::string kGetPoint = "GetPoint(\"请选择点：<退出键取消选择> \")";
const std::string kGetCode = "GetString(false,\"\r命令：请输入点的编码：<退出键取消输入>\")";

class PickPointsTest : public CaptureTest {};

TEST_F(PickPointsTest, PromptsAreExact) {
    EXPECT_EQ(kPointPrompt, "请选择点：<退出键取消选择> ");
    EXPECT_EQ(cad::kPointCodePrompt, "\r命令：请输入点的编码：<退出键取消输入>");
}

TEST_F(PickPointsTest, CodesA1AndA2ThenEscGiveTwoRows) {
    cad.utility->answerPoint({500123.45678, 3012345.6789, 0.0});
    cad.utility->answerString("A1");
    cad.utility->answerPoint({10.0, 20.0, 5.0});
    cad.utility->answerString("A2");
    cad.utility->failRequest("GetPoint", automation::kCancelCode);

    Command1_Click(context);

    EXPECT_EQ(rows(), (std::vector<Row>{{"1", "A1", "3012345.679", "500123.457"},
                                        {"2", "A2", "20", "10"}}));
    EXPECT_EQ(
        log(),
        (Log{"bind(AutoCAD.Application)", "ActiveDocument", "WindowState=3", "minimise", kGetPoint,
             "TranslateCoordinates((500123.45678,3012345.6789,0),0,1,false)", kGetCode, kGetPoint,
             "TranslateCoordinates((10,20,5),0,1,false)", kGetCode, kGetPoint, "restore"}));
    EXPECT_FALSE(cad.window.minimised);
}

TEST_F(PickPointsTest, IncrementAsksForTheFirstCodeOnlyAndASecondRunAsksAgain) {
    cad.options.codeIncrement = true;
    cad.utility->answerPoint({1.0, 1.0, 0.0});
    cad.utility->answerString("10");
    cad.utility->answerPoint({2.0, 2.0, 0.0});
    cad.utility->answerPoint({3.0, 3.0, 0.0});
    cad.utility->failRequest("GetPoint", automation::kCancelCode);
    Command1_Click(context);

    cad.utility->answerPoint({4.0, 4.0, 0.0});
    cad.utility->answerString("20");
    cad.utility->failRequest("GetPoint", automation::kCancelCode);
    Command1_Click(context);

    std::vector<std::string> codes;
    for (const Row& r : rows()) {
        codes.push_back(r[1]);
    }
    EXPECT_EQ(codes, (std::vector<std::string>{"10", "11", "12", "20"}));
    EXPECT_EQ(cad.log->matching("GetString").size(), 2U);
}

TEST_F(PickPointsTest, NoPointAtThePointPromptEndsTheRunWithoutARow) {
    for (automation::HResult code : {automation::kNoInputCode, automation::kNothingPickedCode,
                                     automation::kDisconnectedCode, automation::kBusyCode}) {
        cad.log->clear();
        cad.utility->failRequest("GetPoint", code);
        Command1_Click(context);
        EXPECT_EQ(table.rowCount(), 1) << code;
        EXPECT_EQ(afterAttach(), (Log{"minimise", kGetPoint, "restore"})) << code;
        EXPECT_TRUE(cad.log->matching("information:").empty());
    }
}

TEST_F(PickPointsTest, EscAtTheCodePromptAfterTheThirdPointLeavesTwoRows) {
    for (int i = 1; i <= 3; ++i) {
        cad.utility->answerPoint({double(i), double(i), 0.0});
        if (i < 3) {
            cad.utility->answerString("P" + std::to_string(i));
        }
    }
    cad.utility->failRequest("GetString", automation::kCancelCode);
    Command1_Click(context);
    EXPECT_EQ(rows(), (std::vector<Row>{{"1", "P1", "1", "1"}, {"2", "P2", "2", "2"}}));
    EXPECT_EQ(log().back(), "restore");
}

TEST_F(PickPointsTest, AnEmptyCodeEndsTheRunAndThePointIsNotRecorded) {
    cad.utility->answerPoint({1.0, 2.0, 0.0});
    cad.utility->answerString("A");
    cad.utility->answerPoint({3.0, 4.0, 0.0});
    cad.utility->answerString("");
    Command1_Click(context);
    EXPECT_EQ(rows(), (std::vector<Row>{{"1", "A", "2", "1"}}));
    EXPECT_FALSE(cad.window.minimised);
}

TEST_F(PickPointsTest, ACodeRequestFailingWithAnotherCodeKeepsThePreviousCode) {
    cad.utility->answerPoint({1.0, 2.0, 0.0});
    cad.utility->answerString("A");
    cad.utility->answerPoint({3.0, 4.0, 0.0});
    cad.utility->failRequest("GetString", automation::kBusyCode);
    cad.utility->failRequest("GetPoint", automation::kCancelCode);
    Command1_Click(context);
    EXPECT_EQ(rows(), (std::vector<Row>{{"1", "A", "2", "1"}, {"2", "A", "4", "3"}}));
}

TEST_F(PickPointsTest, ACodeRequestFailingForTheFirstPointEndsTheRun) {
    cad.utility->answerPoint({1.0, 2.0, 0.0});
    cad.utility->failRequest("GetString", automation::kBusyCode);
    Command1_Click(context);
    EXPECT_EQ(table.rowCount(), 1);
    EXPECT_EQ(log().back(), "restore");
}

TEST_F(PickPointsTest, ATranslationFailingWithTheCancelCodeEndsTheRun) {
    cad.utility->answerPoint({1.0, 2.0, 0.0});
    cad.utility->failures.failNext("TranslateCoordinates", automation::kCancelCode);
    cad.utility->answerString("A");
    Command1_Click(context);
    EXPECT_EQ(table.rowCount(), 1);
}

TEST_F(PickPointsTest, NoDrawingMinimisesThenRestoresWithNoMessageAndNoRow) {
    cad.application->active.reset();
    Command1_Click(context);
    EXPECT_EQ(log(), (Log{"bind(AutoCAD.Application)", "ActiveDocument", "WindowState=3",
                          "minimise", "restore"}));
    EXPECT_EQ(table.rowCount(), 1);
    EXPECT_FALSE(cad.window.minimised);
}

TEST_F(PickPointsTest, NoCadShowsTheMessageOnceAndLeavesWindowAndTable) {
    cad.registry.running.clear();
    table.appendRow({"1", "OLD", "1", "2"});
    for (int click = 0; click < 2; ++click) {
        cad.log->clear();
        Command1_Click(context);
        EXPECT_EQ(cad.log->matching("information:"), (Log{"information:请先打开CAD软件！"}));
        EXPECT_TRUE(cad.log->matching("minimise").empty());
        EXPECT_TRUE(cad.log->matching("restore").empty());
    }
    EXPECT_EQ(rows(), (std::vector<Row>{{"1", "OLD", "1", "2"}}));
}

TEST_F(PickPointsTest, OptionsActOnTheNextPointAndNumericOptionsOnTheNextRun) {
    cad.options.userSystem = false;
    cad.utility->answerPoint({1.23456, 2.0, 0.0});
    cad.utility->answerString("A");
    // While the window is minimised the person edits the boxes and ticks swap.
    cad.utility->answerPoint({1.23456, 2.0, 0.0}, [this] {
        cad.options.decimalPlaces = "1";
        cad.options.scale = "10";
        cad.options.swap = true;
    });
    cad.utility->answerString("B");
    cad.utility->failRequest("GetPoint", automation::kCancelCode);
    Command1_Click(context);

    cad.utility->answerPoint({1.23456, 2.0, 0.0});
    cad.utility->answerString("C");
    cad.utility->failRequest("GetPoint", automation::kCancelCode);
    Command1_Click(context);

    EXPECT_EQ(rows(),
              (std::vector<Row>{
                  {"1", "A", "2", "1.235"}, {"2", "B", "1.235", "2"}, {"3", "C", "12.3", "20"}}));
}

TEST_F(PickPointsTest, TheWorldOrUserSystemIsChosenForEveryPoint) {
    cad.utility->ucsOrigin = {100.0, 200.0, 0.0};
    cad.utility->answerPoint({150.0, 260.0, 0.0});
    cad.utility->answerString("U");
    cad.utility->answerPoint({150.0, 260.0, 0.0}, [this] { cad.options.userSystem = false; });
    cad.utility->answerString("W");
    cad.utility->failRequest("GetPoint", automation::kCancelCode);
    Command1_Click(context);
    EXPECT_EQ(rows(), (std::vector<Row>{{"1", "U", "60", "50"}, {"2", "W", "260", "150"}}));
    EXPECT_EQ(cad.log->matching("TranslateCoordinates").size(), 2U);
}

TEST_F(PickPointsTest, AFullTableEndsTheRunWithAMessageInsteadOfDroppingPoints) {
    ASSERT_TRUE(table.setRowCount(cad::CoordinateTable::kMaxRowCount - 1));
    cad.utility->answerPoint({1.0, 2.0, 0.0});
    cad.utility->answerString("LAST");
    cad.utility->answerPoint({3.0, 4.0, 0.0});
    cad.utility->answerString("MORE");
    Command1_Click(context);
    EXPECT_EQ(row(table.rowCount() - 1), (Row{"1048574", "LAST", "2", "1"}));
    EXPECT_EQ(table.rowCount(), cad::CoordinateTable::kMaxRowCount);
    const Log tail(log().end() - 3, log().end());
    EXPECT_EQ(tail, (Log{kGetCode, "information:坐标表已满，无法再添加点！", "restore"}));
}

} // namespace
} // namespace vexilo::capture
