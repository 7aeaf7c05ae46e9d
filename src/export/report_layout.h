// The coordinate report as data: the sheet's texts, sizes, ranges and cell entries, computed
// from the coordinate table and independent of how a workbook is written.
#pragma once

#include "cad/coordinate_table.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vexilo::report {

/// Rows a worksheet holds (Excel 2007 and later, LibreOffice 7.4 and later).
inline constexpr int kSheetRowLimit = 1'048'576;
/// Characters a cell can hold; Excel refuses longer texts.
inline constexpr int kCellTextLimit = 32'767;

/// The title in A1: 坐标数据成果表 with one ASCII space between each two characters.
inline constexpr std::string_view kTitle = "坐 标 数 据 成 果 表";
/// Points; the title's font is bold.
inline constexpr double kTitleFontSize = 20.0;
/// Points. A row's height otherwise follows its tallest font, but Excel never fits a row to a
/// merged cell, so the title row gets a fixed height with room for a 20-point font: 1.35 times
/// the size, 27 points or 36 pixels at 96 dpi (Excel fits a 20-point Calibri row to 26.25).
inline constexpr double kTitleRowHeight = 27.0;
/// Points: 0.8 cm at 0.035 cm to the point, computed in double precision
/// (22.857142857142858).
inline constexpr double kRowHeight = 0.8 / 0.035;
/// Rows from kHeadingRow to this one are kRowHeight high, and columns A to D of rows 1 to this
/// one are centred: 65,536 was the whole sheet when the report was first laid out.
inline constexpr int kFormattedRowsEnd = 65'536;

/// 1-based sheet rows of the title, the headings and the first table row.
inline constexpr int kTitleRow = 1;
inline constexpr int kHeadingRow = 2;
inline constexpr int kFirstDataRow = 3;

/// The printed footer's text: "第 &P 页 共 &N 页" (&P the page, &N the pages).
inline constexpr std::string_view kFooter = "第 &P 页 共 &N 页";

/// How a table text becomes a cell value.
enum class EntryRule {
    AsTyped, ///< as if typed into a General cell: a number becomes a number cell (enterAsTyped)
    AsText,  ///< the cell is formatted "@" first, so the text is kept exactly (enterAsText)
};

/// One report column: its heading in row 2, its width in Excel's column-width units
/// (characters of the standard font's digits) and how the table's texts enter it.
struct ReportColumn {
    std::string_view heading;
    double width;
    EntryRule rule;
};

/// Columns A to D, holding table columns 0 to 3 (number, code, X text, Y text) as they stand.
/// The headings read "坐标X"/"坐标Y" where the table's header row reads "X坐标"/"Y坐标".
inline constexpr std::array<ReportColumn, 4> kReportColumns = {{
    {"序号", 8.0, EntryRule::AsTyped},
    {"编码", 15.0, EntryRule::AsText},
    {"坐标X", 15.0, EntryRule::AsTyped},
    {"坐标Y", 15.0, EntryRule::AsTyped},
}};
inline constexpr int kReportColumnCount = static_cast<int>(kReportColumns.size());

/// A rectangle of cells; 1-based rows and columns (A is 1), both ends included.
struct CellRange {
    int firstRow = 1;
    int firstColumn = 1;
    int lastRow = 1;
    int lastColumn = 1;
    friend bool operator==(const CellRange&, const CellRange&) = default;
};

/// The range in A1 notation ("A2:D7"); a single cell is written as "B3:B3".
std::string toA1(const CellRange& range);

/// How a number cell shows its value: Excel's "General", or digit placeholders repeating the
/// shape of the text it came from, so that "12.50" shows as 12.50 and "1.5E+15" as 1.5E+15.
struct NumberShape {
    bool general = true;
    int integerDigits = 1;           ///< '0' placeholders before the decimal point
    int fractionDigits = 0;          ///< '0' placeholders after it
    int exponentDigits = 0;          ///< 0: fixed-point; otherwise placeholders after E+ or E-
    char exponentLetter = 'E';       ///< 'E' or 'e', as the text wrote it
    bool exponentSignAlways = false; ///< "E+" (sign always shown) rather than "E-"

    /// The Excel number format code: "General", "0", "0000", "0.000", "0.0E+00", "0e-0".
    std::string formatCode() const;
    friend bool operator==(const NumberShape&, const NumberShape&) = default;
};

/// What a cell receives.
enum class EntryKind {
    Blank,  ///< nothing but the cell's format (an empty table text)
    Text,   ///< a text cell holding `text`
    Number, ///< a number cell holding `number`, shown with `shape`
};

/// The value one cell receives. `text` views the table's own text.
struct CellEntry {
    EntryKind kind = EntryKind::Blank;
    std::string_view text;
    double number = 0.0;
    NumberShape shape;
};

/// A text as Excel's entry rules would take it into a General cell, limited to what a number
/// cell can show character for character, so that the report reads exactly like the table:
///
/// | text                        | cell                         | why                             |
/// |-----------------------------|------------------------------|---------------------------------|
/// | 12, -0.25, 3012345.679      | number, General or "0.000"   | plain decimal numbers           |
/// | 12.50, 0012, -007           | number, "0.00", "0000", "000"| the format keeps the zeros      |
/// | 1E-05, 1.5E+15, 1e5         | number, "0E+00", "0.0E+00", "0e-0" | scientific as written     |
/// | empty                       | blank                        |                                 |
/// | -0, -0.0                    | text                         | a number cell drops the sign    |
/// | " 12", "12 ", +5, 12., .5   | text                         | a number cell drops the blank,  |
/// |                             |                              | the sign or adds/drops the zero |
/// | 1,234, 12%, 1/2, 12:30, $5  | text                         | Excel would make them grouped,  |
/// |                             |                              | percent, date or money values   |
/// | 12E+3, 0E+00                | text                         | Excel normalises the mantissa   |
/// | 16 or more significant digits | text                       | Excel keeps 15 digits           |
/// | beyond ±9.99999999999999E+307, or nearer 0 than 2.2250738585072014E-308 | text | outside
/// Excel's range |
///
/// Integers of up to 11 digits are shown "General" (what Excel gives a typed number); other
/// numbers get placeholders, since "General" shows at most 11 characters and its switch to
/// scientific notation differs between Excel and LibreOffice. The decimal point is
/// `decimalSeparator`, the one the table was written with (cad::localeDecimalSeparator():
/// "19,5" is 19.5 in a German session); any other character makes the text a text cell.
CellEntry enterAsTyped(std::string_view text, std::string_view decimalSeparator = ".");

/// A text for a cell formatted "@": always text, kept exactly ("007" stays 007); an empty text
/// gives a blank cell that still carries the format.
CellEntry enterAsText(std::string_view text);

/// The report of one table: where its parts lie. Data cells are read from the table when they
/// are written (dataCell), so that the layout of a million rows takes no memory of its own.
struct ReportLayout {
    /// Sheet row of the last table row: the table's row count + 1.
    int lastReportRow = kHeadingRow;
    /// A1:D1, holding kTitle.
    CellRange mergedTitle;
    /// Rows 2 to 65,536: kRowHeight high.
    CellRange tallRows;
    /// A2:D(last report row): a thin continuous line on all four edges of every cell.
    CellRange ruled;
    /// A1:D65536: centred horizontally.
    CellRange centred;
    /// B3:B(last report row): number format "@".
    CellRange textFormatted;
    /// The printed page is centred horizontally.
    bool pageCentredHorizontally = true;
    /// Sheet rows printed at the top of every page (print titles): the title and the headings.
    int printTitleFirstRow = kTitleRow;
    int printTitleLastRow = kHeadingRow;
    /// The page footer, centred: page number and page count in Excel's header codes.
    std::string_view footer = kFooter;
};

/// The layout of the table's report, or nothing for a table holding only its header row (the
/// export then does nothing). The header row is never part of the report. A table longer than
/// the sheet (more than kSheetRowLimit − 2 data rows, which CoordinateTable does not allow)
/// has no layout either.
std::optional<ReportLayout> layoutReport(const cad::CoordinateTable& table);

/// The entry of data cell (sheetRow, column) of the report: table row sheetRow − 2, table
/// column column − 1, under that column's EntryRule. Rows and columns are 1-based sheet
/// numbers; sheetRow from kFirstDataRow to the last report row, column 1 to 4. A cell outside
/// the table or the report is blank. `decimalSeparator` is the one the table's numbers were
/// written with.
CellEntry dataCell(const cad::CoordinateTable& table, int sheetRow, int column,
                   std::string_view decimalSeparator = ".");

} // namespace vexilo::report
