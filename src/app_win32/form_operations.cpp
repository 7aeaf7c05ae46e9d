// The Windows window's commands and public operations.
#include "app_win32/form_operations.h"

#include "capture/pick_points.h"
#include "capture/pick_polyline.h"
#include "widthreport/width_report.h"

namespace vexilo::win32 {

FormOperations::FormOperations(FormWindow& window, cad::RunningObjectRegistry& registry)
    : m_window(window), m_session(registry),
      m_recorder(m_session, window.table(), window), m_context{m_session, m_recorder, window,
                                                               window} {
    window.setCommand(FormWindow::Command::Command1,
                      [this] { capture::Command1_Click(m_context); });
    window.setCommand(FormWindow::Command::Command2,
                      [this] { capture::Command2_Click(m_context); });
    window.setCommand(FormWindow::Command::Command4, [this] {
        report::exportToSpreadsheet(m_window.table(), m_window, m_spreadsheet);
    });
    window.setUnloadHandler([this] { m_session.release(); });
}

bool FormOperations::Example_GetWidth() {
    return m_window.runCommand([this] { widthreport::Example_GetWidth(m_session, m_window); });
}

std::optional<capture::ArcRun> FormOperations::yh() {
    std::optional<capture::ArcRun> run;
    m_window.runCommand([this, &run] { run = capture::yh(m_context); });
    return run;
}

bool FormOperations::Command1_Click() {
    return m_window.runCommand([this] { capture::Command1_Click(m_context); });
}

} // namespace vexilo::win32
