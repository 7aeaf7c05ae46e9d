// The window's commands and public operations: what its buttons run and what other programs
// may call, over the CAD link that the window holds.
#pragma once

#include "app/form_cad.h"
#include "cad/automation.h"
#include "cad/cad_session.h"
#include "cad/point_recorder.h"
#include "capture/arc_division.h"
#include "capture/capture_context.h"
#include "survey/angles.h"

#include <functional>
#include <memory>

namespace vexilo::app {

/// Owns the window's CAD link (`CadSession` with `application` and `document`), the recorder's
/// window-level values, and wires `Command1`, `Command2`, `Command4` (the report) and the
/// unload step of the window to them: unloading releases the application first, then the document.
/// The public operations keep the window's order: `ThisDrawing`, `Example_GetWidth`, `yh`,
/// `Command1_Click`, `XJHD`, `fansuanJL`, `DMS`, `fansuanJD`. The interactive ones run as commands
/// of the window, so none starts while another command runs (they return false then).
class FormCadOperations {
public:
    /// Neither is owned; both must outlive this object.
    FormCadOperations(FormCAD& window, cad::RunningObjectRegistry& registry);
    FormCadOperations(const FormCadOperations&) = delete;
    FormCadOperations& operator=(const FormCadOperations&) = delete;

    /// The drawing active in the CAD now; null before any attach; a failed request is returned.
    cad::CadResult<std::shared_ptr<cad::Document>> ThisDrawing();
    /// The polyline width report. False when another command was running.
    bool Example_GetWidth();
    /// The arc operation; the run's values when it ran, nothing when another command was
    /// running.
    std::optional<capture::ArcRun> yh();
    /// The point picker, as a click on `Command1` runs it. False when another command was
    /// running.
    bool Command1_Click();
    static survey::SurveyResult XJHD(const double& xiaoshuJD) { return survey::XJHD(xiaoshuJD); }
    static survey::SurveyResult fansuanJL(double x, double Y) { return survey::fansuanJL(x, Y); }
    static survey::SurveyResult DMS(double x) { return survey::DMS(x); }
    static survey::SurveyResult fansuanJD(double x, double Y) { return survey::fansuanJD(x, Y); }

    /// The polyline picker behind `Command2`.
    bool Command2_Click();

    cad::CadSession& session() { return m_session; }
    /// The window the operations act on.
    const FormCAD& window() const { return m_window; }

private:
    FormCAD& m_window;
    cad::CadSession m_session;
    cad::PointRecorder m_recorder;
    capture::CaptureContext m_context;
};

} // namespace vexilo::app
