// What the grid shows, where a click lands, and the rows given to other programs.
#include "form/control_table.h"
#include "form/grid_text.h"

#include <gtest/gtest.h>

namespace vexilo::form {
namespace {

cad::CoordinateTable tableWithRows(int rows) {
    cad::CoordinateTable table;
    for (int i = 1; i <= rows; ++i) {
        table.appendRow({std::to_string(i), "P" + std::to_string(i), "10.000", "20.000"});
    }
    return table;
}

TEST(GridText, HeaderRowAndFirstColumnLookLikeHeaders) {
    const cad::CoordinateTable table = tableWithRows(1);
    EXPECT_EQ(gridCell(table, 0, 2).text, "X坐标");
    EXPECT_TRUE(gridCell(table, 0, 2).headerStyle);
    EXPECT_EQ(gridCell(table, 1, 0).text, "1");
    EXPECT_TRUE(gridCell(table, 1, 0).headerStyle);
    EXPECT_EQ(gridCell(table, 1, 1).text, "P1");
    EXPECT_FALSE(gridCell(table, 1, 1).headerStyle);
}

struct HitCase {
    int x;
    int y;
    int firstDataRow;
    int dpi;
    GridHit expected;
};

TEST(GridText, ClickLandsOnCellAtAnyDpi) {
    const cad::CoordinateTable table = tableWithRows(30);
    // At 96 DPI columns are 40, 97, 97, 97 px wide and rows 23 px high; at 144 DPI 60, 145,
    // 145, 145 and 35.
    const HitCase cases[] = {
        {0, 0, 1, 96, {0, 0}},           {39, 22, 1, 96, {0, 0}},
        {40, 23, 1, 96, {1, 1}},         {136, 46, 1, 96, {2, 1}},
        {137, 46, 1, 96, {2, 2}},        {330, 46, 1, 96, {2, 3}},
        {331, 46, 1, 96, {-1, -1}}, // right of the last column
        {50, 23, 11, 96, {11, 1}},  // scrolled: the header stays, row 11 under it
        {50, 10, 11, 96, {0, 1}},        {50, 23 * 20, 11, 96, {30, 1}},
        {50, 23 * 21, 11, 96, {-1, -1}}, // below the last row
        {59, 35, 1, 144, {1, 0}},        {60, 34, 1, 144, {0, 1}},
        {-1, 5, 1, 96, {-1, -1}},
    };
    for (const HitCase& c : cases) {
        const GridHit hit = gridHit(table, c.x, c.y, c.firstDataRow, c.dpi);
        EXPECT_EQ(hit.row, c.expected.row) << c.x << "," << c.y << " @" << c.dpi;
        EXPECT_EQ(hit.column, c.expected.column) << c.x << "," << c.y << " @" << c.dpi;
    }
}

TEST(GridText, ClickOnDataCellMakesItsRowCurrent) {
    cad::CoordinateTable table = tableWithRows(3);
    EXPECT_TRUE(clickCell(table, {2, 1}));
    EXPECT_EQ(table.currentRow(), 2);
    EXPECT_FALSE(clickCell(table, {0, 1})); // the header
    EXPECT_FALSE(clickCell(table, {-1, -1}));
    EXPECT_EQ(table.currentRow(), 2);
}

TEST(GridText, RowsAreTheDataRowsTexts) {
    EXPECT_TRUE(tableRows(cad::CoordinateTable()).empty());
    const auto rows = tableRows(tableWithRows(2));
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(rows[1], (std::array<std::string, 4>{"2", "P2", "10.000", "20.000"}));
}

TEST(ControlTable, TwipsScaleWithDpi) {
    EXPECT_EQ(twipsToPixels(kClientWidthTwips), 375);
    EXPECT_EQ(twipsToPixels(kClientHeightTwips), 380);
    EXPECT_EQ(twipsToPixels(280), 19);
    EXPECT_EQ(twipsToPixels(280, 144), 28);
    EXPECT_EQ(twipsToPixels(kClientWidthTwips, 192), 750);
    EXPECT_EQ(twipsToPixels(-280), -19);
}

} // namespace
} // namespace vexilo::form
