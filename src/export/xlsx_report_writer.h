// Writes the coordinate report as an .xlsx workbook with libxlsxwriter.
#pragma once

#include "cad/coordinate_table.h"
#include "common/expected.h"

#include <string>

namespace vexilo::report {

/// Why a report workbook was not written.
enum class ReportError {
    NothingToWrite,     ///< the table holds only its header row (or, which CoordinateTable
                        ///< does not allow, more rows than a sheet)
    WorkbookNotStarted, ///< libxlsxwriter could not set up the workbook or its sheet
    CellNotWritten,     ///< a cell or a format was refused (for example a text over 32,767
                        ///< characters); nothing is written
    WorkbookNotSaved,   ///< closing the workbook failed: the file could not be created or
                        ///< written (missing folder, no permission, disk full)
};

/// A short English description of an error kind ("nothing to write", …).
std::string_view describe(ReportError error);

/// A failed write: what failed, and a message for the user in the library's and the system's
/// words ("Error creating output xlsx file. Usually a permissions error. (No space left on
/// device)").
struct ReportFailure {
    ReportError kind = ReportError::NothingToWrite;
    int libraryError = 0; ///< libxlsxwriter's lxw_error, 0 where it had none
    std::string message;
};

/// Writes the report of the table (report_layout.h) to the file at path (UTF-8), replacing
/// what the file held. The sheet is streamed row by row in libxlsxwriter's constant-memory
/// mode, so memory does not grow with the row count; the row data passes through a temporary
/// file in the system's temporary folder. The workbook counts as written only when closing it
/// succeeds; on a failure after the file was created the partial file is removed. The table is only
/// read.
Status<ReportFailure> writeReportWorkbook(const cad::CoordinateTable& table,
                                          const std::string& path);

} // namespace vexilo::report
