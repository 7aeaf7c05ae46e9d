// Arithmetic failures of the survey calculations, reported as values instead of NaN or infinity.
#pragma once

#include "common/expected.h"

#include <string_view>

namespace vexilo::survey {

/// The floating-point exceptions that make a calculation fail, after IEEE 754's flags.
enum class ArithmeticError {
    InvalidOperation, ///< 0 ÷ 0, the root of a negative number, a NaN argument
    DivisionByZero,   ///< a finite number divided by zero
    Overflow,         ///< a result beyond the double range
};

/// A short English description of the error ("division by zero").
std::string_view describe(ArithmeticError error);

/// The result of a survey calculation: a finite double, or the arithmetic failure.
using SurveyResult = Expected<double, ArithmeticError>;

/// Runs a calculation with the floating-point exception flags cleared, then turns the flags it
/// raised (and, as a backstop, a non-finite result) into an ArithmeticError.
template <class Calculation> SurveyResult checkedArithmetic(Calculation&& calculation);

namespace detail {
void clearFloatingPointFlags();
SurveyResult classify(double result);
} // namespace detail

template <class Calculation> SurveyResult checkedArithmetic(Calculation&& calculation) {
    detail::clearFloatingPointFlags();
    const double result = calculation();
    return detail::classify(result);
}

} // namespace vexilo::survey
