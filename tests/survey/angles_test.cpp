// The survey calculations: exact values where the tools' arithmetic is exact, quadrants,
// carries of the packed angle, and failures reported as values.
#include "survey/angles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vexilo::survey {
namespace {

struct ExactCase {
    const char* name;
    SurveyResult (*function)(double, double);
    double x;
    double y;
    double expected;
};

SurveyResult xjhd(double degrees, double) {
    return XJHD(degrees);
}
SurveyResult dms(double x, double) {
    return DMS(x);
}

const ExactCase kExactCases[] = {
    {"XJHD of 180 is the constant", xjhd, 180, 0, 3.14159265358979},
    {"XJHD of 90", xjhd, 90, 0, 1.570796326794895},
    {"XJHD of 0", xjhd, 0, 0, 0},
    {"fansuanJL of 3, 4", fansuanJL, 3, 4, 5},
    {"fansuanJL of -3, -4", fansuanJL, -3, -4, 5},
    {"fansuanJL of 0, 0", fansuanJL, 0, 0, 0},
    {"DMS of 0", dms, 0, 0, 0},
    {"DMS of 30.5", dms, 30.5, 0, 30.3},
    {"DMS of -1.5 keeps the sign", dms, -1.5, 0, -1.3},
    {"DMS of 0.0001 rounds 0.36 seconds away", dms, 0.0001, 0, 0},
    {"DMS of 45.25", dms, 45.25, 0, 45.15},
    {"DMS of 123.456789", dms, 123.456789, 0, 123.2724},
    {"DMS of 1.999999 carries seconds above 59.9", dms, 1.999999, 0, 2},
    {"DMS of 10.9999 carries seconds rounded to 60", dms, 10.9999, 0, 11},
    {"DMS of -10.9999 carries with the sign", dms, -10.9999, 0, -11},
    {"DMS of 59.5 seconds into the minutes only", dms, 1 + 30.0 / 60 + 59.5 / 3600, 0, 1.31},
    {"DMS of 59.4 seconds stays", dms, 1 + 30.0 / 60 + 59.4 / 3600, 0, 1.3059},
    {"DMS of 89 59 59.6 carries into the degrees", dms, 89 + 59.0 / 60 + 59.6 / 3600, 0, 90},
    {"fansuanJD of 0, 5 is east", fansuanJD, 0, 5, 90},
    {"fansuanJD of 0, -5 is west", fansuanJD, 0, -5, 270},
    {"fansuanJD of 5, 0 is north", fansuanJD, 5, 0, 0},
    {"fansuanJD of -5, 0 is south", fansuanJD, -5, 0, 180},
    {"fansuanJD of 1, 1 shows the short pi", fansuanJD, 1, 1, 45.00000000000004},
};

TEST(SurveyExact, ValuesMatchToTheLastDigit) {
    for (const ExactCase& c : kExactCases) {
        SCOPED_TRACE(c.name);
        const SurveyResult result = c.function(c.x, c.y);
        ASSERT_TRUE(result.has_value()) << describe(result.error());
        EXPECT_EQ(*result, c.expected);
    }
}

TEST(SurveyAzimuth, QuadrantsWithinTolerance) {
    struct Quadrant {
        double x, y, expected;
    };
    const Quadrant quadrants[] = {
        {1, 1, 45}, {-1, 1, 135}, {-1, -1, 225}, {1, -1, 315}, {3, 4, 53.13010235415598},
    };
    for (const Quadrant& q : quadrants) {
        SCOPED_TRACE(testing::Message() << q.x << ", " << q.y);
        const SurveyResult result = fansuanJD(q.x, q.y);
        ASSERT_TRUE(result.has_value());
        EXPECT_NEAR(*result, q.expected, 1e-12);
        EXPECT_GE(*result, 0);
        EXPECT_LT(*result, 360);
    }
}

TEST(SurveyAzimuth, TinyNegativeEastStaysBelow360) {
    const SurveyResult result = fansuanJD(1, -1e-300);
    ASSERT_TRUE(result.has_value());
    EXPECT_LT(*result, 360);
}

struct FailureCase {
    const char* name;
    SurveyResult (*function)(double, double);
    double x;
    double y;
    ArithmeticError expected;
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const FailureCase kFailureCases[] = {
    {"fansuanJD of 0, 0 has no direction", fansuanJD, 0, 0, ArithmeticError::InvalidOperation},
    {"fansuanJL whose squares overflow", fansuanJL, 1e200, 1e200, ArithmeticError::Overflow},
    {"fansuanJL of the largest double", fansuanJL, std::numeric_limits<double>::max(), 0,
     ArithmeticError::Overflow},
    {"XJHD overflows near the top of the range", xjhd, std::numeric_limits<double>::max(), 0,
     ArithmeticError::Overflow},
    {"DMS of NaN", dms, kNaN, 0, ArithmeticError::InvalidOperation},
    {"DMS of infinity", dms, kInf, 0, ArithmeticError::InvalidOperation},
    {"fansuanJD of NaN north", fansuanJD, kNaN, 1, ArithmeticError::InvalidOperation},
};

TEST(SurveyFailures, ReportedAsErrorValues) {
    for (const FailureCase& c : kFailureCases) {
        SCOPED_TRACE(c.name);
        const SurveyResult result = c.function(c.x, c.y);
        ASSERT_FALSE(result.has_value()) << *result;
        EXPECT_EQ(result.error(), c.expected) << describe(result.error());
    }
}

TEST(SurveyFailures, AFailureDoesNotLeakIntoTheNextCall) {
    ASSERT_FALSE(fansuanJD(0, 0).has_value());
    const SurveyResult next = fansuanJD(0, 5);
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(*next, 90);
}

} // namespace
} // namespace vexilo::survey
