// 测量计算: the survey functions for typed values, and distance and azimuth between two rows.
#pragma once

#include "cad/coordinate_table.h"
#include "common/expected.h"

#include <string>

namespace vexilo::form {

/// Radians to decimal degrees with the survey functions' π (survey::kPi): the inverse of XJHD.
double radiansToDegrees(double radians);

/// Decimal degrees as degrees, minutes and whole seconds: 123.456 → "123°27′22″", −0.5 →
/// "-0°30′00″". Seconds are rounded halves up and carried as survey::DMS carries them.
std::string dmsText(double degrees);

/// From one point to another in the plane.
struct Bearing {
    double distance = 0.0; ///< drawing units (after the rows' scale)
    double azimuth = 0.0;  ///< decimal degrees from north, clockwise, 0 up to 360
};

/// Distance and azimuth from the point kept beside row `from` to that beside row `to`, north
/// being the system's Y. Fails with a message for a row without a kept east or north and for
/// two points at the same place, which have no azimuth.
Expected<Bearing, std::string> bearingBetween(const cad::CoordinateTable& table, int from, int to);

} // namespace vexilo::form
