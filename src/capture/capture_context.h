// What a capture command works with: the CAD link, the recorder and its table, the window's
// options and the window itself.
#pragma once

#include "cad/cad_session.h"
#include "cad/point_recorder.h"
#include "cad/ports.h"

namespace vexilo::capture {

/// The window's objects a capture command uses, none owned. The window builds one and passes it
/// to every command; the recorder writes into the window's coordinate table.
struct CaptureContext {
    cad::CadSession& session;
    cad::PointRecorder& recorder;
    const cad::OptionsPort& options;
    cad::WindowPort& window;
};

} // namespace vexilo::capture
