// Distance, azimuth and degree texts for the measuring dialog.
#include "form/measure.h"

#include "survey/angles.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace vexilo::form {

double radiansToDegrees(double radians) {
    return radians * 180.0 / survey::kPi;
}

std::string dmsText(double degrees) {
    if (!std::isfinite(degrees)) {
        return {};
    }
    const double seconds = std::floor(std::fabs(degrees) * 3600.0 + 0.5);
    const double whole = std::floor(seconds / 3600.0);
    const int minutes = static_cast<int>(std::fmod(seconds, 3600.0) / 60.0);
    const int rest = static_cast<int>(std::fmod(seconds, 60.0));
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%s%.0f°%02d′%02d″",
                  degrees < 0 && seconds > 0 ? "-" : "", whole, minutes, rest);
    return buffer.data();
}

Expected<Bearing, std::string> bearingBetween(const cad::CoordinateTable& table, int from, int to) {
    const cad::RowPoint& a = table.point(from);
    const cad::RowPoint& b = table.point(to);
    if (!a.x || !a.y || !b.x || !b.y) {
        return unexpected(std::string("所选的点没有坐标"));
    }
    const double north = *b.y - *a.y;
    const double east = *b.x - *a.x;
    const survey::SurveyResult distance = survey::fansuanJL(north, east);
    const survey::SurveyResult azimuth = survey::fansuanJD(north, east);
    if (!distance || !azimuth) {
        return unexpected(std::string("两点重合，没有方位角"));
    }
    return Bearing{distance.value(), azimuth.value()};
}

} // namespace vexilo::form
