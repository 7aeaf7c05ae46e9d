// Starting vexilo-cad when no drawing host owns the bus names the window attaches to.
#include "app/host_launcher.h"

#include "cad/cad_session.h"
#include "automation/prog_id.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace vexilo::app {

HostStart startHostUnlessRunning(const QDBusConnection& bus, const QString& program,
                                 const QStringList& arguments, QString& problem) {
    if (!bus.isConnected() || bus.interface() == nullptr) {
        problem = QStringLiteral("no D-Bus session bus: %1").arg(bus.lastError().message());
        return HostStart::Failed;
    }
    for (const std::string_view progId : cad::kProgIdChain) {
        const QString name = QString::fromStdString(automation::busNameForProgId(progId));
        const auto owned = bus.interface()->isServiceRegistered(name);
        if (owned.isValid() && owned.value()) {
            return HostStart::Running;
        }
    }
    if (program.isEmpty()) {
        problem = QStringLiteral("vexilo-cad is not installed");
        return HostStart::Failed;
    }
    if (!QProcess::startDetached(program, arguments)) {
        problem = QStringLiteral("cannot start %1").arg(program);
        return HostStart::Failed;
    }
    return HostStart::Started;
}

QString hostProgram() {
    const QFileInfo beside(QDir(QCoreApplication::applicationDirPath()),
                           QStringLiteral("vexilo-cad"));
    if (beside.isExecutable() && beside.isFile()) {
        return beside.absoluteFilePath();
    }
    return QStandardPaths::findExecutable(QStringLiteral("vexilo-cad"));
}

} // namespace vexilo::app
