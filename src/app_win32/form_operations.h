// The Windows window's commands and public operations over its COM link to AutoCAD.
#pragma once

#include "app_win32/form_window.h"
#include "cad/cad_session.h"
#include "cad/point_recorder.h"
#include "capture/arc_division.h"
#include "capture/capture_context.h"
#include "export/excel_report.h"
#include "survey/angles.h"

#include <optional>

namespace vexilo::win32 {

/// Owns the window's CAD link and wires `Command1`, `Command2`, `Command4` (the report in Excel
/// or WPS) and the unload step
/// (the application's reference released first, then the document's) as on Linux. The
/// interactive public operations run as commands of the window: none starts while another
/// command runs (they return false then).
class FormOperations {
public:
    /// Neither is owned; both must outlive this object.
    FormOperations(FormWindow& window, cad::RunningObjectRegistry& registry);
    FormOperations(const FormOperations&) = delete;
    FormOperations& operator=(const FormOperations&) = delete;

    /// The polyline width report.
    bool Example_GetWidth();
    /// The arc operation.
    std::optional<capture::ArcRun> yh();
    /// The point picker, as a click on `Command1` runs it.
    bool Command1_Click();
    /// The window the operations act on.
    const FormWindow& window() const { return m_window; }

private:
    FormWindow& m_window;
    cad::CadSession m_session;
    cad::PointRecorder m_recorder;
    capture::CaptureContext m_context;
    /// The spreadsheet application, workbook and worksheet of the latest export, kept until the
    /// next export replaces them; the program never saves, closes or quits them.
    report::SpreadsheetReport m_spreadsheet;
};

} // namespace vexilo::win32
