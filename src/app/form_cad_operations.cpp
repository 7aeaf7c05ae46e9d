// The window's commands and public operations over its CAD link.
#include "app/form_cad_operations.h"

#include "capture/divide_arc.h"
#include "capture/pick_points.h"
#include "capture/pick_polyline.h"
#include "export/report_export.h"
#include "widthreport/width_report.h"

namespace vexilo::app {

FormCadOperations::FormCadOperations(FormCAD& window, cad::RunningObjectRegistry& registry)
    : m_window(window), m_session(registry),
      m_recorder(m_session, window.table(), window), m_context{m_session, m_recorder, window,
                                                               window} {
    window.setCommand(FormCAD::Command::Command1, [this] { capture::Command1_Click(m_context); });
    window.setCommand(FormCAD::Command::Command2, [this] { capture::Command2_Click(m_context); });
    window.setCommand(FormCAD::Command::Command4,
                      [this] { report::exportReport(m_window.table(), m_window); });
    window.setCommand(FormCAD::Command::ArcDivision, [this] { capture::divideArc(m_context); });
    // From the menu the width report first attaches, as the capture commands do, so that it
    // works before any pick has found the CAD.
    window.setCommand(FormCAD::Command::PolylineWidth, [this] {
        cad::ErrorState errors;
        if (m_session.Attach(m_window, errors)) {
            widthreport::Example_GetWidth(m_session, m_window);
        }
    });
    window.setUnloadHandler([this] { m_session.release(); });
}

cad::CadResult<std::shared_ptr<cad::Document>> FormCadOperations::ThisDrawing() {
    return m_session.ThisDrawing();
}

bool FormCadOperations::Example_GetWidth() {
    return m_window.runCommand([this] { widthreport::Example_GetWidth(m_session, m_window); });
}

std::optional<capture::ArcRun> FormCadOperations::yh() {
    std::optional<capture::ArcRun> run;
    m_window.runCommand([this, &run] { run = capture::yh(m_context); });
    return run;
}

bool FormCadOperations::Command1_Click() {
    return m_window.runCommand([this] { capture::Command1_Click(m_context); });
}

bool FormCadOperations::Command2_Click() {
    return m_window.runCommand([this] { capture::Command2_Click(m_context); });
}

} // namespace vexilo::app
