// The report through a spreadsheet application's automation interface, against the stand-in
// spreadsheet in its own process under Wine. The sheets of the layout cases are left in the
// sheet folder as <case>.json with <case>.expected.json beside them, for check_report.py (the
// checker of the xlsx report), which ctest runs after this program.
#include "cad/com/dispatch.h"
#include "cad/com/variant.h"
#include "cad/fake/fake_cad.h"
#include "export/excel_report.h"
#include "export/report_layout.h"
#include "spreadsheet_registration.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vexilo::report::testing {
namespace {

const std::wstring kExcelClass = L"{3C1F5E27-8B40-4D0A-9E6B-51A7C2D08F11}";
const std::wstring kWpsClass = L"{3C1F5E27-8B40-4D0A-9E6B-51A7C2D08F12}";
const std::wstring kRefusingClass = L"{3C1F5E27-8B40-4D0A-9E6B-51A7C2D08F13}";
const std::wstring kOldExcelClass = L"{3C1F5E27-8B40-4D0A-9E6B-51A7C2D08F14}";

using Rows = std::vector<cad::CoordinateRow>;

SpreadsheetServer server(const std::wstring& classId) {
    SpreadsheetServer registered;
    registered.classId = classId;
    return registered;
}

cad::CoordinateTable tableOf(const Rows& rows) {
    cad::CoordinateTable table;
    for (const auto& row : rows) {
        table.appendRow(row);
    }
    return table;
}

Rows numberedRows(int count) {
    Rows rows;
    for (int i = 1; i <= count; ++i) {
        rows.push_back({std::to_string(i), "P" + std::to_string(i),
                        std::to_string(3012345 + i) + ".125", std::to_string(512345 - i) + ".5"});
    }
    return rows;
}

std::vector<std::vector<std::string>> texts(const Rows& rows) {
    std::vector<std::vector<std::string>> out;
    for (const auto& r : rows) {
        out.push_back({r.number, r.code, r.x, r.y});
    }
    return out;
}

class SpreadsheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(apartment.ok());
        registerSpreadsheet(server(kExcelClass));
        before = sheetFiles();
    }

    // The sheet files written since the test began.
    std::vector<std::wstring> newSheets() const {
        std::vector<std::wstring> added;
        for (const auto& file : sheetFiles()) {
            if (std::find(before.begin(), before.end(), file) == before.end()) {
                added.push_back(file);
            }
        }
        return added;
    }

    std::vector<std::string> messages() const { return log->entries(); }

    cad::com::ComApartment apartment;
    std::shared_ptr<cad::fake::CallLog> log = std::make_shared<cad::fake::CallLog>();
    cad::fake::FakeWindow window{log};
    SpreadsheetReport kept;
    std::vector<std::wstring> before;
};

struct LayoutCase {
    const char* name;
    Rows rows;
};

TEST_F(SpreadsheetTest, TheSheetHoldsTheReportOfTheTable) {
    Rows swapped = {{"1", "A", "512345.5", "3012345.125"}, {"2", "B", "512346.5", "3012346.125"}};
    const std::vector<LayoutCase> cases = {
        {"one_row", {{"1", "K1", "3012345.679", "512345.12"}}},
        {"five_rows", numberedRows(5)},
        {"code_007", {{"1", "007", "10", "20"}, {"2", "12", "-3.5", "0"}}},
        {"numbering_gaps", {{"1", "A", "1", "2"}, {"4", "B", "3", "4"}, {"9", "C", "5", "6"}}},
        {"swapped", swapped},
        {"rows_32765", numberedRows(32'765)},
    };
    std::vector<std::uint64_t> callsPerTable;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        before = sheetFiles();
        const cad::CoordinateTable table = tableOf(c.rows);
        const SpreadsheetExport done = exportToSpreadsheet(table, window, kept);
        EXPECT_EQ(done.progId, L"Excel.Application");
        EXPECT_EQ(done.rowsWritten, static_cast<int>(c.rows.size()));
        EXPECT_EQ(done.lastError, S_OK);
        EXPECT_EQ(kept.lastReportRow, static_cast<int>(c.rows.size()) + 2);
        // The data crosses in blocks: a full table takes as many calls as one row.
        callsPerTable.push_back(done.calls);
        const auto sheets = newSheets();
        ASSERT_EQ(sheets.size(), 1U);
        const std::wstring named = sheetFolder() + L"\\" + cad::com::toWide(c.name) + L".json";
        DeleteFileW(named.c_str());
        ASSERT_TRUE(MoveFileW(sheets[0].c_str(), named.c_str()));
        writeExpectation(sheetFolder() + L"\\" + cad::com::toWide(c.name) + L".expected.json",
                         texts(c.rows));
        kept = {};
    }
    EXPECT_EQ(messages(), std::vector<std::string>{});
    EXPECT_EQ(callsPerTable.back(), callsPerTable.front());
    EXPECT_LT(callsPerTable.back(), 50U);
    std::printf("calls for one row: %llu, for 32,765 rows: %llu\n",
                static_cast<unsigned long long>(callsPerTable.front()),
                static_cast<unsigned long long>(callsPerTable.back()));
}

TEST_F(SpreadsheetTest, AHeaderOnlyTableStartsNothing) {
    const SpreadsheetExport done = exportToSpreadsheet(cad::CoordinateTable(), window, kept);
    EXPECT_EQ(done.calls, 0U);
    EXPECT_FALSE(kept.application);
    EXPECT_EQ(messages(), std::vector<std::string>{});
    EXPECT_EQ(newSheets(), std::vector<std::wstring>{});
}

TEST_F(SpreadsheetTest, WithoutASpreadsheetTheMessageIsShownAndNothingChanges) {
    unregisterSpreadsheets();
    const Rows rows = numberedRows(3);
    const cad::CoordinateTable table = tableOf(rows);
    const SpreadsheetExport done = exportToSpreadsheet(table, window, kept);
    EXPECT_FALSE(done.started);
    EXPECT_FALSE(kept.application);
    EXPECT_EQ(messages(),
              std::vector<std::string>{"information:" + std::string(kNoSpreadsheetMessage)});
    EXPECT_EQ(table.rowCount(), 4);
    EXPECT_EQ(table.cell(3, 2), rows[2].x);
}

TEST_F(SpreadsheetTest, OnlyWpsInstalledGetsTheReport) {
    SpreadsheetServer wps = server(kWpsClass);
    wps.progIds = {L"KET.Application"};
    wps.name = L"WPS";
    registerSpreadsheet(wps);
    const Rows rows = numberedRows(2);
    const SpreadsheetExport done = exportToSpreadsheet(tableOf(rows), window, kept);
    EXPECT_EQ(done.progId, L"KET.Application");
    EXPECT_EQ(done.rowsWritten, 2);
    EXPECT_EQ(messages(), std::vector<std::string>{});
    const auto sheets = newSheets();
    ASSERT_EQ(sheets.size(), 1U);
    EXPECT_NE(readFile(sheets[0]).find("\"application\": \"WPS\", \"visible\": true"),
              std::string::npos);
}

TEST_F(SpreadsheetTest, AFailureAfterTheWorkbookIsSkippedAndTheSheetStillShown) {
    SpreadsheetServer refusing = server(kRefusingClass);
    refusing.refuse = L"CenterHorizontally";
    registerSpreadsheet(refusing);
    const SpreadsheetExport done = exportToSpreadsheet(tableOf(numberedRows(2)), window, kept);
    EXPECT_TRUE(done.started);
    EXPECT_EQ(done.rowsWritten, 2);
    EXPECT_EQ(done.lastError, DISP_E_EXCEPTION);
    EXPECT_EQ(messages(), std::vector<std::string>{});
    const auto sheets = newSheets();
    ASSERT_EQ(sheets.size(), 1U);
    const std::string sheet = readFile(sheets[0]);
    EXPECT_NE(sheet.find("\"visible\": true"), std::string::npos);
    EXPECT_NE(sheet.find("\"centerHorizontally\": false"), std::string::npos);
    EXPECT_NE(sheet.find("[4, 3, {\"v\": 3012347.125, \"t\": \"n\""), std::string::npos);
}

TEST_F(SpreadsheetTest, RowsPastTheSheetAreRefusedAndTheUserToldHowManyArrived) {
    SpreadsheetServer oldExcel = server(kOldExcelClass);
    oldExcel.rows = 40; // an old Excel's sheet, scaled down
    registerSpreadsheet(oldExcel);
    const SpreadsheetExport done = exportToSpreadsheet(tableOf(numberedRows(50)), window, kept);
    EXPECT_EQ(done.rowsWritten, 38);
    EXPECT_EQ(messages(), std::vector<std::string>{"information:" + partialReportMessage(38, 50)});
    const auto sheets = newSheets();
    ASSERT_EQ(sheets.size(), 1U);
    const std::string sheet = readFile(sheets[0]);
    EXPECT_NE(sheet.find("\"visible\": true"), std::string::npos);
    EXPECT_NE(sheet.find("[40, 4, {\"v\": 512307.5"), std::string::npos);
    EXPECT_NE(sheet.find(std::string("[1, 1, {\"v\": \"") + std::string(kTitle)),
              std::string::npos);
    EXPECT_EQ(sheet.find("[41, "), std::string::npos);
}

TEST_F(SpreadsheetTest, EachExportMakesItsOwnWorkbookAndLeavesTheEarlierOne) {
    exportToSpreadsheet(tableOf(numberedRows(2)), window, kept);
    const auto first = newSheets();
    ASSERT_EQ(first.size(), 1U);
    const std::string firstSheet = readFile(first[0]);
    SpreadsheetReport earlier = kept;
    exportToSpreadsheet(tableOf(numberedRows(3)), window, kept);
    EXPECT_NE(kept.workbook.get(), earlier.workbook.get());
    const auto both = newSheets();
    ASSERT_EQ(both.size(), 2U);
    EXPECT_EQ(readFile(first[0]), firstSheet);
    EXPECT_NE(readFile(both[0] == first[0] ? both[1] : both[0]).find("[5, 1, {\"v\": 3"),
              std::string::npos);
}

} // namespace
} // namespace vexilo::report::testing
