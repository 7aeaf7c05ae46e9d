// 撤销上一点: back to the first row of the latest capture command and no further.
#include "form/undo.h"

#include "../capture/capture_fixture.h"
#include "capture/pick_points.h"

#include <gtest/gtest.h>

namespace vexilo::form {
namespace {

class UndoTest : public capture::CaptureTest {
protected:
    /// One run of the point picker recording the codes given.
    void pick(const std::vector<std::string>& codes) {
        for (const std::string& code : codes) {
            cad.utility->answerPoint({1.0, 2.0, 3.0});
            cad.utility->answerString(code);
        }
        cad.utility->failRequest("GetPoint", automation::kCancelCode);
        capture::Command1_Click(context);
    }

    std::vector<std::string> codes() const {
        std::vector<std::string> result;
        for (int row = 1; row < table.rowCount(); ++row) {
            result.push_back(table.cell(row, 1));
        }
        return result;
    }
};

TEST_F(UndoTest, GoesBackToTheLatestCommandsFirstRowAndNoFurther) {
    pick({"A1", "A2"});
    pick({"B1", "B2", "B3"});
    EXPECT_TRUE(undoLastPoint(table));
    EXPECT_TRUE(undoLastPoint(table));
    EXPECT_TRUE(undoLastPoint(table));
    EXPECT_FALSE(undoLastPoint(table));
    EXPECT_EQ(codes(), (std::vector<std::string>{"A1", "A2"}));
}

TEST_F(UndoTest, ARunThatAddedNothingLeavesTheEarlierRunUndoable) {
    pick({"A1", "A2"});
    pick({});
    EXPECT_TRUE(undoLastPoint(table));
    EXPECT_EQ(codes(), (std::vector<std::string>{"A1"}));
}

TEST_F(UndoTest, FollowsTheCommandsRowsWhenRowsAboveAreDeleted) {
    pick({"A1", "A2"});
    pick({"B1", "B2"});
    table.setCurrentRow(1);
    cad::deleteRow(table);
    EXPECT_TRUE(undoLastPoint(table));
    EXPECT_TRUE(undoLastPoint(table));
    EXPECT_FALSE(undoLastPoint(table));
    EXPECT_EQ(codes(), (std::vector<std::string>{"A2"}));
}

TEST_F(UndoTest, NothingAfterAClear) {
    pick({"A1", "A2"});
    cad::clearTable(table);
    EXPECT_FALSE(undoLastPoint(table));
    EXPECT_EQ(table.rowCount(), 1);
}

} // namespace
} // namespace vexilo::form
