// 撤销上一点.
#include "form/undo.h"

namespace vexilo::form {

bool undoLastPoint(cad::CoordinateTable& table) {
    const int last = table.rowCount() - 1;
    if (last < 1 || last < table.commandFirstRow()) {
        return false;
    }
    return table.removeRow(last);
}

} // namespace vexilo::form
