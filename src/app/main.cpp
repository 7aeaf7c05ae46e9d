// `vexilo`: starts the application, attaches the window's commands to the CAD link and shows
// the main window until it closes.
#include "app/form_cad.h"
#include "app/form_cad_bus.h"
#include "app/form_cad_operations.h"
#include "cad/dbus/dbus_backend.h"

#include <QApplication>
#include <QStandardPaths>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vexilo"));
    vexilo::app::FormCAD window;
    window.setJournalFolder(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                            QStringLiteral("/journal"));
    vexilo::cad::dbus::DbusRegistry registry;
    vexilo::app::FormCadOperations operations(window, registry);
    vexilo::app::FormCadBus bus(operations);
    QString problem;
    if (!bus.start(problem)) {
        // The window works without it; only other programs' calls are lost.
        std::fprintf(stderr, "vexilo: public operations not on the bus: %s\n",
                     problem.toLocal8Bit().constData());
    }
    window.show();
    return QApplication::exec();
}
