// The link to the running CAD program: its application and active document, the attach step
// every capture command runs first, and ThisDrawing.
#pragma once

#include "cad/automation.h"
#include "cad/error_state.h"
#include "cad/ports.h"

#include <array>
#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>

namespace vexilo::cad {

/// The programmatic identifiers Attach tries, in this order: the last-run AutoCAD, then
/// releases 16 (2004) to 20 (2016).
inline constexpr std::array<std::string_view, 6> kProgIdChain = {
    "AutoCAD.Application",    "AutoCAD.Application.16", "AutoCAD.Application.17",
    "AutoCAD.Application.18", "AutoCAD.Application.19", "AutoCAD.Application.20"};

/// Shown (title "提示信息") when no CAD answers under any identifier of the chain.
inline constexpr std::string_view kNoCadMessage = "请先打开CAD软件！";

/// Holds `application` and `document` from the first successful attach until release() (the
/// window's unload). A failed attach or request leaves them as they were. Never starts the CAD.
class CadSession {
public:
    /// The registry is not owned and must outlive the session.
    explicit CadSession(RunningObjectRegistry& registry) : m_registry(registry) {}
    ~CadSession() { release(); }
    CadSession(const CadSession&) = delete;
    CadSession& operator=(const CadSession&) = delete;

    /// Binds to the running CAD through kProgIdChain, each identifier tried only when the one
    /// before failed, the error state cleared before each. When all six fail, shows
    /// kNoCadMessage through window.showInformation and returns false with nothing else
    /// changed. Otherwise `document` ← ActiveDocument and WindowState ← 3 (maximised), both
    /// skipped on failure with their code left in `errors`, and returns true.
    bool Attach(WindowPort& window, ErrorState& errors);

    /// The drawing active in the CAD right now, asked afresh (the held `document` is not used);
    /// a null pointer when no application was ever attached. A failure of the request is
    /// returned to the caller.
    CadResult<std::shared_ptr<Document>> ThisDrawing();

    /// Runs `request` on the held document's Utility, read afresh from the document for this
    /// request (a backend's Document may hand out one cached proxy). Fails with
    /// automation::kObjectNotSetCode when no document is held, or with the code of the `Utility`
    /// read.
    template <class Request>
    auto onUtility(Request&& request) -> std::invoke_result_t<Request, Utility&>;

    /// Releases the application first, then the document.
    void release() {
        m_application.reset();
        m_document.reset();
    }

    const std::shared_ptr<Application>& application() const { return m_application; }
    const std::shared_ptr<Document>& document() const { return m_document; }

private:
    RunningObjectRegistry& m_registry;
    std::shared_ptr<Application> m_application;
    std::shared_ptr<Document> m_document;
};

template <class Request>
auto CadSession::onUtility(Request&& request) -> std::invoke_result_t<Request, Utility&> {
    if (!m_document) {
        return unexpected(automation::kObjectNotSetCode);
    }
    CadResult<std::shared_ptr<Utility>> utility = m_document->utility();
    if (!utility) {
        return unexpected(utility.error());
    }
    if (!utility.value()) {
        return unexpected(automation::kObjectNotSetCode);
    }
    return std::forward<Request>(request)(*utility.value());
}

} // namespace vexilo::cad
