// The pipeline that turns a picked point into a row of the coordinate table: numeric options,
// translation into the user system, point codes and the row itself.
#pragma once

#include "cad/automation.h"
#include "cad/cad_session.h"
#include "cad/coordinate_table.h"
#include "cad/error_state.h"
#include "cad/ports.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexilo::cad {

/// The point picker's code prompt: a carriage return, then the request.
inline constexpr std::string_view kPointCodePrompt = "\r命令：请输入点的编码：<退出键取消输入>";

/// Shown (title "提示信息") when a capture command cannot add a row because the table holds
/// CoordinateTable::kMaxRowCount rows, the most the report can hold.
inline constexpr std::string_view kTableFullMessage = "坐标表已满，无法再添加点！";

/// How an attempt to add a row ended.
enum class RowOutcome {
    Added,     ///< the row exists (its cells were written as far as they could be)
    TableFull, ///< the table cannot grow; nothing was written
};

/// The window-level values `decimalPlaces`, `scale` and `rowIndex`, and the recording steps.
/// Every step runs skip-and-continue: a failure leaves its target as it was and its code in
/// the ErrorState passed in; nothing is shown and no step stops a command.
///
/// Column assignment: with swap off (the default) the column "X坐标" receives element 1 of the
/// point (the drawing's Y, north) and "Y坐标" element 0 (the drawing's X, east); with swap on
/// "X坐标" receives element 0 and "Y坐标" element 1.
class PointRecorder {
public:
    /// None of the three is owned; all must outlive the recorder.
    PointRecorder(CadSession& session, CoordinateTable& table, const OptionsPort& options)
        : m_session(session), m_table(table), m_options(options) {}

    /// `decimalPlaces` ← 16 bits of the leading number of `Text1(0)`, then `scale` ← 16 bits
    /// of the leading number of `Text2`, then a scale of 0 becomes 1. A value beyond 16 bits
    /// keeps the previous one.
    void ReadNumericOptions(ErrorState& errors);
    /// Only the first step of ReadNumericOptions (the arc operation reads no scale).
    void ReadDecimalPlaces(ErrorState& errors);

    /// `userPoint` ← TranslateCoordinates(worldPoint, world, user, not a displacement) through
    /// the document's Utility; on failure `userPoint` keeps what it held.
    void ToUserSystem(const Point3& worldPoint, std::optional<Point3>& userPoint,
                      ErrorState& errors);

    /// With code increment ticked and `pointCode` not empty: `pointCode` ← number to text of
    /// (full-text number of `pointCode` + leading number of `Text1(1)`), read afresh; a code
    /// that is not a number stays as it is. Otherwise `pointCode` ← GetString(false, prompt);
    /// a failed request (Esc) leaves it and its code in `errors` for the caller.
    void NextCode(std::string& pointCode, std::string_view prompt, ErrorState& errors);

    /// Appends the row for one point: number, code, then the two coordinate cells from the
    /// user point (user system selected) or the world point, each cell its own step. A missing
    /// user point leaves both coordinate cells empty. TableFull when the table cannot grow.
    RowOutcome AppendPointRow(const Point3& worldPoint, const std::optional<Point3>& userPoint,
                              const std::string& pointCode, ErrorState& errors);

    /// Steps 1 and 2 of AppendPointRow on their own: `rowIndex` ← the row count, then the row
    /// count grows by one. TableFull (with `rowIndex` set) when it cannot.
    RowOutcome StartRow();
    /// Cell (`rowIndex`, column) ← text; a cell outside the table keeps a failure code.
    void WriteCell(int column, std::string text, ErrorState& errors);
    /// Writes column 2 ("X坐标") then column 3 ("Y坐标") of row `rowIndex` from a point's
    /// element 0 (`a`) and element 1 (`b`) under the swap option, read now. An absent element,
    /// or a rule that refuses to format it, leaves its cell empty.
    void WriteCoordinateCells(const std::optional<double>& a, const std::optional<double>& b,
                              ErrorState& errors);

    /// `scale` × value rounded to `decimalPlaces` places, as text. Fails
    /// (automation::kInvalidCallCode) for negative decimal places.
    CadResult<std::string> FormatCoordinate(double value) const;

    std::int16_t decimalPlaces() const { return m_decimalPlaces; }
    std::int16_t scale() const { return m_scale; }
    /// Index of the row last started, which is also its sequence number. 32 bits so that
    /// every row up to CoordinateTable::kMaxRowCount is numbered.
    std::int32_t rowIndex() const { return m_rowIndex; }

private:
    CadSession& m_session;
    CoordinateTable& m_table;
    const OptionsPort& m_options;
    std::int16_t m_decimalPlaces = 0;
    std::int16_t m_scale = 0;
    std::int32_t m_rowIndex = 0;
};

} // namespace vexilo::cad
