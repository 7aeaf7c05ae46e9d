// The coordinate report in a spreadsheet application on Windows: Excel, or WPS Spreadsheets in
// its place, started through COM and driven member by member to lay out the report of the
// table, then shown unsaved. The layout comes from report_layout.h, as for the xlsx writer.
//
// The data crosses to the application in blocks: one Range(...).Value assignment of a
// two-dimensional SAFEARRAY of VARIANT texts per block of rows, each block's code column
// formatted as text just before, so that the application's own entry rules still decide which
// texts become numbers. A block the application refuses (an old Excel's sheet ends at row
// 65,536) is split until the rows that fit have been written; the user is told how many
// reached the sheet.
//
// The calling thread must be in a single-threaded COM apartment (cad::com::ComApartment).
#pragma once

#include "cad/com/com_ptr.h"
#include "cad/coordinate_table.h"
#include "cad/ports.h"

#include <oaidl.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexilo::report {

/// The programmatic identifiers tried in order: Excel, then WPS Spreadsheets, which keeps
/// Excel's object model under its own identifiers.
inline constexpr std::array<std::wstring_view, 3> kSpreadsheetProgIds = {
    L"Excel.Application", L"KET.Application", L"ET.Application"};

/// Shown (title "提示信息", information icon) when no application, workbook or first worksheet
/// can be had; the export then ends.
inline constexpr std::string_view kNoSpreadsheetMessage =
    "软件没有检测到EXCEL，请确认EXCEL安装完整版！";

/// Sheet rows handed over in one Range(...).Value assignment; the first block starts at the
/// title row, so that the title and the headings travel with the first data rows.
inline constexpr int kBlockRows = 32'768;

/// The message shown when the application took only the first `written` of `total` data rows.
std::string partialReportMessage(int written, int total);

/// The application, workbook and report worksheet of the latest export, and its last report
/// row. The window keeps them until the next export replaces them; nothing ever saves, closes
/// or quits them, so the application stays open for the person when they are released.
struct SpreadsheetReport {
    cad::com::ComPtr<IDispatch> application;
    cad::com::ComPtr<IDispatch> workbook;
    cad::com::ComPtr<IDispatch> worksheet;
    int lastReportRow = 0;
};

/// What one export did.
struct SpreadsheetExport {
    /// The identifier whose application answered; empty when none did (or the table was empty).
    std::wstring progId;
    /// The application, a workbook and its first worksheet were had, so the sheet was made.
    bool started = false;
    /// Data rows that reached the sheet.
    int rowsWritten = 0;
    /// Calls that crossed to the application: CoCreateInstance, GetIDsOfNames and Invoke.
    std::uint64_t calls = 0;
    /// The code of the last step that failed and was skipped; 0 when every step worked.
    HRESULT lastError = 0;
};

/// `Command4` "导出": the report of `table` in a new workbook of a newly created spreadsheet
/// application, made visible last. A table holding only its header row does nothing. When no
/// application (Excel.Application, KET.Application, ET.Application in that order) can be
/// created, or no workbook or first worksheet can be had, `window` shows
/// kNoSpreadsheetMessage and `kept` is left as it was. Afterwards every step runs in
/// skip-and-continue mode: a failing step is skipped and the sheet is still shown. The table is
/// only read. `kept` receives the objects of this export.
SpreadsheetExport exportToSpreadsheet(const cad::CoordinateTable& table, cad::WindowPort& window,
                                      SpreadsheetReport& kept);

} // namespace vexilo::report
