// Attaching to the running CAD program and handing out its active drawing.
#include "cad/cad_session.h"

#include <utility>

namespace vexilo::cad {

bool CadSession::Attach(WindowPort& window, ErrorState& errors) {
    bool bound = false;
    for (std::string_view progId : kProgIdChain) {
        errors.clear();
        CadResult<std::shared_ptr<Application>> application = m_registry.bind(progId);
        if (application && !application.value()) {
            application = unexpected(automation::kObjectNotSetCode);
        }
        if (errors.assign(m_application, std::move(application))) {
            bound = true;
            break;
        }
    }
    if (!bound) {
        window.showInformation(kNoCadMessage);
        return false;
    }
    errors.assign(m_document, m_application->activeDocument());
    errors.check(m_application->setWindowState(kWindowMaximised));
    return true;
}

CadResult<std::shared_ptr<Document>> CadSession::ThisDrawing() {
    if (!m_application) {
        return std::shared_ptr<Document>();
    }
    return m_application->activeDocument();
}

} // namespace vexilo::cad
