// 撤销上一点: taking back the points of the latest capture command, last first.
#pragma once

#include "cad/coordinate_table.h"

namespace vexilo::form {

/// Removes the last row, with its kept point, when it belongs to the latest capture command
/// (CoordinateTable::commandFirstRow); repeated, it goes back to that command's first row and
/// no further. False, with the table unchanged, when there is nothing left to take back.
bool undoLastPoint(cad::CoordinateTable& table);

} // namespace vexilo::form
