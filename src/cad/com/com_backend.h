// The automation interfaces over COM: vexilo's link to a running AutoCAD on Windows.
//
// Binding looks the programmatic identifier up (CLSIDFromProgID), takes the application that
// AutoCAD registered in the running object table (GetActiveObject) and asks for its IDispatch;
// nothing is ever started (no CoCreateInstance). Members are called by name the way Visual Basic
// calls them (DispatchObject), so a failure's code is the HRESULT of Invoke: anything AutoCAD
// raises, Esc included, is DISP_E_EXCEPTION, the cancel code.
//
// A call to another process costs on the order of 0.1 ms, so what cannot change during a command
// travels once: an entity's members are read once each and kept by its proxy, and the user
// system (GetVariable of UCSORG, UCSXDIR, UCSYDIR) once after each request that waited for the
// person; conversions between coordinate systems are then made locally with the same code as the
// drawing host's.
//
// All objects must be used on the thread of the apartment that bound them (ComApartment).
#pragma once

#include "cad/automation.h"
#include "cad/com/dispatch.h"

#include <guiddef.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace vexilo::cad::com {

/// AutoCAD's entity interface, {D4B60CD6-7D54-44AB-8FD9-DFBB72CBB847}: a picked entity is
/// converted to it with QueryInterface and its members are read through it. A process reaches it
/// across the process boundary only when a type library declaring it is registered, as AutoCAD's
/// installation does.
inline constexpr GUID kEntityInterfaceId = {
    0xD4B60CD6, 0x7D54, 0x44AB, {0x8F, 0xD9, 0xDF, 0xBB, 0x72, 0xCB, 0xB8, 0x47}};

/// Binds to the AutoCAD registered under a programmatic identifier right now.
class ComRegistry : public RunningObjectRegistry {
public:
    explicit ComRegistry(RetryPolicy policy = {}) : m_policy(policy) {}

    /// CLSIDFromProgID (its failure code when the identifier is not registered), then
    /// GetActiveObject (automation::kNotRunningCode, MK_E_UNAVAILABLE, when no instance is
    /// registered under that class), then IDispatch. Every binding starts a new Link, so an AutoCAD
    /// that was closed and started again is reached afresh; the DISPIDs looked up are kept per
    /// class (CLSID) for this registry's life, so a later binding to the same AutoCAD version
    /// looks no name up again.
    CadResult<std::shared_ptr<Application>> bind(std::string_view progId) override;

    /// Calls made on the most recent binding's objects (see Link::calls); 0 before any.
    std::uint64_t calls() const;
    /// What AutoCAD raised last on the most recent binding, for the log.
    RaisedException lastException() const;

private:
    RetryPolicy m_policy;
    LinkPtr m_lastLink;
    /// By the class's CLSID as text.
    std::map<std::wstring, std::shared_ptr<DispIdCache>> m_dispIds;
};

} // namespace vexilo::cad::com
