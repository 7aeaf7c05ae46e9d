// "导出" in vexilo.exe under Wine, as a person uses it: points picked from the stand-in AutoCAD
// fill the table, a click on 导出 makes the report in the stand-in spreadsheet, and the sheet it
// wrote is left as export.json with export.expected.json (the table's rows, read through
// Vexilo.FormCAD's `Rows`) beside it for check_report.py, which ctest runs after this program.
// (Without a spreadsheet application the click's message is checked in vexilo_exe_test.cpp.)
#include "cad/com/variant.h"
#include "spreadsheet_registration.h"
#include "stand_in_process.h"
#include "window_driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

namespace vexilo::win32 {
namespace {

using namespace driver;

/// The table's rows through `Rows` of the object vexilo.exe put in the running object table;
/// nothing when it cannot be read.
std::optional<Rows> tableRows() {
    IDispatch* object = bindVexilo();
    if (object == nullptr) {
        return std::nullopt;
    }
    Rows rows = rowsOf(object);
    object->Release();
    return rows;
}

/// The rows as UTF-8 texts.
std::vector<std::vector<std::string>> utf8(const Rows& rows) {
    std::vector<std::vector<std::string>> out;
    for (const auto& row : rows) {
        auto& texts = out.emplace_back();
        for (const auto& text : row) {
            texts.push_back(cad::com::toUtf8(text));
        }
    }
    return out;
}

TEST(VexiloExeExportTest, ExportShowsThePickedRowsInTheSpreadsheet) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    {
        Vexilo registration(L"/RegServer");
        ASSERT_EQ(registration.exitCode(30), 0);
    }
    report::testing::SpreadsheetServer excel;
    excel.classId = L"{3C1F5E27-8B40-4D0A-9E6B-51A7C2D08F21}";
    report::testing::registerSpreadsheet(excel);

    // Three points with their codes typed; Esc at the fourth point ends the pick.
    cad::com::testing::StandIn autocad(
        {"12.3456,45.6789", "007", "-20.5,7.25", "K2", "100,200", "K3", "^C"});
    ASSERT_TRUE(autocad.ready());
    Vexilo vexilo;
    HWND window = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (window = findWindowOf(vexilo.id(), FormWindow::kClassName)); }));
    ASSERT_TRUE(waitFor([] { return tableRows() == Rows{}; }));
    click(window, "Command1");
    ASSERT_TRUE(waitFor([&] { return autocad.logged("Utility.GetPoint").size() == 4; }, 60))
        << ::testing::PrintToString(autocad.log());
    Rows rows;
    ASSERT_TRUE(waitFor([&] { return (rows = tableRows().value_or(Rows{})).size() == 3; }))
        << rows.size() << " rows; the stand-in's log:\n"
        << ::testing::PrintToString(autocad.log());
    EXPECT_EQ(rows[0][1], L"007");

    const std::vector<std::wstring> before = report::testing::sheetFiles();
    click(window, "Command4");
    std::vector<std::wstring> sheets;
    ASSERT_TRUE(waitFor(
        [&] {
            sheets.clear();
            for (const auto& file : report::testing::sheetFiles()) {
                if (std::find(before.begin(), before.end(), file) == before.end()) {
                    sheets.push_back(file);
                }
            }
            return !sheets.empty();
        },
        60));
    ASSERT_EQ(sheets.size(), 1U);
    const std::wstring named = report::testing::sheetFolder() + L"\\export.json";
    DeleteFileW(named.c_str());
    ASSERT_TRUE(MoveFileW(sheets[0].c_str(), named.c_str()));
    report::testing::writeExpectation(report::testing::sheetFolder() + L"\\export.expected.json",
                                      utf8(rows));
    EXPECT_EQ(tableRows(), rows);

    click(window, "Command3");
    EXPECT_EQ(vexilo.exitCode(30), 0);
    CoUninitialize();
}

} // namespace
} // namespace vexilo::win32
