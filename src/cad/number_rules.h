// The rules by which texts become numbers and numbers become texts, shared by every command:
// leading number, full-text number, 16-bit conversion, number to text, rounding.
#pragma once

#include "automation/codes.h"
#include "common/expected.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vexilo::cad {

/// Why a number rule refused its input.
enum class NumberError {
    NotANumber,     ///< the text is not entirely a number
    OutOfRange,     ///< the value does not fit its target (16 bits, a double)
    NegativePlaces, ///< rounding to a negative number of decimal places
};

/// A short English description ("not a number", …).
std::string_view describe(NumberError error);

/// The error-state code a skip-and-continue step keeps when a rule fails:
/// automation::kTypeMismatchCode, automation::kOverflowCode or automation::kInvalidCallCode.
automation::HResult codeOf(NumberError error);

/// The numeric value at the start of a text, read with the full stop as decimal point whatever
/// the locale. Blanks, tabs and line feeds anywhere in the text are ignored
/// ("1 2" reads 12). Accepted: an optional sign, digits, an optional fraction and an optional
/// exponent introduced by E or D ("1.5e3" and "1.5D3" read 1500); reading stops at the first
/// character that cannot continue the number ("12abc" reads 12, "1e" reads 1). A text that does
/// not begin with a number, the empty text included, reads 0. Hexadecimal and octal prefixes
/// ("&H", "&O") are not read. Fails with OutOfRange only when the value exceeds the double range.
Expected<double, NumberError> leadingNumber(std::string_view text);

/// The decimal separator of the C library's current numeric locale (std::localeconv), which is
/// the user's locale once the program has called setlocale(LC_ALL, "") (Qt does at start-up).
/// "." in the C, Chinese and English locales.
std::string localeDecimalSeparator();

/// The whole text read as one decimal number: surrounding blanks (space, tab, CR, LF) allowed,
/// an optional sign, digits with an optional fraction after `decimalSeparator`, an optional
/// exponent (E or e, optional sign, digits). No digit grouping, no currency, no hexadecimal.
/// "007" reads 7, "1.5" reads 1.5, ".5" and "5." read 0.5 and 5. Fails with NotANumber for
/// anything else ("A12", "12A", "", "-"), OutOfRange beyond the double range.
Expected<double, NumberError> fullTextNumber(std::string_view text,
                                             std::string_view decimalSeparator);
/// fullTextNumber under the user's locale (localeDecimalSeparator()).
Expected<double, NumberError> fullTextNumber(std::string_view text);

/// The nearest integer, an exact half going to the even neighbour (2.5 → 2, 3.5 → 4,
/// −2.5 → −2). NaN and infinities come back unchanged.
double roundHalfEven(double value);

/// roundHalfEven into a signed 16-bit integer; fails with OutOfRange when the rounded value lies
/// outside −32768…32767 (32767.5 rounds to 32768 and fails) or the value is not finite.
Expected<std::int16_t, NumberError> toInt16(double value);

/// roundHalfEven into a signed 32-bit integer; fails with OutOfRange outside its range.
Expected<std::int32_t, NumberError> toInt32(double value);

/// A double rounded to 15 significant digits and written in decimal without trailing zeros or a
/// trailing separator, without digit grouping, with a leading "-" for negative values and
/// `decimalSeparator` as the decimal point. 0.1 + 0.2 → "0.3", 100 → "100", −0.25 → "-0.25";
/// −0 is written "0". Magnitudes from 1e15 up and below 1e-4 take the exponent form
/// "1.5E+15", "1E-05". NaN and infinities are written "NaN", "Infinity", "-Infinity".
std::string numberToText(double value, std::string_view decimalSeparator);
/// numberToText under the user's locale (localeDecimalSeparator()).
std::string numberToText(double value);

/// `value` rounded to `places` decimal places: the double value × 10^places is rounded half to
/// even and divided back (0.125 at 2 → 0.12, 2.5 at 0 → 2, 2.0625 at 3 → 2.062). Places beyond
/// what the double can carry leave the value as it is. Fails with NegativePlaces for
/// places < 0.
Expected<double, NumberError> roundToPlaces(double value, int places);

} // namespace vexilo::cad
