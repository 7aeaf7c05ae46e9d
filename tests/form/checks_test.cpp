// The checks beside the table: repeated codes, the clipboard's texts, distance and azimuth.
#include "form/duplicate_codes.h"
#include "form/measure.h"
#include "form/table_clip.h"

#include <gtest/gtest.h>

namespace vexilo::form {
namespace {

TEST(DuplicateCodes, NamesTheFirstEarlierRowWithTheCodeAndFollowsChanges) {
    cad::CoordinateTable table;
    for (const char* code : {"J1", "J2", "J1", "", "", "J1"}) {
        table.appendRow({std::to_string(table.rowCount()), code, "", ""});
    }
    DuplicateCodes repeats(table);
    const int expected[] = {0, 0, 0, 1, 0, 0, 1};
    for (int row = 1; row < table.rowCount(); ++row) {
        EXPECT_EQ(repeats.earlierRow(row), expected[row]) << row;
    }
    EXPECT_EQ(repeats.note(3), "编码“J1”与序号 1 的点重复");
    EXPECT_EQ(repeats.note(2), "");
    table.removeRow(1);
    repeats.invalidate();
    EXPECT_EQ(repeats.earlierRow(2), 0);
    EXPECT_EQ(repeats.note(5), "编码“J1”与序号 3 的点重复");
}

TEST(TableClip, TabsAndHtmlOfTheChosenRowsWithCodesKeptAsText) {
    cad::CoordinateTable table;
    table.appendRow({"1", "007", "3012345.679", "500123.457"});
    table.appendRow({"2", "a\tb<&>", "1", "2"});
    const ClipText chosen = clipRows(table, {2, 9});
    EXPECT_EQ(chosen.tsv, "2\t\"a\tb<&>\"\t1\t2\n");
    EXPECT_NE(chosen.html.find("a\tb&lt;&amp;&gt;"), std::string::npos);
    const ClipText all = clipRows(table, {});
    EXPECT_EQ(all.tsv.substr(0, all.tsv.find('\n')), "1\t007\t3012345.679\t500123.457");
    EXPECT_NE(all.html.find("mso-number-format:'\\@'\" sdnum=\"2052;0;@\">007</td>"),
              std::string::npos);
}

TEST(Measure, DistanceAndAzimuthFromTheFirstRowToTheSecond) {
    cad::CoordinateTable table;
    table.appendRow({"1", "A", "", ""}, {100.0, 200.0, std::nullopt});
    table.appendRow({"2", "B", "", ""}, {130.0, 160.0, std::nullopt});
    table.appendRow({"3", "C", "", ""}, {std::nullopt, 1.0, std::nullopt});
    const auto bearing = bearingBetween(table, 1, 2);
    ASSERT_TRUE(bearing);
    EXPECT_DOUBLE_EQ(bearing->distance, 50.0);
    EXPECT_EQ(dmsText(bearing->azimuth), "143°07′48″"); // north −40, east +30
    EXPECT_FALSE(bearingBetween(table, 1, 3));
    EXPECT_FALSE(bearingBetween(table, 1, 1));
    EXPECT_EQ(dmsText(-0.5), "-0°30′00″");
    EXPECT_EQ(dmsText(10.99999), "11°00′00″");
    EXPECT_NEAR(radiansToDegrees(1.5707963267949), 90.0, 1e-12);
}

} // namespace
} // namespace vexilo::form
