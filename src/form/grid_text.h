// What the coordinate grid `zbxsc` shows: each cell's text and style, where a click lands, and
// the table's texts as rows for other programs.
#pragma once

#include "cad/coordinate_table.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace vexilo::form {

/// One cell as the grid draws it, centred.
struct GridCell {
    std::string_view text; ///< UTF-8, valid until the table changes
    bool headerStyle;      ///< the fixed header row and the first column look like headers
};

/// The cell at a grid row (0 is the header row, data rows follow as in the table) and column.
GridCell gridCell(const cad::CoordinateTable& table, int row, int column);

/// Where a point of the grid's client area lies, in grid rows and columns; -1 outside.
struct GridHit {
    int row = -1;
    int column = -1;
};

/// The cell under (x, y) pixels of the grid's client area at `dpi`, the header row fixed at the
/// top and `firstDataRow` the data row shown right under it. Rows past the table's end and the
/// space right of the last column are outside.
GridHit gridHit(const cad::CoordinateTable& table, int x, int y, int firstDataRow, int dpi);

/// A click on a cell: a data cell makes its row current; the header does nothing. True when
/// the current row changed.
bool clickCell(cad::CoordinateTable& table, const GridHit& hit);

/// The table's data rows as four texts each ("序号", "编码", "X坐标", "Y坐标"), the header
/// left out: what `Rows` gives other programs.
std::vector<std::array<std::string, 4>> tableRows(const cad::CoordinateTable& table);

} // namespace vexilo::form
