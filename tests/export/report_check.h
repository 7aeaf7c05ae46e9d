// Test support: reads a report workbook back with the openpyxl checker, and makes scratch
// folders.
#pragma once

#include <string>
#include <vector>

namespace vexilo::report::testing {

/// One data row as the table holds it, and whether each cell must come out as a number cell.
struct ExpectedRow {
    std::vector<std::string> texts;
    std::vector<bool> numbers;
};

/// Runs tests/export/check_report.py on the workbook with /usr/bin/python3. Returns the
/// checker's findings; empty when the workbook holds exactly the report of the rows, whose
/// numbers were written with `decimalSeparator`.
std::string checkReport(const std::string& workbook, const std::vector<ExpectedRow>& rows,
                        const std::string& decimalSeparator = ".");

/// Runs a command through the shell; returns its exit status and puts stdout and stderr into
/// output.
int runCommand(const std::string& command, std::string& output);

/// A fresh empty folder under the system's temporary folder, removed with its contents when
/// the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return m_path; }
    /// Names of the entries in the folder, hidden ones included, sorted.
    std::vector<std::string> entries() const;

private:
    std::string m_path;
};

} // namespace vexilo::report::testing
