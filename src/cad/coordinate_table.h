// The coordinate table: the grid of text cells behind the window's table, header row included.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexilo::cad {

/// One data row as it is written: every cell is text, kept exactly as written.
struct CoordinateRow {
    std::string number; ///< sequence number ("序号")
    std::string code;   ///< point code ("编码")
    std::string x;      ///< text under "X坐标"
    std::string y;      ///< text under "Y坐标"
};

/// The coordinates a row's texts were made from, in the system the row was recorded in, after
/// the scale and the rounding: `x` is the system's X (east), `y` its Y (north), `z` the height,
/// whatever the swap put under "X坐标" and "Y坐标". A value that could not be had is absent,
/// as its cell is empty.
struct RowPoint {
    std::optional<double> x;
    std::optional<double> y;
    std::optional<double> z;
    friend bool operator==(const RowPoint&, const RowPoint&) = default;
};

/// Told about every change of a CoordinateTable, so that a view can follow it row by row
/// instead of reloading the whole table. Each "about to" call comes before the change, the
/// other after it; rows are table rows (the header is row 0).
class TableObserver {
public:
    virtual ~TableObserver() = default;
    virtual void rowsAboutToBeInserted(int first, int last) = 0;
    virtual void rowsInserted() = 0;
    virtual void rowsAboutToBeRemoved(int first, int last) = 0;
    virtual void rowsRemoved() = 0;
    virtual void cellChanged(int row, int column) = 0;
    virtual void currentRowChanged(int row) = 0;
};

/// A grid of four text columns whose row 0 is the fixed header "序号", "编码", "X坐标", "Y坐标".
/// Data rows are rows 1 to rowCount() − 1; an empty table has a row count of 1. The table never
/// reformats, re-sorts or renumbers what is written into it. Operations that cannot be done (a
/// row beyond the table, removing the header, growing past kMaxRowCount) return false and
/// change nothing.
class CoordinateTable {
public:
    static constexpr int kColumnCount = 4;
    /// Header plus the data rows a worksheet can hold under a title row and a heading row:
    /// 1,048,576 sheet rows less 2, plus the header.
    static constexpr int kMaxRowCount = 1'048'575;
    static constexpr std::array<std::string_view, kColumnCount> kHeaders = {"序号", "编码", "X坐标",
                                                                            "Y坐标"};

    CoordinateTable();

    /// Rows including the header row.
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    int columnCount() const { return kColumnCount; }

    /// Writing a larger count adds empty rows at the end, a smaller one removes rows from the
    /// end; 1 leaves the header alone. Fails below 1 or above kMaxRowCount.
    bool setRowCount(int rows);

    /// The text of a cell; the empty text for a cell outside the table.
    const std::string& cell(int row, int column) const;
    /// Fails for a cell outside the table.
    bool setCell(int row, int column, std::string text);

    /// Adds one row at the end with the given texts and kept point. Fails when the table is full.
    bool appendRow(const CoordinateRow& row, const RowPoint& point = {});

    /// The point kept beside a data row; all absent outside the table or for the header.
    const RowPoint& point(int row) const;
    /// Keeps the point beside a data row; fails for the header and outside the table. Rows that
    /// are removed take their points along.
    bool setPoint(int row, const RowPoint& point);

    /// Marks a row as the first row of the latest capture command.
    void markCommandStart(int row) { m_commandFirstRow = std::clamp(row, 1, rowCount()); }
    /// The first row the latest capture command added, followed through removals above it; the
    /// row count when none of its rows remains.
    int commandFirstRow() const { return m_commandFirstRow; }

    /// Removes one data row; the rows below move up. Fails for the header row and for rows
    /// outside the table.
    bool removeRow(int row);

    /// The row of the current cell: 0 (the header) until a data row is made current.
    int currentRow() const { return m_currentRow; }
    /// Makes a row current; fails outside the table.
    bool setCurrentRow(int row);

    /// The observer is not owned; pass nullptr to detach it.
    void setObserver(TableObserver* observer) { m_observer = observer; }

private:
    using Row = std::array<std::string, kColumnCount>;
    void clampCurrentRow();
    void clampCommandFirstRow();

    std::vector<Row> m_rows;
    /// Beside m_rows, one per row (the header's stays empty).
    std::vector<RowPoint> m_points;
    int m_currentRow = 0;
    int m_commandFirstRow = 1;
    TableObserver* m_observer = nullptr;
};

/// "删除一行": with exactly one data row the table is emptied whichever row is current; with
/// two or more the current row is removed (nothing when the header is current); an empty
/// table stays as it is. Never reports a failure.
void deleteRow(CoordinateTable& table);

/// "清空": only the header row remains. Nothing is asked.
void clearTable(CoordinateTable& table);

} // namespace vexilo::cad
