// The report layout: the entry rules of number and code cells, and the ranges of a report.
#include "export/report_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

namespace vexilo::report {
namespace {

struct TypedCase {
    const char* name;
    std::string text;
    EntryKind kind;
    double number;      // for Number
    const char* format; // for Number
};

std::ostream& operator<<(std::ostream& out, const TypedCase& c) {
    return out << c.name << " \"" << c.text << "\"";
}

class EnterAsTyped : public ::testing::TestWithParam<TypedCase> {};

TEST_P(EnterAsTyped, TakesTheTextAsASpreadsheetShowingItUnchanged) {
    const TypedCase& c = GetParam();
    const CellEntry entry = enterAsTyped(c.text);
    ASSERT_EQ(entry.kind, c.kind);
    EXPECT_EQ(entry.text, c.text);
    if (c.kind == EntryKind::Number) {
        EXPECT_EQ(entry.number, c.number);
        EXPECT_EQ(entry.shape.formatCode(), c.format);
    }
}

constexpr EntryKind N = EntryKind::Number;
constexpr EntryKind T = EntryKind::Text;

INSTANTIATE_TEST_SUITE_P(
    Boundaries, EnterAsTyped,
    ::testing::Values(
        TypedCase{"Empty", "", EntryKind::Blank, 0, ""}, TypedCase{"Zero", "0", N, 0, "General"},
        TypedCase{"ElevenDigitsStayGeneral", "12345678901", N, 12345678901.0, "General"},
        TypedCase{"TwelveDigitsGetPlaceholders", "123456789012", N, 123456789012.0, "0"},
        TypedCase{"FifteenSignificantDigits", "123456789.012345", N, 123456789.012345, "0.000000"},
        TypedCase{"SixteenSignificantDigitsStayText", "1234567890.123456", T, 0, ""},
        TypedCase{"SixteenDigitIntegerStaysText", "1234567890123456", T, 0, ""},
        TypedCase{"TrailingZerosDoNotCount", "123456789012345000", N, 123456789012345000.0, "0"},
        TypedCase{"LargestExcelNumber", "9.99999999999999E+307", N, 9.99999999999999e307,
                  "0.00000000000000E+000"},
        TypedCase{"BeyondExcelRangeStaysText", "1E+308", T, 0, ""},
        TypedCase{"SmallestNormalNumber", "2.3E-308", N, 2.3e-308, "0.0E-000"},
        TypedCase{"NearerZeroThanExcelStaysText", "2.2E-308", T, 0, ""},
        TypedCase{"OverflowStaysText", "1E+999", T, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Numbers, EnterAsTyped,
    ::testing::Values(TypedCase{"SequenceNumber", "17", N, 17, "General"},
                      TypedCase{"Coordinate", "3012345.679", N, 3012345.679, "0.000"},
                      TypedCase{"NegativeFraction", "-0.25", N, -0.25, "0.00"},
                      TypedCase{"NegativeInteger", "-12", N, -12, "General"},
                      TypedCase{"TrailingZerosKept", "12.50", N, 12.5, "0.00"},
                      TypedCase{"ZeroWithPlaces", "0.000", N, 0, "0.000"},
                      TypedCase{"LeadingZerosKept", "0012", N, 12, "0000"},
                      TypedCase{"NegativeLeadingZeros", "-007", N, -7, "000"},
                      TypedCase{"LeadingZeroBeforeFraction", "00.5", N, 0.5, "00.0"},
                      TypedCase{"ScientificAsWritten", "1E-05", N, 1e-5, "0E-00"},
                      TypedCase{"ScientificWithPlusSign", "1.5E+15", N, 1.5e15, "0.0E+00"},
                      TypedCase{"LowerCaseWithoutSign", "1e5", N, 1e5, "0e-0"},
                      TypedCase{"NegativeMantissa", "-2.25e-3", N, -2.25e-3, "0.00e-0"},
                      TypedCase{"ExponentLeadingZeros", "1E+005", N, 1e5, "0E+000"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    TextsAsNumbersWouldChange, EnterAsTyped,
    ::testing::Values(
        TypedCase{"NegativeZero", "-0", T, 0, ""},
        TypedCase{"NegativeZeroWithPlaces", "-0.00", T, 0, ""},
        TypedCase{"LeadingBlank", " 12", T, 0, ""}, TypedCase{"TrailingBlank", "12 ", T, 0, ""},
        TypedCase{"PlusSign", "+5", T, 0, ""}, TypedCase{"TrailingPoint", "12.", T, 0, ""},
        TypedCase{"LeadingPoint", ".5", T, 0, ""}, TypedCase{"DigitGrouping", "1,234", T, 0, ""},
        TypedCase{"DecimalComma", "12,5", T, 0, ""}, TypedCase{"Percent", "12%", T, 0, ""},
        TypedCase{"Fraction", "1/2", T, 0, ""}, TypedCase{"Time", "12:30", T, 0, ""},
        TypedCase{"Date", "2026-12-07", T, 0, ""}, TypedCase{"Money", "$5", T, 0, ""},
        TypedCase{"Parentheses", "(5)", T, 0, ""},
        TypedCase{"UnnormalisedMantissa", "12E+3", T, 0, ""},
        TypedCase{"ZeroMantissa", "0E+00", T, 0, ""},
        TypedCase{"ExponentWithoutDigits", "1E+", T, 0, ""}, TypedCase{"Infinity", "inf", T, 0, ""},
        TypedCase{"NotANumber", "nan", T, 0, ""}, TypedCase{"HexadecimalLooking", "0x1A", T, 0, ""},
        TypedCase{"MinusAlone", "-", T, 0, ""}, TypedCase{"Code", "K12", T, 0, ""},
        TypedCase{"FullWidthDigits", "１２", T, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EnterAsText, KeepsEveryTextAsTextAndAnEmptyOneBlank) {
    for (const std::string text : {"007", "12", "1E+05", "-0.25", "K1", " 12"}) {
        const CellEntry entry = enterAsText(text);
        EXPECT_EQ(entry.kind, EntryKind::Text) << text;
        EXPECT_EQ(entry.text, text);
    }
    EXPECT_EQ(enterAsText("").kind, EntryKind::Blank);
}

TEST(ReportColumns, HeadWidthAndRuleOfEachColumn) {
    ASSERT_EQ(kReportColumnCount, 4);
    EXPECT_EQ(kReportColumns[0].heading, "序号");
    EXPECT_EQ(kReportColumns[1].heading, "编码");
    EXPECT_EQ(kReportColumns[2].heading, "坐标X");
    EXPECT_EQ(kReportColumns[3].heading, "坐标Y");
    EXPECT_EQ(kReportColumns[0].width, 8.0);
    EXPECT_EQ(kReportColumns[1].width, 15.0);
    EXPECT_EQ(kReportColumns[2].width, 15.0);
    EXPECT_EQ(kReportColumns[3].width, 15.0);
    EXPECT_EQ(kReportColumns[1].rule, EntryRule::AsText);
    EXPECT_EQ(kReportColumns[0].rule, EntryRule::AsTyped);
    EXPECT_EQ(kReportColumns[2].rule, EntryRule::AsTyped);
    EXPECT_EQ(kReportColumns[3].rule, EntryRule::AsTyped);
}

TEST(ReportTexts, TitleIsThirteenCharactersWithAsciiSpaces) {
    EXPECT_EQ(kTitle, "坐\x20标\x20数\x20据\x20成\x20果\x20表");
    EXPECT_EQ(kTitle.size(), 7u * 3u + 6u); // seven three-byte characters, six spaces
    EXPECT_EQ(kRowHeight, 22.857142857142858);
    EXPECT_EQ(kTitleFontSize, 20.0);
    EXPECT_GE(kTitleRowHeight, 1.2 * kTitleFontSize);
    EXPECT_NE(kTitleRowHeight, kRowHeight);
}

cad::CoordinateTable tableWithRows(int dataRows) {
    cad::CoordinateTable table;
    EXPECT_TRUE(table.setRowCount(dataRows + 1));
    return table;
}

TEST(LayoutReport, HeaderOnlyTableHasNoReport) {
    EXPECT_FALSE(layoutReport(cad::CoordinateTable{}).has_value());
}

struct RangeCase {
    int dataRows;
    const char* ruled;
    const char* textFormatted;
};

class LayoutRanges : public ::testing::TestWithParam<RangeCase> {};

TEST_P(LayoutRanges, RulesHeadingsAndDataAndFormatsTheCodes) {
    const RangeCase& c = GetParam();
    const std::optional<ReportLayout> layout = layoutReport(tableWithRows(c.dataRows));
    ASSERT_TRUE(layout.has_value());
    EXPECT_EQ(layout->lastReportRow, c.dataRows + 2);
    EXPECT_EQ(toA1(layout->ruled), c.ruled);
    EXPECT_EQ(toA1(layout->textFormatted), c.textFormatted);
    EXPECT_EQ(toA1(layout->mergedTitle), "A1:D1");
    EXPECT_EQ(toA1(layout->tallRows), "A2:D65536");
    EXPECT_EQ(toA1(layout->centred), "A1:D65536");
    EXPECT_TRUE(layout->pageCentredHorizontally);
}

INSTANTIATE_TEST_SUITE_P(RowCounts, LayoutRanges,
                         ::testing::Values(RangeCase{1, "A2:D3", "B3:B3"},
                                           RangeCase{5, "A2:D7", "B3:B7"},
                                           RangeCase{32'765, "A2:D32767", "B3:B32767"},
                                           RangeCase{32'766, "A2:D32768", "B3:B32768"},
                                           RangeCase{65'534, "A2:D65536", "B3:B65536"},
                                           RangeCase{65'535, "A2:D65537", "B3:B65537"}),
                         [](const auto& info) {
                             return std::to_string(info.param.dataRows) + "DataRows";
                         });

TEST(LayoutReport, FullTableEndsOnTheSheetsLastRow) {
    cad::CoordinateTable table;
    ASSERT_TRUE(table.setRowCount(cad::CoordinateTable::kMaxRowCount));
    const std::optional<ReportLayout> layout = layoutReport(table);
    ASSERT_TRUE(layout.has_value());
    EXPECT_EQ(layout->lastReportRow, kSheetRowLimit);
    EXPECT_EQ(toA1(layout->ruled), "A2:D1048576");
}

TEST(DataCell, CopiesTableRowsInOrderUnderEachColumnsRule) {
    cad::CoordinateTable table;
    // Numbers with a gap after a deletion, and a row captured with the columns swapped:
    // column C holds what the table shows under "X坐标".
    ASSERT_TRUE(table.appendRow({"1", "007", "3012345.679", "500123.457"}));
    ASSERT_TRUE(table.appendRow({"3", "K3", "500123.457", "3012345.679"}));
    ASSERT_TRUE(table.appendRow({"3", "", "", "-0.25"}));

    const CellEntry code = dataCell(table, 3, 2);
    EXPECT_EQ(code.kind, EntryKind::Text);
    EXPECT_EQ(code.text, "007");
    EXPECT_EQ(dataCell(table, 3, 1).number, 1.0);
    EXPECT_EQ(dataCell(table, 4, 1).number, 3.0);
    EXPECT_EQ(dataCell(table, 4, 3).number, 500123.457);
    EXPECT_EQ(dataCell(table, 4, 4).number, 3012345.679);
    EXPECT_EQ(dataCell(table, 5, 1).number, 3.0);
    EXPECT_EQ(dataCell(table, 5, 2).kind, EntryKind::Blank);
    EXPECT_EQ(dataCell(table, 5, 3).kind, EntryKind::Blank);
    EXPECT_EQ(dataCell(table, 5, 4).number, -0.25);
}

TEST(DataCell, NeverReadsTheTableHeader) {
    cad::CoordinateTable table;
    ASSERT_TRUE(table.appendRow({"1", "A", "1", "2"}));
    EXPECT_EQ(dataCell(table, 2, 1).kind, EntryKind::Blank);
    EXPECT_EQ(dataCell(table, 3, 0).kind, EntryKind::Blank);
    EXPECT_EQ(dataCell(table, 3, 5).kind, EntryKind::Blank);
}

TEST(ToA1, NamesColumnsBeyondZ) {
    EXPECT_EQ(toA1({1, 26, 2, 27}), "Z1:AA2");
    EXPECT_EQ(toA1({1, 702, 1, 703}), "ZZ1:AAA1");
}

} // namespace
} // namespace vexilo::report
