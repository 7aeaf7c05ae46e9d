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

/// True for the code of a call that failed because the CAD is gone (its process ended or left
/// the bus while the call was under way): every later call would fail too.
inline bool linkLost(automation::HResult code) {
    return code == automation::kDisconnectedCode || code == automation::kNotRunningCode;
}

/// How the two pickers start: attach (false, after the message, when no CAD answers), then
/// minimise the window so that the CAD's maximised window is free for picking, then read the
/// decimal places and the scale for the whole run; the run's first row will be where an undo of
/// its points stops.
inline bool startPicking(CaptureContext& context, cad::ErrorState& errors) {
    if (!context.session.Attach(context.window, errors)) {
        return false;
    }
    context.window.minimise();
    context.recorder.ReadNumericOptions(errors);
    context.recorder.BeginCommand();
    return true;
}

} // namespace vexilo::capture
