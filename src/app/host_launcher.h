// Starting the drawing host beside the window: what the desktop menu entry of vexilo does on
// Linux when no CAD answers on the session bus yet.
#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>

namespace vexilo::app {

/// What startHostUnlessRunning() found or did.
enum class HostStart {
    Running, ///< a program owns one of the bus names the window attaches to
    Started, ///< none did; the host was started
    Failed,  ///< none did, and the host could not be started (no bus, or no such program)
};

/// Starts `program` with `arguments`, detached, unless a program already owns one of the bus
/// names of the identifiers the window attaches to (AutoCAD.Application and its releases) on
/// `bus`. On Failed, `problem` says why.
HostStart startHostUnlessRunning(const QDBusConnection& bus, const QString& program,
                                 const QStringList& arguments, QString& problem);

/// The drawing host to start: vexilo-cad beside this program's executable, else the one on
/// PATH; empty when there is none.
QString hostProgram();

} // namespace vexilo::app
