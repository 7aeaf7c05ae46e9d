// The xlsx writer: workbooks read back with openpyxl, and every way writing one can fail.
#include "export/xlsx_report_writer.h"

#include "export/report_layout.h"
#include "report_check.h"

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vexilo::report {
namespace {

using testing::checkReport;
using testing::ExpectedRow;
using testing::ScratchFolder;

struct Scenario {
    const char* name;
    std::vector<ExpectedRow> rows;
};

std::ostream& operator<<(std::ostream& out, const Scenario& s) {
    return out << s.name;
}

cad::CoordinateTable tableOf(const std::vector<ExpectedRow>& rows) {
    cad::CoordinateTable table;
    for (const ExpectedRow& row : rows) {
        EXPECT_TRUE(table.appendRow({row.texts[0], row.texts[1], row.texts[2], row.texts[3]}));
    }
    return table;
}

class WrittenReport : public ::testing::TestWithParam<Scenario> {};

TEST_P(WrittenReport, ReadsBackWithEveryLayoutItem) {
    const ScratchFolder folder;
    const std::string path = folder.path() + "/report.xlsx";
    const cad::CoordinateTable table = tableOf(GetParam().rows);
    const Status<ReportFailure> written = writeReportWorkbook(table, path);
    ASSERT_TRUE(written) << written.error().message;
    EXPECT_EQ(checkReport(path, GetParam().rows), "");
}

INSTANTIATE_TEST_SUITE_P(
    Tables, WrittenReport,
    ::testing::Values(Scenario{"OneDataRow",
                               {{{"1", "K1", "3012345.679", "500123.457"}, {1, 0, 1, 1}}}},
                      Scenario{"GapsInNumbersAndACodeThatLooksLikeANumber",
                               {{{"1", "007", "3012345.679", "500123.457"}, {1, 0, 1, 1}},
                                {{"3", "12", "3012346.1", "500124"}, {1, 0, 1, 1}},
                                {{"3", "1.5", "3012347", "500125.25"}, {1, 0, 1, 1}},
                                {{"7", "K7", "-0.25", "0"}, {1, 0, 1, 1}},
                                {{"8", "", "", ""}, {1, 0, 0, 0}}}},
                      // Captured with "X、Y坐标互换": the table's "X坐标" holds the drawing's X and
                      // goes to column C as it stands.
                      Scenario{"SwappedColumnsCopiedAsTheyStand",
                               {{{"1", "P1", "500123.457", "3012345.679"}, {1, 0, 1, 1}},
                                {{"2", "P2", "500200", "3012400.5"}, {1, 0, 1, 1}}}},
                      Scenario{"EntryRules",
                               {{{"1", "A", "12.50", "0012"}, {1, 0, 1, 1}},
                                {{"2", "B", "1E-05", "1.5E+15"}, {1, 0, 1, 1}},
                                {{"3", "C", "1e5", "-2.25e-3"}, {1, 0, 1, 1}},
                                {{"4", "D", "123456789012", "123456789.012345"}, {1, 0, 1, 1}},
                                {{"5", "E", " 12", "12."}, {1, 0, 0, 0}},
                                {{"6", "F", "-0", "1,234"}, {1, 0, 0, 0}},
                                {{"7", "G", "1234567890.123456", "+5"}, {1, 0, 0, 0}},
                                {{"0008", "&<>\"'", "坐标", "12%"}, {1, 0, 0, 0}}}}),
    [](const auto& info) { return std::string(info.param.name); });

std::vector<ExpectedRow> generatedRows(int count) {
    std::vector<ExpectedRow> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int i = 1; i <= count; ++i) {
        rows.push_back(
            {{std::to_string(i), i % 7 == 0 ? "0" + std::to_string(i) : "K" + std::to_string(i),
              std::to_string(3012345 + i) + ".125", std::to_string(500000 + i)},
             {1, 0, 1, 1}});
    }
    return rows;
}

// Beyond 32,767 sheet rows (the 16-bit limit) and beyond row 65,536 (the last of the
// formatted rows), every row is written and ruled.
TEST(WrittenReport, RowsBeyondSixteenBitsAndBeyondRow65536) {
    const ScratchFolder folder;
    const std::string path = folder.path() + "/long.xlsx";
    const std::vector<ExpectedRow> rows = generatedRows(70'000);
    const Status<ReportFailure> written = writeReportWorkbook(tableOf(rows), path);
    ASSERT_TRUE(written) << written.error().message;
    EXPECT_EQ(checkReport(path, rows), "");
}

TEST(WriteReportWorkbook, FullTableFillsTheSheetToItsLastRow) {
    cad::CoordinateTable table;
    ASSERT_TRUE(table.setRowCount(cad::CoordinateTable::kMaxRowCount));
    ASSERT_TRUE(table.setCell(table.rowCount() - 1, 0, "1048574"));
    ASSERT_TRUE(table.setCell(table.rowCount() - 1, 1, "LAST"));
    const ScratchFolder folder;
    const std::string path = folder.path() + "/full.xlsx";
    const Status<ReportFailure> written = writeReportWorkbook(table, path);
    ASSERT_TRUE(written) << written.error().message;

    // openpyxl would take minutes over a million rows: look at the sheet's last row only.
    std::string output;
    const int status = testing::runCommand(
        "/usr/bin/python3 -c \"import sys, zipfile; "
        "x = zipfile.ZipFile(sys.argv[1]).read('xl/worksheets/sheet1.xml'); "
        "t = x[x.rfind(b'<row '):]; print(t[:120].decode()); "
        "sys.exit(0 if t.startswith(b'<row r=\\\"1048576\\\"') and b'LAST' in t else 1)\" " +
            path,
        output);
    EXPECT_EQ(status, 0) << output;
}

TEST(WriteReportWorkbook, HeaderOnlyTableWritesNothing) {
    const ScratchFolder folder;
    const std::string path = folder.path() + "/empty.xlsx";
    const Status<ReportFailure> written = writeReportWorkbook(cad::CoordinateTable{}, path);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().kind, ReportError::NothingToWrite);
    EXPECT_TRUE(folder.entries().empty());
}

cad::CoordinateTable oneRowTable() {
    cad::CoordinateTable table;
    EXPECT_TRUE(table.appendRow({"1", "K1", "3012345.679", "500123.457"}));
    return table;
}

TEST(WriteReportWorkbook, MissingFolderFailsAtCloseWithTheSystemsReason) {
    const ScratchFolder folder;
    const std::string path = folder.path() + "/missing/report.xlsx";
    const Status<ReportFailure> written = writeReportWorkbook(oneRowTable(), path);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().kind, ReportError::WorkbookNotSaved);
    EXPECT_EQ(written.error().libraryError, LXW_ERROR_CREATING_XLSX_FILE);
    EXPECT_NE(written.error().message.find(lxw_strerror(LXW_ERROR_CREATING_XLSX_FILE)),
              std::string::npos)
        << written.error().message;
    EXPECT_NE(written.error().message.find("No such file or directory"), std::string::npos)
        << written.error().message;
    EXPECT_TRUE(folder.entries().empty());
}

TEST(WriteReportWorkbook, FullDiskFailsTheCloseAndLeavesTheDevice) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full on this system";
    }
    const Status<ReportFailure> written = writeReportWorkbook(oneRowTable(), "/dev/full");
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().kind, ReportError::WorkbookNotSaved);
    EXPECT_NE(written.error().libraryError, 0);
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}

TEST(WriteReportWorkbook, TextUpToTheCellLimitIsWrittenBeyondItNothingIs) {
    const ScratchFolder folder;
    cad::CoordinateTable table = oneRowTable();
    ASSERT_TRUE(table.setCell(1, 1, std::string(kCellTextLimit, 'A')));
    const std::string fits = folder.path() + "/fits.xlsx";
    EXPECT_TRUE(writeReportWorkbook(table, fits));

    ASSERT_TRUE(table.appendRow({"2", std::string(kCellTextLimit + 1, 'B'), "1", "2"}));
    const std::string tooLong = folder.path() + "/too-long.xlsx";
    const Status<ReportFailure> written = writeReportWorkbook(table, tooLong);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().kind, ReportError::CellNotWritten);
    EXPECT_EQ(written.error().libraryError, LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED);
    EXPECT_EQ(written.error().message.rfind("B4: ", 0), 0u) << written.error().message;
    EXPECT_FALSE(std::filesystem::exists(tooLong));
}

} // namespace
} // namespace vexilo::report
