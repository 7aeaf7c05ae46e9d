// What the automation service needs of the drawing host: its drawing, its window state and
// its waiting request. vexilo-cad's main window implements it.
#pragma once

#include "cadhost/requests/request_broker.h"

namespace vexilo::cadhost {

class Drawing;

/// The drawing host as the automation service sees it.
class AutomationHost {
public:
    virtual ~AutomationHost() = default;
    /// The open drawing, or nullptr when none is open. The pointer stays valid until the next
    /// drawing is opened.
    virtual const Drawing* drawing() const = 0;
    /// 1 normal, 2 minimised, 3 maximised, as AutoCAD's WindowState.
    virtual int windowState() const = 0;
    /// Shows the window in that state; other values are ignored.
    virtual void setWindowState(int state) = 0;
    /// The request that waits for the person.
    virtual RequestBroker& requests() = 0;
};

} // namespace vexilo::cadhost
