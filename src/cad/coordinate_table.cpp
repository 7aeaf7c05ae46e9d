// The coordinate table and its two editing commands.
#include "cad/coordinate_table.h"

#include <algorithm>

namespace vexilo::cad {

CoordinateTable::CoordinateTable() {
    Row header;
    std::transform(kHeaders.begin(), kHeaders.end(), header.begin(),
                   [](std::string_view text) { return std::string(text); });
    m_rows.push_back(std::move(header));
    m_points.emplace_back();
}

bool CoordinateTable::setRowCount(int rows) {
    if (rows < 1 || rows > kMaxRowCount) {
        return false;
    }
    const int old = rowCount();
    if (rows > old) {
        if (m_observer != nullptr) {
            m_observer->rowsAboutToBeInserted(old, rows - 1);
        }
        m_rows.resize(static_cast<std::size_t>(rows));
        m_points.resize(static_cast<std::size_t>(rows));
        if (m_observer != nullptr) {
            m_observer->rowsInserted();
        }
    } else if (rows < old) {
        if (m_observer != nullptr) {
            m_observer->rowsAboutToBeRemoved(rows, old - 1);
        }
        m_rows.resize(static_cast<std::size_t>(rows));
        m_points.resize(static_cast<std::size_t>(rows));
        if (m_observer != nullptr) {
            m_observer->rowsRemoved();
        }
        clampCurrentRow();
        clampCommandFirstRow();
    }
    return true;
}

const std::string& CoordinateTable::cell(int row, int column) const {
    static const std::string empty;
    if (row < 0 || row >= rowCount() || column < 0 || column >= kColumnCount) {
        return empty;
    }
    return m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

bool CoordinateTable::setCell(int row, int column, std::string text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= kColumnCount) {
        return false;
    }
    m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = std::move(text);
    if (m_observer != nullptr) {
        m_observer->cellChanged(row, column);
    }
    return true;
}

bool CoordinateTable::appendRow(const CoordinateRow& row, const RowPoint& point) {
    const int index = rowCount();
    if (!setRowCount(index + 1)) {
        return false;
    }
    m_points[static_cast<std::size_t>(index)] = point;
    setCell(index, 0, row.number);
    setCell(index, 1, row.code);
    setCell(index, 2, row.x);
    setCell(index, 3, row.y);
    return true;
}

bool CoordinateTable::removeRow(int row) {
    if (row < 1 || row >= rowCount()) {
        return false;
    }
    if (m_observer != nullptr) {
        m_observer->rowsAboutToBeRemoved(row, row);
    }
    m_rows.erase(m_rows.begin() + row);
    m_points.erase(m_points.begin() + row);
    if (row < m_commandFirstRow) {
        --m_commandFirstRow;
    }
    if (m_observer != nullptr) {
        m_observer->rowsRemoved();
    }
    clampCurrentRow();
    clampCommandFirstRow();
    return true;
}

const RowPoint& CoordinateTable::point(int row) const {
    static const RowPoint none;
    if (row < 1 || row >= rowCount()) {
        return none;
    }
    return m_points[static_cast<std::size_t>(row)];
}

bool CoordinateTable::setPoint(int row, const RowPoint& point) {
    if (row < 1 || row >= rowCount()) {
        return false;
    }
    m_points[static_cast<std::size_t>(row)] = point;
    return true;
}

bool CoordinateTable::setCurrentRow(int row) {
    if (row < 0 || row >= rowCount()) {
        return false;
    }
    if (row != m_currentRow) {
        m_currentRow = row;
        if (m_observer != nullptr) {
            m_observer->currentRowChanged(row);
        }
    }
    return true;
}

void CoordinateTable::clampCurrentRow() {
    if (m_currentRow >= rowCount()) {
        setCurrentRow(rowCount() - 1);
    }
}

void CoordinateTable::clampCommandFirstRow() {
    m_commandFirstRow = std::clamp(m_commandFirstRow, 1, rowCount());
}

void deleteRow(CoordinateTable& table) {
    if (table.rowCount() == 2) {
        table.setRowCount(1);
    }
    if (table.rowCount() > 2) {
        table.removeRow(table.currentRow());
    }
}

void clearTable(CoordinateTable& table) {
    table.setRowCount(1);
}

} // namespace vexilo::cad
