// Codes that repeat an earlier row's code, found so that the grid can tint and name them.
#pragma once

#include "cad/coordinate_table.h"

#include <string>
#include <vector>

namespace vexilo::form {

/// Which rows repeat an earlier row's code. Answers from what it found at its last look at the
/// table; invalidate() after every change makes the next question look again (once, in linear
/// time). Empty codes repeat nothing. The table must outlive this object.
class DuplicateCodes {
public:
    explicit DuplicateCodes(const cad::CoordinateTable& table) : m_table(table) {}

    void invalidate() { m_valid = false; }

    /// The first earlier data row with the same code as `row`, or 0 when there is none.
    int earlierRow(int row);

    /// The tooltip of a repeating row: 编码“J1”与序号 3 的点重复; empty for other rows.
    std::string note(int row);

private:
    void look();

    const cad::CoordinateTable& m_table;
    std::vector<int> m_earlier;
    bool m_valid = false;
};

} // namespace vexilo::form
