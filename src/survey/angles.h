// Angle and distance functions of surveying: degrees to radians, distance and azimuth of a
// coordinate difference, and decimal degrees to packed degrees-minutes-seconds.
//
// Conventions: the first coordinate (x) is north and the second (Y) is east; azimuths are in
// decimal degrees, measured from north clockwise towards east. π is the fifteen-digit constant
// below, slightly smaller than the double nearest to π, so results differ from a full-precision
// conversion in their last digits (fansuanJD(1, 1) is 45.00000000000004).
#pragma once

#include "survey/arithmetic.h"

namespace vexilo::survey {

/// The value of π these calculations use.
inline constexpr double kPi = 3.14159265358979;

/// Decimal degrees to radians: xiaoshuJD × π ÷ 180.
SurveyResult XJHD(const double& xiaoshuJD);

/// Length of the coordinate difference (x, Y): √(x² + Y²), the squares taken with pow(·, 2.0).
/// Fails with Overflow when x² + Y² exceeds the double range.
SurveyResult fansuanJL(double x, double Y);

/// Decimal degrees to a packed degrees-minutes-seconds number with the sign of x: whole
/// degrees, then two digits of minutes and two of seconds after the point (123° 27′ 24″ is
/// 123.2724). Seconds are rounded to whole seconds, halves upwards; seconds that reach 60
/// carry into the minutes and 60 minutes into the degrees, so the result is always a valid
/// angle (10.9999° gives 11, 1.999999° gives 2).
SurveyResult DMS(double x);

/// Azimuth of the coordinate difference (x north, Y east) in decimal degrees, from 0 up to but
/// not including 360. Fails with InvalidOperation for (0, 0), which has no direction.
SurveyResult fansuanJD(double x, double Y);

} // namespace vexilo::survey
