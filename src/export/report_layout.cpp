// The coordinate report's layout and the entry rules of its cells.
#include "export/report_layout.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace vexilo::report {
namespace {

/// Excel's number range: the largest and the smallest magnitude it stores.
constexpr double kLargestNumber = 9.99999999999999e307;
constexpr double kSmallestNumber = std::numeric_limits<double>::min();
/// Digits Excel keeps of a number.
constexpr int kSignificantDigits = 15;
/// Digits of an integer that "General" shows in full; from 12 digits on it switches to
/// scientific notation.
constexpr int kGeneralIntegerDigits = 11;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t countDigits(std::string_view text, std::size_t from) {
    std::size_t end = from;
    while (end < text.size() && isDigit(text[end])) {
        ++end;
    }
    return end - from;
}

std::string columnLetter(int column) {
    std::string letters;
    for (int n = column; n > 0; n = (n - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    }
    return letters;
}

CellEntry textEntry(std::string_view text) {
    CellEntry entry;
    entry.kind = text.empty() ? EntryKind::Blank : EntryKind::Text;
    entry.text = text;
    return entry;
}

} // namespace

std::string toA1(const CellRange& range) {
    return columnLetter(range.firstColumn) + std::to_string(range.firstRow) + ":" +
           columnLetter(range.lastColumn) + std::to_string(range.lastRow);
}

std::string NumberShape::formatCode() const {
    if (general) {
        return "General";
    }
    std::string code(static_cast<std::size_t>(integerDigits), '0');
    if (fractionDigits > 0) {
        code += '.';
        code.append(static_cast<std::size_t>(fractionDigits), '0');
    }
    if (exponentDigits > 0) {
        code += exponentLetter;
        code += exponentSignAlways ? '+' : '-';
        code.append(static_cast<std::size_t>(exponentDigits), '0');
    }
    return code;
}

CellEntry enterAsTyped(std::string_view text, std::string_view decimalSeparator) {
    if (text.empty()) {
        return textEntry(text);
    }
    if (decimalSeparator.empty()) {
        decimalSeparator = ".";
    }
    // Shape: [-] digits [. digits] [(E|e) [+|-] digits], nothing before or after.
    std::size_t pos = text[0] == '-' ? 1 : 0;
    const bool negative = pos == 1;
    const std::size_t integerStart = pos;
    const std::size_t integerDigits = countDigits(text, pos);
    if (integerDigits == 0) {
        return textEntry(text);
    }
    pos += integerDigits;
    std::size_t fractionDigits = 0;
    std::size_t separatorAt = std::string_view::npos;
    if (text.substr(pos).starts_with(decimalSeparator)) {
        separatorAt = pos;
        fractionDigits = countDigits(text, pos + decimalSeparator.size());
        if (fractionDigits == 0) {
            return textEntry(text);
        }
        pos += decimalSeparator.size() + fractionDigits;
    }
    const std::size_t mantissaEnd = pos;
    NumberShape shape;
    if (pos < text.size() && (text[pos] == 'E' || text[pos] == 'e')) {
        shape.exponentLetter = text[pos];
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            shape.exponentSignAlways = text[pos] == '+';
            ++pos;
        }
        const std::size_t exponentDigits = countDigits(text, pos);
        // Excel writes a mantissa with one non-zero digit before the point; any other would
        // be shown normalised, with another exponent.
        if (exponentDigits == 0 || integerDigits != 1 || text[integerStart] == '0') {
            return textEntry(text);
        }
        shape.exponentDigits = static_cast<int>(exponentDigits);
        pos += exponentDigits;
    }
    if (pos != text.size()) {
        return textEntry(text);
    }

    // Significant digits: from the first non-zero digit to the last non-zero one.
    std::size_t first = std::string_view::npos;
    std::size_t last = 0;
    std::size_t significant = 0;
    std::size_t index = 0;
    for (std::size_t i = integerStart; i < mantissaEnd; ++i) {
        if (!isDigit(text[i])) {
            continue;
        }
        if (text[i] != '0') {
            if (first == std::string_view::npos) {
                first = index;
            }
            last = index;
        }
        ++index;
    }
    if (first != std::string_view::npos) {
        significant = last - first + 1;
    }
    if (significant > static_cast<std::size_t>(kSignificantDigits)) {
        return textEntry(text);
    }
    if (significant == 0 && negative) {
        return textEntry(text); // a number cell holds 0, without the minus sign
    }

    // from_chars reads the full stop whatever the locale.
    std::string plain(text);
    if (separatorAt != std::string_view::npos) {
        plain.replace(separatorAt, decimalSeparator.size(), ".");
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value)) {
        return textEntry(text);
    }
    const double magnitude = std::fabs(value);
    if (magnitude > kLargestNumber || (significant > 0 && magnitude < kSmallestNumber)) {
        return textEntry(text);
    }

    const bool leadingZeros = integerDigits > 1 && text[integerStart] == '0';
    shape.integerDigits = leadingZeros ? static_cast<int>(integerDigits) : 1;
    shape.fractionDigits = static_cast<int>(fractionDigits);
    shape.general = !leadingZeros && fractionDigits == 0 && shape.exponentDigits == 0 &&
                    integerDigits <= static_cast<std::size_t>(kGeneralIntegerDigits);

    CellEntry entry;
    entry.kind = EntryKind::Number;
    entry.text = text;
    entry.number = value;
    entry.shape = shape;
    return entry;
}

CellEntry enterAsText(std::string_view text) {
    return textEntry(text);
}

std::optional<ReportLayout> layoutReport(const cad::CoordinateTable& table) {
    const int rows = table.rowCount();
    if (rows <= 1 || rows + 1 > kSheetRowLimit) {
        return std::nullopt;
    }
    ReportLayout layout;
    layout.lastReportRow = rows + 1;
    layout.mergedTitle = {kTitleRow, 1, kTitleRow, kReportColumnCount};
    layout.tallRows = {kHeadingRow, 1, kFormattedRowsEnd, kReportColumnCount};
    layout.ruled = {kHeadingRow, 1, layout.lastReportRow, kReportColumnCount};
    layout.centred = {kTitleRow, 1, kFormattedRowsEnd, kReportColumnCount};
    layout.textFormatted = {kFirstDataRow, 2, layout.lastReportRow, 2};
    layout.pageCentredHorizontally = true;
    return layout;
}

CellEntry dataCell(const cad::CoordinateTable& table, int sheetRow, int column,
                   std::string_view decimalSeparator) {
    if (sheetRow < kFirstDataRow || column < 1 || column > kReportColumnCount) {
        return CellEntry{};
    }
    const std::string& text = table.cell(sheetRow - 2, column - 1);
    const auto& reportColumn = kReportColumns[static_cast<std::size_t>(column - 1)];
    return reportColumn.rule == EntryRule::AsText ? enterAsText(text)
                                                  : enterAsTyped(text, decimalSeparator);
}

} // namespace vexilo::report
