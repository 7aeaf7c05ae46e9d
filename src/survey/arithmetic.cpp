// Floating-point status checks behind the survey calculations.
#include "survey/arithmetic.h"

#include <cfenv>
#include <cmath>

namespace vexilo::survey {

std::string_view describe(ArithmeticError error) {
    switch (error) {
    case ArithmeticError::InvalidOperation:
        return "invalid operation";
    case ArithmeticError::DivisionByZero:
        return "division by zero";
    case ArithmeticError::Overflow:
        return "overflow";
    }
    return "arithmetic failure";
}

namespace detail {

void clearFloatingPointFlags() {
    std::feclearexcept(FE_ALL_EXCEPT);
}

SurveyResult classify(double result) {
    const int raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    if ((raised & FE_INVALID) != 0) {
        return unexpected(ArithmeticError::InvalidOperation);
    }
    if ((raised & FE_DIVBYZERO) != 0) {
        return unexpected(ArithmeticError::DivisionByZero);
    }
    if ((raised & FE_OVERFLOW) != 0) {
        return unexpected(ArithmeticError::Overflow);
    }
    // The flags are the primary signal; a non-finite result without one (a NaN or an infinity
    // passed in as an argument) is still no angle or distance.
    if (std::isnan(result)) {
        return unexpected(ArithmeticError::InvalidOperation);
    }
    if (std::isinf(result)) {
        return unexpected(ArithmeticError::Overflow);
    }
    return result;
}

} // namespace detail
} // namespace vexilo::survey
