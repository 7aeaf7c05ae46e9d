// The number rules: texts to numbers, numbers to texts, 16-bit conversion and rounding.
#include "cad/number_rules.h"

#include "cad/error_state.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>
#include <system_error>

namespace vexilo::cad {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

/// The parts of a decimal number as read from a text; converted in one place so that both
/// readers share the locale-free conversion and its range handling.
struct DecimalParts {
    bool negative = false;
    std::string integerDigits;
    std::string fractionDigits;
    bool exponentNegative = false;
    std::string exponentDigits;
};

/// Rough decimal magnitude of the number: position of its first significant digit relative to
/// the decimal point, plus the exponent. Only its sign matters, to tell an overflow from an
/// underflow when the conversion reports a result out of range.
long long magnitude(const DecimalParts& parts) {
    long long position = 0;
    const auto first = parts.integerDigits.find_first_not_of('0');
    if (first != std::string::npos) {
        position = static_cast<long long>(parts.integerDigits.size() - first);
    } else {
        const auto firstFraction = parts.fractionDigits.find_first_not_of('0');
        if (firstFraction == std::string::npos) {
            return std::numeric_limits<long long>::min();
        }
        position = -static_cast<long long>(firstFraction);
    }
    long long exponent = 0;
    for (char c : parts.exponentDigits) {
        exponent = std::min<long long>(exponent * 10 + (c - '0'), 1'000'000'000);
    }
    return position + (parts.exponentNegative ? -exponent : exponent);
}

Expected<double, NumberError> convert(const DecimalParts& parts) {
    std::string text = parts.integerDigits.empty() ? "0" : parts.integerDigits;
    if (!parts.fractionDigits.empty()) {
        text += '.';
        text += parts.fractionDigits;
    }
    if (!parts.exponentDigits.empty()) {
        text += parts.exponentNegative ? "e-" : "e";
        text += parts.exponentDigits;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) {
        if (magnitude(parts) > 0) {
            return unexpected(NumberError::OutOfRange);
        }
        value = 0.0;
    } else if (error != std::errc() || end != text.data() + text.size()) {
        return unexpected(NumberError::NotANumber);
    }
    return parts.negative ? -value : value;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::string_view describe(NumberError error) {
    switch (error) {
    case NumberError::NotANumber:
        return "not a number";
    case NumberError::OutOfRange:
        return "out of range";
    case NumberError::NegativePlaces:
        return "negative number of decimal places";
    }
    return "unknown number error";
}

automation::HResult codeOf(NumberError error) {
    switch (error) {
    case NumberError::NotANumber:
        return automation::kTypeMismatchCode;
    case NumberError::OutOfRange:
        return automation::kOverflowCode;
    case NumberError::NegativePlaces:
        return automation::kInvalidCallCode;
    }
    return automation::kGenericFailureCode;
}

Expected<double, NumberError> leadingNumber(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') {
            compact += c;
        }
    }
    DecimalParts parts;
    std::size_t i = 0;
    const std::size_t n = compact.size();
    if (i < n && (compact[i] == '-' || compact[i] == '+')) {
        parts.negative = compact[i] == '-';
        ++i;
    }
    while (i < n && isDigit(compact[i])) {
        parts.integerDigits += compact[i++];
    }
    if (i < n && compact[i] == '.') {
        ++i;
        while (i < n && isDigit(compact[i])) {
            parts.fractionDigits += compact[i++];
        }
    }
    if (parts.integerDigits.empty() && parts.fractionDigits.empty()) {
        return 0.0;
    }
    if (i < n &&
        (compact[i] == 'e' || compact[i] == 'E' || compact[i] == 'd' || compact[i] == 'D')) {
        std::size_t j = i + 1;
        bool negative = false;
        if (j < n && (compact[j] == '-' || compact[j] == '+')) {
            negative = compact[j] == '-';
            ++j;
        }
        std::string digits;
        while (j < n && isDigit(compact[j])) {
            digits += compact[j++];
        }
        if (!digits.empty()) {
            parts.exponentNegative = negative;
            parts.exponentDigits = std::move(digits);
        }
    }
    return convert(parts);
}

std::string localeDecimalSeparator() {
    const std::lconv* conventions = std::localeconv();
    if (conventions == nullptr || conventions->decimal_point == nullptr ||
        conventions->decimal_point[0] == '\0') {
        return ".";
    }
    return conventions->decimal_point;
}

Expected<double, NumberError> fullTextNumber(std::string_view text,
                                             std::string_view decimalSeparator) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && isBlank(text[first])) {
        ++first;
    }
    while (last > first && isBlank(text[last - 1])) {
        --last;
    }
    const std::string_view body = text.substr(first, last - first);
    DecimalParts parts;
    std::size_t i = 0;
    const std::size_t n = body.size();
    if (i < n && (body[i] == '-' || body[i] == '+')) {
        parts.negative = body[i] == '-';
        ++i;
    }
    while (i < n && isDigit(body[i])) {
        parts.integerDigits += body[i++];
    }
    if (!decimalSeparator.empty() && body.substr(i).starts_with(decimalSeparator)) {
        i += decimalSeparator.size();
        while (i < n && isDigit(body[i])) {
            parts.fractionDigits += body[i++];
        }
    }
    if (parts.integerDigits.empty() && parts.fractionDigits.empty()) {
        return unexpected(NumberError::NotANumber);
    }
    if (i < n && (body[i] == 'e' || body[i] == 'E')) {
        ++i;
        if (i < n && (body[i] == '-' || body[i] == '+')) {
            parts.exponentNegative = body[i] == '-';
            ++i;
        }
        while (i < n && isDigit(body[i])) {
            parts.exponentDigits += body[i++];
        }
        if (parts.exponentDigits.empty()) {
            return unexpected(NumberError::NotANumber);
        }
    }
    if (i != n) {
        return unexpected(NumberError::NotANumber);
    }
    return convert(parts);
}

Expected<double, NumberError> fullTextNumber(std::string_view text) {
    return fullTextNumber(text, localeDecimalSeparator());
}

double roundHalfEven(double value) {
    if (!std::isfinite(value)) {
        return value;
    }
    const double nearest = std::round(value);
    if (std::fabs(nearest - value) == 0.5) {
        return 2.0 * std::round(value / 2.0);
    }
    return nearest;
}

Expected<std::int16_t, NumberError> toInt16(double value) {
    const double rounded = roundHalfEven(value);
    if (!std::isfinite(rounded) || rounded < -32768.0 || rounded > 32767.0) {
        return unexpected(NumberError::OutOfRange);
    }
    return static_cast<std::int16_t>(rounded);
}

Expected<std::int32_t, NumberError> toInt32(double value) {
    const double rounded = roundHalfEven(value);
    if (!std::isfinite(rounded) || rounded < -2147483648.0 || rounded > 2147483647.0) {
        return unexpected(NumberError::OutOfRange);
    }
    return static_cast<std::int32_t>(rounded);
}

std::string numberToText(double value, std::string_view decimalSeparator) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "Infinity" : "-Infinity";
    }
    if (value == 0.0) {
        return "0";
    }
    std::array<char, 64> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::general, 15);
    std::string text;
    if (error != std::errc()) {
        return text;
    }
    for (const char* c = buffer.data(); c != end; ++c) {
        if (*c == '.') {
            text += decimalSeparator;
        } else if (*c == 'e') {
            text += 'E';
        } else {
            text += *c;
        }
    }
    return text;
}

std::string numberToText(double value) {
    return numberToText(value, localeDecimalSeparator());
}

Expected<double, NumberError> roundToPlaces(double value, int places) {
    if (places < 0) {
        return unexpected(NumberError::NegativePlaces);
    }
    if (!std::isfinite(value)) {
        return value;
    }
    const double factor = std::pow(10.0, places);
    const double scaled = value * factor;
    // From 2^52 up every double is a whole number: there is nothing left to round, and dividing
    // back would only add an error of its own.
    if (!std::isfinite(factor) || !std::isfinite(scaled) ||
        std::fabs(scaled) >= 4503599627370496.0) {
        return value;
    }
    const double rounded = roundHalfEven(scaled) / factor;
    return rounded == 0.0 ? 0.0 : rounded;
}

} // namespace vexilo::cad
