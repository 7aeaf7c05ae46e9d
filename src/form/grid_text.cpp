// What the coordinate grid `zbxsc` shows.
#include "form/grid_text.h"

#include "form/control_table.h"

namespace vexilo::form {

GridCell gridCell(const cad::CoordinateTable& table, int row, int column) {
    return {table.cell(row, column), row == 0 || column == 0};
}

GridHit gridHit(const cad::CoordinateTable& table, int x, int y, int firstDataRow, int dpi) {
    if (x < 0 || y < 0) {
        return {};
    }
    GridHit hit;
    int left = 0;
    for (int column = 0; column < static_cast<int>(kGridColumnWidthsTwips.size()); ++column) {
        const int right =
            twipsToPixels(kGridColumnWidthsTwips[static_cast<std::size_t>(column)], dpi) + left;
        if (x < right) {
            hit.column = column;
            break;
        }
        left = right;
    }
    const int rowHeight = twipsToPixels(kGridRowHeightTwips, dpi);
    if (hit.column < 0 || rowHeight <= 0) {
        return {};
    }
    const int shown = y / rowHeight;
    const int row = shown == 0 ? 0 : firstDataRow + shown - 1;
    if (row >= table.rowCount()) {
        return {};
    }
    hit.row = row;
    return hit;
}

bool clickCell(cad::CoordinateTable& table, const GridHit& hit) {
    if (hit.row < 1 || hit.column < 0 || hit.row == table.currentRow()) {
        return false;
    }
    return table.setCurrentRow(hit.row);
}

std::vector<std::array<std::string, 4>> tableRows(const cad::CoordinateTable& table) {
    std::vector<std::array<std::string, 4>> rows;
    rows.reserve(static_cast<std::size_t>(table.rowCount() - 1));
    for (int row = 1; row < table.rowCount(); ++row) {
        rows.push_back(
            {table.cell(row, 0), table.cell(row, 1), table.cell(row, 2), table.cell(row, 3)});
    }
    return rows;
}

} // namespace vexilo::form
