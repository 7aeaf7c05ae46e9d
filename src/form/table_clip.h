// The table's rows as the clipboard carries them: tab-separated text and an HTML table.
#pragma once

#include "cad/coordinate_table.h"

#include <string>
#include <vector>

namespace vexilo::form {

/// Both forms of the same rows.
struct ClipText {
    /// One line per row, the four cells separated by tabs, lines ended by "\n"; a cell holding
    /// a tab, a line break or a quote is quoted as spreadsheets quote it ("a""b").
    std::string tsv;
    /// A UTF-8 HTML table of the same cells, the code column marked as text (Excel's and WPS's
    /// mso-number-format "\@" and x:str, LibreOffice's sdnum "@") so that 007 stays 007.
    std::string html;
};

/// The four cells of the given table rows (data rows, in the order given; rows outside the
/// table are left out), or of every data row when `rows` is empty.
ClipText clipRows(const cad::CoordinateTable& table, const std::vector<int>& rows);

} // namespace vexilo::form
