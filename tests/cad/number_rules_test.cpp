// The number rules: leading number, full-text number, 16 bits, number to text, rounding.
#include "cad/number_rules.h"

#include "cad/error_state.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

namespace vexilo::cad {
namespace {

struct TextCase {
    const char* text;
    double expected;
};

TEST(LeadingNumber, ReadsTheNumberAtTheStartOfTheText) {
    const TextCase cases[] = {
        {"", 0.0},       {"abc", 0.0}, {"-", 0.0},      {".", 0.0},       {"12", 12.0},
        {"12abc", 12.0}, {"-3", -3.0}, {"+7", 7.0},     {"1 2", 12.0},    {" 1\t2\n3", 123.0},
        {"- 3", -3.0},   {"007", 7.0}, {"1.5", 1.5},    {".5", 0.5},      {"5.", 5.0},
        {"1.2.3", 1.2},  {"1,5", 1.0}, {"1e3", 1000.0}, {"1.5D2", 150.0}, {"2E-1", 0.2},
        {"1e", 1.0},     {"1e+", 1.0}, {"3x4", 3.0},    {"--3", 0.0},     {"40000", 40000.0},
        {"1e-400", 0.0},
    };
    for (const TextCase& c : cases) {
        const auto value = leadingNumber(c.text);
        ASSERT_TRUE(value.has_value()) << c.text;
        EXPECT_DOUBLE_EQ(value.value(), c.expected) << "text: \"" << c.text << "\"";
    }
}

TEST(LeadingNumber, KeepsCarriageReturnsAsAStop) {
    EXPECT_DOUBLE_EQ(leadingNumber("1\r2").value(), 1.0);
}

TEST(LeadingNumber, FailsBeyondTheDoubleRange) {
    const auto value = leadingNumber("1e400");
    ASSERT_FALSE(value.has_value());
    EXPECT_EQ(value.error(), NumberError::OutOfRange);
}

TEST(FullTextNumber, ReadsTextsThatAreEntirelyANumber) {
    const TextCase cases[] = {
        {"0", 0.0},         {"007", 7.0},     {"1.5", 1.5}, {" 10 ", 10.0},
        {"\t-2.5\n", -2.5}, {"+3", 3.0},      {".5", 0.5},  {"5.", 5.0},
        {"1e3", 1000.0},    {"2.5E-1", 0.25}, {"-0", 0.0},
    };
    for (const TextCase& c : cases) {
        const auto value = fullTextNumber(c.text, ".");
        ASSERT_TRUE(value.has_value()) << c.text;
        EXPECT_DOUBLE_EQ(value.value(), c.expected) << "text: \"" << c.text << "\"";
    }
}

TEST(FullTextNumber, RefusesTextsThatAreNotEntirelyANumber) {
    for (const char* text : {"", " ", "A12", "12A", "K1", "-", ".", "1 2", "1e", "1.2.3", "1,5",
                             "&H10", "1e+", "--1", "1D2"}) {
        const auto value = fullTextNumber(text, ".");
        ASSERT_FALSE(value.has_value()) << "text: \"" << text << "\"";
        EXPECT_EQ(value.error(), NumberError::NotANumber) << text;
    }
    EXPECT_EQ(fullTextNumber("1e400", ".").error(), NumberError::OutOfRange);
}

TEST(FullTextNumber, UsesTheGivenDecimalSeparator) {
    EXPECT_DOUBLE_EQ(fullTextNumber("1,5", ",").value(), 1.5);
    EXPECT_FALSE(fullTextNumber("1.5", ",").has_value());
}

TEST(FullTextNumber, FollowsTheCurrentNumericLocale) {
    ASSERT_NE(std::setlocale(LC_NUMERIC, "C"), nullptr);
    EXPECT_EQ(localeDecimalSeparator(), ".");
    EXPECT_DOUBLE_EQ(fullTextNumber("2.5").value(), 2.5);
    EXPECT_EQ(numberToText(2.5), "2.5");
}

TEST(RoundHalfEven, SendsExactHalvesToTheEvenNeighbour) {
    const double in[] = {0.5, 1.5, 2.5, 3.5, -0.5, -1.5, -2.5, 2.4999999999999996, 2.6, -2.6};
    const double out[] = {0.0, 2.0, 2.0, 4.0, -0.0, -2.0, -2.0, 2.0, 3.0, -3.0};
    for (std::size_t i = 0; i < std::size(in); ++i) {
        EXPECT_EQ(roundHalfEven(in[i]), out[i]) << in[i];
    }
}

TEST(ToInt16, RoundsHalvesToEvenWithinTheSixteenBitRange) {
    struct Case {
        double value;
        int expected;
    };
    const Case cases[] = {
        {2.5, 2},         {3.5, 4},         {-2.5, -2},         {0.4, 0},
        {32767.0, 32767}, {32767.4, 32767}, {-32768.0, -32768}, {-32768.5, -32768},
        {32766.5, 32766}, {3.0, 3}};
    for (const Case& c : cases) {
        const auto value = toInt16(c.value);
        ASSERT_TRUE(value.has_value()) << c.value;
        EXPECT_EQ(value.value(), c.expected) << c.value;
    }
}

TEST(ToInt16, FailsOutsideTheSixteenBitRange) {
    for (double value :
         {32767.5, 32768.0, -32769.0, -32768.6, 40000.0, 1e300,
          std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
        const auto result = toInt16(value);
        ASSERT_FALSE(result.has_value()) << value;
        EXPECT_EQ(result.error(), NumberError::OutOfRange);
    }
}

TEST(ToInt32, CoversTheRowsOfAFullTable) {
    EXPECT_EQ(toInt32(1048574.0).value(), 1048574);
    EXPECT_EQ(toInt32(2.5).value(), 2);
    EXPECT_FALSE(toInt32(2147483647.5).has_value());
}

TEST(NumberToText, WritesFifteenSignificantDigitsWithoutTrailingZeros) {
    struct Case {
        double value;
        const char* expected;
    };
    const Case cases[] = {
        {0.1 + 0.2, "0.3"},
        {1234.5, "1234.5"},
        {100.0, "100"},
        {-0.25, "-0.25"},
        {0.0, "0"},
        {-0.0, "0"},
        {3012345.679, "3012345.679"},
        {500123.457, "500123.457"},
        {12.5, "12.5"},
        {1234567.0, "1234567"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E+15"},
        {1.5e15, "1.5E+15"},
        {0.0001, "0.0001"},
        {0.00001, "1E-05"},
        {2.0 / 3.0, "0.666666666666667"},
        {1.0000000000000002, "1"},
        {-7.0, "-7"},
        {std::numeric_limits<double>::infinity(), "Infinity"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(numberToText(c.value, "."), c.expected) << c.value;
    }
}

TEST(NumberToText, WritesTheGivenDecimalSeparator) {
    EXPECT_EQ(numberToText(-1234.5, ","), "-1234,5");
    EXPECT_EQ(numberToText(1234567.0, ","), "1234567");
}

TEST(RoundToPlaces, RoundsTheScaledDoubleHalfToEven) {
    struct Case {
        double value;
        int places;
        double expected;
    };
    const Case cases[] = {
        {0.125, 2, 0.12},
        {2.5, 0, 2.0},
        {3.5, 0, 4.0},
        {12.5, 0, 12.0},
        {13.5, 0, 14.0},
        {-2.5, 0, -2.0},
        {2.0625, 3, 2.062},
        {31.41592654, 3, 31.416},
        {12.5, 3, 12.5},
        {500123.45678, 3, 500123.457},
        {3012345.6789, 3, 3012345.679},
        {7.0, 3, 7.0},
        {1.23456789, 32767, 1.23456789},
        {1e300, 5, 1e300},
    };
    for (const Case& c : cases) {
        const auto value = roundToPlaces(c.value, c.places);
        ASSERT_TRUE(value.has_value());
        EXPECT_DOUBLE_EQ(value.value(), c.expected) << c.value << " at " << c.places;
    }
}

TEST(RoundToPlaces, NeverGivesMinusZero) {
    EXPECT_EQ(numberToText(roundToPlaces(-0.0001, 3).value(), "."), "0");
}

TEST(RoundToPlaces, RefusesNegativePlaces) {
    for (int places : {-1, -32768}) {
        const auto value = roundToPlaces(12.5, places);
        ASSERT_FALSE(value.has_value());
        EXPECT_EQ(value.error(), NumberError::NegativePlaces);
    }
}

TEST(NumberError, MapsToStepCodesThatAreNotTheCancelCode) {
    EXPECT_EQ(codeOf(NumberError::NotANumber), automation::kTypeMismatchCode);
    EXPECT_EQ(codeOf(NumberError::OutOfRange), automation::kOverflowCode);
    EXPECT_EQ(codeOf(NumberError::NegativePlaces), automation::kInvalidCallCode);
    for (NumberError error :
         {NumberError::NotANumber, NumberError::OutOfRange, NumberError::NegativePlaces}) {
        EXPECT_NE(codeOf(error), automation::kCancelCode);
        EXPECT_NE(codeOf(error), 0);
    }
}

} // namespace
} // namespace vexilo::cad
