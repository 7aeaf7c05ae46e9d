// The grid `zbxsc`: a table view over the coordinate table with a fixed header row and a first
// column drawn in the header style.
#pragma once

#include "cad/coordinate_table.h"

#include <QTableView>

#include <vector>

namespace vexilo::app {

class CoordinateTableModel;

/// Shows a CoordinateTable: the header row as a fixed horizontal header, column 0 painted like
/// a header section, column widths 600 / 1450 / 1450 / 1450 twips, every row 350 twips high,
/// every cell centred both ways in SimSun 9 pt (with CJK fallbacks). Read-only. The table's
/// current row and the view's current row follow each other: clicking a cell (or moving with
/// the keys) makes its row current in the table, and a current row that the table moves
/// (removal, clear) is shown. Rows can be selected together (Ctrl, Shift) for the menu's
/// commands; new rows are scrolled into view as they are appended. The table must outlive the
/// grid.
class CoordinateGrid : public QTableView {
    Q_OBJECT
public:
    explicit CoordinateGrid(cad::CoordinateTable& table, QWidget* parent = nullptr);

    CoordinateTableModel* tableModel() const { return m_model; }
    /// The table rows (1 and up) that are selected, in table order.
    std::vector<int> selectedTableRows() const;

protected:
    /// Leaves Ctrl+C to the window's 复制, which copies whole rows, rather than the view's copy
    /// of the current cell.
    bool event(QEvent* event) override;

private:
    /// Brings the last row into view once the rows appended in one burst are laid out.
    void scrollToNewRows();
    /// Moves the view's current row to the table's (none while the header is current).
    void showTableCurrentRow();
    /// Makes the view's current row the table's, unless the view is following the table.
    void takeViewCurrentRow(const QModelIndex& current);

    cad::CoordinateTable& m_table;
    CoordinateTableModel* m_model;
    bool m_following = false;
    bool m_scrollPending = false;
};

} // namespace vexilo::app
