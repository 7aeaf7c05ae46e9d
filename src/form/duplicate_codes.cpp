// Codes that repeat an earlier row's.
#include "form/duplicate_codes.h"

#include <unordered_map>

namespace vexilo::form {

void DuplicateCodes::look() {
    std::unordered_map<std::string, int> first;
    m_earlier.assign(static_cast<std::size_t>(m_table.rowCount()), 0);
    for (int row = 1; row < m_table.rowCount(); ++row) {
        const std::string& code = m_table.cell(row, 1);
        if (code.empty()) {
            continue;
        }
        const auto [found, added] = first.emplace(code, row);
        if (!added) {
            m_earlier[static_cast<std::size_t>(row)] = found->second;
        }
    }
    m_valid = true;
}

int DuplicateCodes::earlierRow(int row) {
    if (!m_valid) {
        look();
    }
    if (row < 1 || row >= static_cast<int>(m_earlier.size())) {
        return 0;
    }
    return m_earlier[static_cast<std::size_t>(row)];
}

std::string DuplicateCodes::note(int row) {
    const int earlier = earlierRow(row);
    if (earlier == 0) {
        return {};
    }
    return "编码“" + m_table.cell(row, 1) + "”与序号 " + m_table.cell(earlier, 0) + " 的点重复";
}

} // namespace vexilo::form
