// Angle and distance functions of surveying, step by step as surveyors' tools compute them.
#include "survey/angles.h"

#include <cmath>

namespace vexilo::survey {

SurveyResult XJHD(const double& xiaoshuJD) {
    return checkedArithmetic([&] { return xiaoshuJD * kPi / 180; });
}

SurveyResult fansuanJL(double x, double Y) {
    return checkedArithmetic([&] { return std::sqrt(std::pow(x, 2.0) + std::pow(Y, 2.0)); });
}

namespace {

double signOf(double x) {
    if (x > 0) {
        return 1;
    }
    if (x < 0) {
        return -1;
    }
    return 0;
}

// Carries a packed value's seconds digits of 60 into the minutes, and minutes of 60 into the
// degrees. `packed` is the packed angle times 10000, a whole number: DDD MM SS.
double carrySixties(double packed) {
    if (std::fmod(packed, 100) >= 60) {
        packed += 100 - std::fmod(packed, 100);
    }
    if (std::fmod(std::floor(packed / 100), 100) >= 60) {
        packed += 10000 - std::fmod(packed, 10000);
    }
    return packed;
}

} // namespace

SurveyResult DMS(double x) {
    return checkedArithmetic([&] {
        const double s = signOf(x);
        const double a = std::fabs(x);
        double D = std::floor(a);
        double M = std::floor((a - D) * 60);
        double S = ((a - D) - M / 60) * 3600;
        if (S + 0.1 > 60) {
            M = M + 1;
            S = 0;
        }
        if (M == 60) {
            D = D + 1;
            M = 0;
        }
        // Rounding to whole seconds (the + 0.00005) can itself reach 60 seconds, for seconds
        // from 59.5 up to 59.9 that the test above leaves alone; carry those too.
        const double packed =
            carrySixties(std::floor(((M / 100 + D) + S / 10000 + 0.00005) * 10000));
        const double r = packed / 10000;
        return s * r;
    });
}

SurveyResult fansuanJD(double x, double Y) {
    return checkedArithmetic([&] {
        double result;
        if (x == 0) {
            result = Y / std::fabs(Y) * 90;
        } else {
            result = std::atan(Y / x) * 180 / kPi + (1 - x / std::fabs(x)) * 90;
        }
        if (result < 0) {
            result = result + 360;
            // A direction a hair west of north (-1e-300°) rounds to 360 when 360 is added;
            // the azimuth of that direction is 0, which keeps the result below 360.
            if (result == 360) {
                result = 0;
            }
        }
        return result;
    });
}

} // namespace vexilo::survey
