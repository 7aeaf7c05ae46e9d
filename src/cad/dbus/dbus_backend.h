// The automation interfaces over the D-Bus session bus: vexilo's link to a running vexilo-cad.
//
// Binding asks whether the identifier's bus name has an owner now, never starting anything, and
// then talks to that owner's unique connection, so a host that exits and starts again is a new
// binding. Members are called by name; requests that wait for the person (GetPoint, GetEntity,
// GetString) have no timeout and run a local event loop, so the caller's window keeps painting.
// What cannot change during a command travels once: an entity's members come in one Snapshot
// call when the entity is first read, and the user system in one UserSystem call after each
// request that waited for the person; conversions between coordinate systems are then made
// locally with the same code as the host's.
#pragma once

#include "cad/automation.h"

#include <QDBusConnection>
#include <QString>

namespace vexilo::cad::dbus {

/// Binds to drawing hosts registered on a bus connection (the session bus by default).
class DbusRegistry : public RunningObjectRegistry {
public:
    explicit DbusRegistry(QDBusConnection connection = QDBusConnection::sessionBus());

    /// The host that owns automation::busNameForProgId(progId) now; automation::kNotRunningCode
    /// when the name has no owner or the bus cannot be reached.
    CadResult<std::shared_ptr<Application>> bind(std::string_view progId) override;

private:
    QDBusConnection m_connection;
};

/// The code a failed call's error reply stands for: the host's own code from an
/// org.vexilo.Cad.Error reply, automation::kUnknownMemberCode for a member the host does not know,
/// and automation::kDisconnectedCode for everything that means the host is gone or did not answer.
automation::HResult codeOfErrorReply(const QString& errorName, const QString& errorMessage);

} // namespace vexilo::cad::dbus
