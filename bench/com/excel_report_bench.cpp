// Times the report in the stand-in spreadsheet under Wine and counts the calls that cross to
// it: the driver's blocks, against the data written one cell per call (a text format and four
// values per row, each through its own Cells(row, column)).
//   excel_report_bench [rows]                 (default 32765)
//   excel_report_bench --cell-by-cell [rows]  the data of the rows alone, cell by cell
// Measured under Wine 8 on two cores shared with other work (times vary with the load):
//   blocks, 32,765 rows: 49 calls, 3.6 to 13 s, of which about 1.1 s start the server and most
//     of the rest is the one Value assignment of the data and the stand-in writing its sheet;
//     1 row or 8,000 rows: 49 calls, 3.6 s;
//   cell by cell: 10 calls a row and 14 more (327,664 calls for 32,765 rows); 2,000 rows took
//     20,014 calls and 252 s, so 32,765 rows would take over an hour.
#include "cad/com/dispatch.h"
#include "cad/com/variant.h"
#include "cad/fake/fake_cad.h"
#include "export/excel_report.h"
#include "spreadsheet_registration.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

namespace {

using namespace vexilo;

cad::CoordinateTable tableOf(int rows) {
    cad::CoordinateTable table;
    for (int i = 1; i <= rows; ++i) {
        table.appendRow({std::to_string(i), "P" + std::to_string(i),
                         std::to_string(3012345 + i) + ".125", std::to_string(512345 - i) + ".5"});
    }
    return table;
}

cad::com::DispatchObject objectOf(const cad::CadResult<cad::com::Variant>& result,
                                  const cad::com::LinkPtr& link, const char* kind) {
    if (!result || result->value().vt != VT_DISPATCH) {
        return {};
    }
    IDispatch* dispatch = result->value().pdispVal;
    dispatch->AddRef();
    return cad::com::DispatchObject(link, cad::com::ComPtr<IDispatch>(dispatch), kind);
}

// The rows' data one cell per call; returns the calls made, 0 when the sheet was not had.
std::uint64_t cellByCell(const cad::CoordinateTable& table) {
    CLSID classId{};
    IDispatch* dispatch = nullptr;
    if (FAILED(CLSIDFromProgID(L"Excel.Application", &classId)) ||
        FAILED(CoCreateInstance(classId, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&dispatch)))) {
        return 0;
    }
    auto link = std::make_shared<cad::com::Link>(cad::com::RetryPolicy{});
    cad::com::DispatchObject application(link, cad::com::ComPtr<IDispatch>(dispatch),
                                         "Application");
    auto books = objectOf(application.get(L"Workbooks"), link, "Workbooks");
    auto book = objectOf(books.call(L"Add", {}), link, "Workbook");
    auto sheets = objectOf(book.get(L"Worksheets"), link, "Sheets");
    VARIANT first;
    first.vt = VT_I4;
    first.lVal = 1;
    auto sheet = objectOf(sheets.call(L"Item", {first}), link, "Worksheet");
    if (!sheet) {
        return 0;
    }
    const auto cell = [&](int row, int column) {
        VARIANT r;
        VARIANT c;
        r.vt = c.vt = VT_I4;
        r.lVal = row;
        c.lVal = column;
        return objectOf(sheet.call(L"Cells", {r, c}), link, "Range");
    };
    for (int i = 1; i < table.rowCount(); ++i) {
        (void)cell(i + 2, 2).put(L"NumberFormatLocal", cad::com::Variant::text("@"));
        for (int j = 0; j < table.columnCount(); ++j) {
            (void)cell(i + 2, j + 1).put(L"Value", cad::com::Variant::text(table.cell(i, j)));
        }
    }
    (void)application.put(L"Visible", cad::com::Variant::boolean(true));
    return link->calls() + 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    bool cells = false;
    int rows = 32'765;
    for (int i = 1; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--cell-by-cell") == 0) {
            cells = true;
        } else {
            rows = static_cast<int>(std::wcstol(argv[i], nullptr, 10));
        }
    }
    cad::com::ComApartment apartment;
    if (!apartment.ok()) {
        std::fprintf(stderr, "COM could not start on this thread\n");
        return 1;
    }
    report::testing::SpreadsheetServer server;
    server.classId = L"{3C1F5E27-8B40-4D0A-9E6B-51A7C2D08F1F}";
    report::testing::registerSpreadsheet(server);
    const cad::CoordinateTable table = tableOf(rows);
    const auto start = std::chrono::steady_clock::now();
    std::uint64_t calls = 0;
    int written = 0;
    if (cells) {
        calls = cellByCell(table);
        written = calls > 0 ? rows : 0;
    } else {
        cad::fake::FakeWindow window(std::make_shared<cad::fake::CallLog>());
        report::SpreadsheetReport kept;
        const report::SpreadsheetExport done = report::exportToSpreadsheet(table, window, kept);
        calls = done.calls;
        written = done.rowsWritten;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%s, %d rows: %.3f s (the server's start included), %d rows written, %llu calls\n",
                cells ? "cell by cell" : "blocks", rows, took.count(), written,
                static_cast<unsigned long long>(calls));
    return written == rows ? 0 : 1;
}
