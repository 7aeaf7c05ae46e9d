// The stand-in spreadsheet as the tests register it: a class whose local server is
// stand_in_spreadsheet.exe with its options, programmatic identifiers pointing at it, and the
// folder its sheets are written to.
#pragma once

#include <string>
#include <vector>

namespace vexilo::report::testing {

/// One registration of the stand-in: its class, the identifiers that name it and the server's
/// options (see stand_in_spreadsheet.cpp).
struct SpreadsheetServer {
    std::wstring classId; ///< "{...}"
    std::vector<std::wstring> progIds{L"Excel.Application"};
    std::wstring name = L"Excel";
    int rows = 0; ///< 0: the server's default
    std::wstring refuse;
};

/// Writes HKLM\Software\Classes\CLSID\<class>\LocalServer32 and the identifiers' CLSID keys,
/// after removing every identifier of kSpreadsheetProgIds, so that only this server answers.
void registerSpreadsheet(const SpreadsheetServer& server);
/// Removes every identifier of kSpreadsheetProgIds: no spreadsheet application is installed.
void unregisterSpreadsheets();

/// The folder the stand-in writes its sheets to (Windows form), made if missing.
std::wstring sheetFolder();
/// The sheet files (book-*.json) in the folder, sorted.
std::vector<std::wstring> sheetFiles();
/// A file's bytes.
std::string readFile(const std::wstring& path);

/// Writes check_report.py's expectation for a sheet: the rows' four texts (UTF-8), the number
/// and both coordinates to be held as numbers, the code as text.
void writeExpectation(const std::wstring& path, const std::vector<std::vector<std::string>>& rows);

} // namespace vexilo::report::testing
