// The coordinate table: header, row count, delete and clear, and the observer's calls.
#include "cad/coordinate_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexilo::cad {
namespace {

CoordinateTable tableWithRows(int dataRows) {
    CoordinateTable table;
    for (int i = 1; i <= dataRows; ++i) {
        table.appendRow({std::to_string(i), "K" + std::to_string(i), "1.5", "2.5"});
    }
    return table;
}

std::vector<std::string> numbers(const CoordinateTable& table) {
    std::vector<std::string> result;
    for (int row = 1; row < table.rowCount(); ++row) {
        result.push_back(table.cell(row, 0));
    }
    return result;
}

void expectHeader(const CoordinateTable& table) {
    EXPECT_EQ(table.cell(0, 0), "序号");
    EXPECT_EQ(table.cell(0, 1), "编码");
    EXPECT_EQ(table.cell(0, 2), "X坐标");
    EXPECT_EQ(table.cell(0, 3), "Y坐标");
}

TEST(CoordinateTable, StartsWithTheHeaderOnly) {
    const CoordinateTable table;
    EXPECT_EQ(table.rowCount(), 1);
    EXPECT_EQ(table.columnCount(), 4);
    EXPECT_EQ(table.currentRow(), 0);
    expectHeader(table);
}

TEST(CoordinateTable, KeepsTextsExactlyAsWritten) {
    CoordinateTable table;
    ASSERT_TRUE(table.appendRow({"7", "007", "3012345.679", "-0.25"}));
    EXPECT_EQ(table.cell(1, 0), "7");
    EXPECT_EQ(table.cell(1, 1), "007");
    EXPECT_EQ(table.cell(1, 2), "3012345.679");
    EXPECT_EQ(table.cell(1, 3), "-0.25");
}

TEST(CoordinateTable, RefusesWhatIsOutsideTheTable) {
    CoordinateTable table = tableWithRows(1);
    EXPECT_FALSE(table.setCell(2, 0, "x"));
    EXPECT_FALSE(table.setCell(1, 4, "x"));
    EXPECT_FALSE(table.setCell(-1, 0, "x"));
    EXPECT_EQ(table.cell(5, 5), "");
    EXPECT_FALSE(table.setRowCount(0));
    EXPECT_FALSE(table.setRowCount(CoordinateTable::kMaxRowCount + 1));
    EXPECT_FALSE(table.removeRow(0));
    EXPECT_FALSE(table.removeRow(2));
    EXPECT_EQ(table.rowCount(), 2);
}

TEST(CoordinateTable, GrowsToTheWorksheetLimitAndNoFurther) {
    CoordinateTable table;
    ASSERT_TRUE(table.setRowCount(CoordinateTable::kMaxRowCount));
    EXPECT_FALSE(table.appendRow({"x", "x", "x", "x"}));
    EXPECT_EQ(table.rowCount(), CoordinateTable::kMaxRowCount);
}

struct DeleteCase {
    const char* name;
    int dataRows;
    int current;
    std::vector<std::string> remaining;
};

TEST(DeleteRow, FollowsTheRowCountRules) {
    const DeleteCase cases[] = {
        {"empty table stays empty", 0, 0, {}},
        {"one row goes even with the header current", 1, 0, {}},
        {"one row goes when it is current", 1, 1, {}},
        {"second of three leaves 1 and 3", 3, 2, {"1", "3"}},
        {"last of three", 3, 3, {"1", "2"}},
        {"header current with two rows: nothing", 2, 0, {"1", "2"}},
    };
    for (const DeleteCase& c : cases) {
        SCOPED_TRACE(c.name);
        CoordinateTable table = tableWithRows(c.dataRows);
        ASSERT_TRUE(table.setCurrentRow(c.current));
        deleteRow(table);
        EXPECT_EQ(numbers(table), c.remaining);
        expectHeader(table);
    }
}

TEST(DeleteRow, CurrentRowStaysInsideTheTable) {
    CoordinateTable table = tableWithRows(3);
    table.setCurrentRow(3);
    deleteRow(table);
    EXPECT_EQ(table.currentRow(), 2);
}

TEST(ClearTable, LeavesTheHeaderAndAppendStartsAtRowOne) {
    CoordinateTable empty;
    clearTable(empty);
    EXPECT_EQ(empty.rowCount(), 1);
    expectHeader(empty);

    CoordinateTable table = tableWithRows(4);
    table.setCurrentRow(3);
    clearTable(table);
    EXPECT_EQ(table.rowCount(), 1);
    EXPECT_EQ(table.currentRow(), 0);
    expectHeader(table);
    table.appendRow({"1", "A", "1", "2"});
    EXPECT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.cell(1, 0), "1");
}

class RecordingObserver : public TableObserver {
public:
    std::vector<std::string> calls;
    void rowsAboutToBeInserted(int first, int last) override {
        calls.push_back("insert " + std::to_string(first) + "-" + std::to_string(last));
    }
    void rowsInserted() override { calls.push_back("inserted"); }
    void rowsAboutToBeRemoved(int first, int last) override {
        calls.push_back("remove " + std::to_string(first) + "-" + std::to_string(last));
    }
    void rowsRemoved() override { calls.push_back("removed"); }
    void cellChanged(int row, int column) override {
        calls.push_back("cell " + std::to_string(row) + "," + std::to_string(column));
    }
    void currentRowChanged(int row) override { calls.push_back("current " + std::to_string(row)); }
};

TEST(TableObserver, HearsEachChangeInOrder) {
    CoordinateTable table = tableWithRows(2);
    RecordingObserver observer;
    table.setObserver(&observer);
    table.appendRow({"3", "C", "1", "2"});
    table.setCurrentRow(1);
    table.removeRow(1);
    table.setRowCount(1);
    const std::vector<std::string> expected = {
        "insert 3-3", "inserted",   "cell 3,0", "cell 3,1",   "cell 3,2", "cell 3,3",
        "current 1",  "remove 1-1", "removed",  "remove 1-2", "removed",  "current 0"};
    EXPECT_EQ(observer.calls, expected);
}

} // namespace
} // namespace vexilo::cad
