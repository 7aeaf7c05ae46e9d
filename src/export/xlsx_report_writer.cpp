// The xlsx rendering of the coordinate report: formats, sheet settings and cells in row order.
#include "export/xlsx_report_writer.h"

#include "export/report_layout.h"

#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace vexilo::report {
namespace {

Unexpected<ReportFailure> failure(ReportError error, lxw_error code, std::string message) {
    return unexpected(ReportFailure{error, static_cast<int>(code), std::move(message)});
}

std::string cellName(int row, int column) {
    const CellRange cell{row, column, row, column};
    const std::string range = toA1(cell);
    return range.substr(0, range.find(':'));
}

/// The formats of the workbook being written: those of the sheet, made once, and those of
/// number cells, made the first time a shape turns up (a table written by the capture commands
/// needs a few).
class ReportFormats {
public:
    explicit ReportFormats(lxw_workbook* workbook) : m_workbook(workbook) {}

    void makeFormats() {
        m_centred = workbook_add_format(m_workbook);
        format_set_align(m_centred, LXW_ALIGN_CENTER);

        m_title = workbook_add_format(m_workbook);
        format_set_align(m_title, LXW_ALIGN_CENTER);
        format_set_bold(m_title);
        format_set_font_size(m_title, kTitleFontSize);

        m_heading = ruled();
        m_text = ruled();
        format_set_num_format(m_text, "@");
    }

    lxw_format* centred() const { return m_centred; }
    lxw_format* title() const { return m_title; }
    lxw_format* heading() const { return m_heading; }

    /// The format of a data cell: ruled, centred, and "@" for the code column.
    lxw_format* formatOf(int column, const CellEntry& entry) {
        if (kReportColumns[static_cast<std::size_t>(column - 1)].rule == EntryRule::AsText) {
            return m_text;
        }
        const NumberShape shape = entry.kind == EntryKind::Number ? entry.shape : NumberShape{};
        for (const auto& [known, format] : m_numberFormats) {
            if (known == shape) {
                return format;
            }
        }
        lxw_format* format = ruled();
        if (!shape.general) {
            format_set_num_format(format, shape.formatCode().c_str());
        }
        m_numberFormats.emplace_back(shape, format);
        return format;
    }

private:
    lxw_format* ruled() {
        lxw_format* format = workbook_add_format(m_workbook);
        format_set_align(format, LXW_ALIGN_CENTER);
        format_set_border(format, LXW_BORDER_THIN);
        return format;
    }

    lxw_workbook* m_workbook;
    lxw_format* m_centred = nullptr;
    lxw_format* m_title = nullptr;
    lxw_format* m_heading = nullptr;
    lxw_format* m_text = nullptr;
    std::vector<std::pair<NumberShape, lxw_format*>> m_numberFormats;
};

lxw_error writeEntry(lxw_worksheet* sheet, int row, int column, const CellEntry& entry,
                     lxw_format* format) {
    const auto r = static_cast<lxw_row_t>(row - 1);
    const auto c = static_cast<lxw_col_t>(column - 1);
    switch (entry.kind) {
    case EntryKind::Number:
        return worksheet_write_number(sheet, r, c, entry.number, format);
    case EntryKind::Text:
        // A view need not end in NUL; the library wants a C string.
        return worksheet_write_string(sheet, r, c, std::string(entry.text).c_str(), format);
    case EntryKind::Blank:
        break;
    }
    return worksheet_write_blank(sheet, r, c, format);
}

/// Everything but closing; the first refusal ends the writing. The layout's ranges become:
/// tallRows the sheet's default row height (every row but the title's); centred the columns'
/// format and every written cell's; ruled the formats of the headings and the data cells,
/// which are all the cells of that range; textFormatted the format of the code column's data
/// cells.
Status<ReportFailure> fillSheet(lxw_workbook* workbook, lxw_worksheet* sheet,
                                const cad::CoordinateTable& table, const ReportLayout& layout) {
    ReportFormats formats(workbook);
    formats.makeFormats();

    // Sheet-wide settings come first: in constant-memory mode a row is final once a later row
    // is written. Every row below the title takes the default height, which covers rows 2 to
    // 65,536 and, for tables longer than that, the rest of the report too; only row 1 gets
    // its own. The alignment goes on the columns, so that the empty cells below the table are
    // centred as well.
    worksheet_set_default_row(sheet, kRowHeight, LXW_FALSE);
    for (int column = 1; column <= kReportColumnCount; ++column) {
        const auto c = static_cast<lxw_col_t>(column - 1);
        const lxw_error error = worksheet_set_column(
            sheet, c, c, kReportColumns[static_cast<std::size_t>(column - 1)].width,
            formats.centred());
        if (error != LXW_NO_ERROR) {
            return failure(ReportError::CellNotWritten, error,
                           std::string("column width: ") + lxw_strerror(error));
        }
    }
    if (layout.pageCentredHorizontally) {
        worksheet_center_horizontally(sheet);
    }

    const CellRange& title = layout.mergedTitle;
    lxw_error error =
        worksheet_set_row(sheet, static_cast<lxw_row_t>(kTitleRow - 1), kTitleRowHeight, nullptr);
    if (error == LXW_NO_ERROR) {
        error = worksheet_merge_range(sheet, static_cast<lxw_row_t>(title.firstRow - 1),
                                      static_cast<lxw_col_t>(title.firstColumn - 1),
                                      static_cast<lxw_row_t>(title.lastRow - 1),
                                      static_cast<lxw_col_t>(title.lastColumn - 1),
                                      std::string(kTitle).c_str(), formats.title());
    }
    if (error != LXW_NO_ERROR) {
        return failure(ReportError::CellNotWritten, error,
                       std::string("title: ") + lxw_strerror(error));
    }

    for (int column = 1; column <= kReportColumnCount; ++column) {
        const CellEntry heading =
            enterAsText(kReportColumns[static_cast<std::size_t>(column - 1)].heading);
        error = writeEntry(sheet, kHeadingRow, column, heading, formats.heading());
        if (error != LXW_NO_ERROR) {
            return failure(ReportError::CellNotWritten, error,
                           cellName(kHeadingRow, column) + ": " + lxw_strerror(error));
        }
    }

    for (int row = kFirstDataRow; row <= layout.lastReportRow; ++row) {
        for (int column = 1; column <= kReportColumnCount; ++column) {
            const CellEntry entry = dataCell(table, row, column);
            error = writeEntry(sheet, row, column, entry, formats.formatOf(column, entry));
            if (error != LXW_NO_ERROR) {
                return failure(ReportError::CellNotWritten, error,
                               cellName(row, column) + ": " + lxw_strerror(error));
            }
        }
    }
    return {};
}

} // namespace

std::string_view describe(ReportError error) {
    switch (error) {
    case ReportError::NothingToWrite:
        return "nothing to write";
    case ReportError::WorkbookNotStarted:
        return "the workbook could not be started";
    case ReportError::CellNotWritten:
        return "a cell could not be written";
    case ReportError::WorkbookNotSaved:
        return "the workbook could not be saved";
    }
    return "unknown report error";
}

Status<ReportFailure> writeReportWorkbook(const cad::CoordinateTable& table,
                                          const std::string& path) {
    const std::optional<ReportLayout> layout = layoutReport(table);
    if (!layout) {
        return failure(ReportError::NothingToWrite, LXW_NO_ERROR,
                       table.rowCount() <= 1 ? "the table holds no row to report"
                                             : "the table has more rows than a sheet");
    }

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
    if (workbook == nullptr) {
        return failure(ReportError::WorkbookNotStarted, LXW_ERROR_MEMORY_MALLOC_FAILED,
                       lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED));
    }
    errno = 0;
    // In constant-memory mode the sheet's rows go to a temporary file opened here.
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    if (sheet == nullptr) {
        const int systemError = errno;
        lxw_workbook_free(workbook);
        std::string message = lxw_strerror(LXW_ERROR_CREATING_TMPFILE);
        if (systemError != 0) {
            message += std::string(" (") + std::strerror(systemError) + ")";
        }
        return failure(ReportError::WorkbookNotStarted, LXW_ERROR_CREATING_TMPFILE, message);
    }

    const Status<ReportFailure> filled = fillSheet(workbook, sheet, table, *layout);
    if (!filled) {
        // Freed without closing: the file is only created when the workbook is closed.
        lxw_workbook_free(workbook);
        return filled;
    }

    errno = 0;
    const lxw_error closed = workbook_close(workbook);
    if (closed != LXW_NO_ERROR) {
        const int systemError = errno;
        // A file that could not be created was never touched, and a device such as /dev/full
        // is not ours to remove; any other file is a partial workbook of ours.
        std::error_code ignored;
        if (closed != LXW_ERROR_CREATING_XLSX_FILE &&
            std::filesystem::is_regular_file(path, ignored)) {
            std::filesystem::remove(path, ignored);
        }
        std::string message = lxw_strerror(closed);
        if (systemError != 0) {
            message += std::string(" (") + std::strerror(systemError) + ")";
        }
        return failure(ReportError::WorkbookNotSaved, closed, message);
    }
    return {};
}

} // namespace vexilo::report
