// Coordinate files for other survey software: the CASS point file (.dat) and a PNEZD CSV.
#pragma once

#include "cad/coordinate_table.h"
#include "common/expected.h"
#include "form/atomic_file.h"

#include <filesystem>
#include <optional>
#include <string>

namespace vexilo::form {

/// Which file a table is written as.
enum class CoordinateFileFormat {
    /// CASS's point file: one line per row, "点名,编码,东,北,高程" with half-width commas and
    /// CR LF line ends; the code field is left empty.
    CassDat,
    /// A CSV with a header row and the fields in PNEZD order: point number, north, east,
    /// height, code; UTF-8 with a byte order mark (how Excel recognises UTF-8), CR LF line
    /// ends, fields quoted where they hold a comma, a quote or a line break.
    PnezdCsv,
};

/// What names a point in a CASS file.
enum class PointName {
    Code,   ///< the row's code; a row without a code is named by its number
    Number, ///< the row's sequence number ("序号")
};

/// The character encoding of a CASS file (a CSV is always UTF-8).
enum class TextEncoding {
    Gbk,  ///< what CASS on a Chinese Windows reads
    Utf8, ///< without byte order mark
};

struct CoordinateFileOptions {
    CoordinateFileFormat format = CoordinateFileFormat::CassDat;
    PointName name = PointName::Code;
    TextEncoding encoding = TextEncoding::Gbk;
};

/// The CSV's header row.
inline constexpr std::string_view kPnezdHeader = "点号,北坐标,东坐标,高程,编码";

/// A coordinate as a file writes it: the shortest decimal text that reads back as the same
/// double, with a full stop whatever the locale ("3012345.679", "-0.25", "100"); the empty text
/// for an absent value.
std::string fileNumber(const std::optional<double>& value);

/// The file's bytes for the table's data rows, east and north taken from the points kept beside
/// the rows (RowPoint: x east, y north, z height), so that the swap of the grid's columns does
/// not matter; absent values give empty fields. Fails, naming the row by its sequence number,
/// for a CASS point name that holds a comma or a line break (CASS has no quoting) or a text that
/// GBK cannot encode.
Expected<std::string, FileFailure> coordinateFileBytes(const cad::CoordinateTable& table,
                                                       const CoordinateFileOptions& options);

/// coordinateFileBytes written atomically to `path`. The table is only read; on failure nothing
/// is written and an earlier file of that name keeps its content.
Status<FileFailure> writeCoordinateFile(const cad::CoordinateTable& table,
                                        const CoordinateFileOptions& options,
                                        const std::filesystem::path& path);

} // namespace vexilo::form
