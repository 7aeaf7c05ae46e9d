// `vexilo`: starts the application, attaches the window's commands to the CAD link and shows
// the main window until it closes.
#include "app/form_cad.h"
#include "app/form_cad_bus.h"
#include "app/form_cad_operations.h"
#include "app/host_launcher.h"
#include "cad/dbus/dbus_backend.h"
#include "desktop/start_up.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <memory>

namespace {

// The program's own texts on the terminal.
class Main {
    Q_DECLARE_TR_FUNCTIONS(Vexilo)
};

} // namespace

int main(int argc, char* argv[]) {
    // --help and --version answer on the terminal and open no window: no display is needed.
    const std::unique_ptr<QCoreApplication> app =
        vexilo::desktop::asksOnlyForText(argc, argv)
            ? std::make_unique<QCoreApplication>(argc, argv)
            : std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vexilo"));
    QCoreApplication::setApplicationVersion(vexilo::desktop::version());
    // Desktops match the windows to the menu entry (and its icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vexilo.Vexilo"));
    vexilo::desktop::installTranslations(*app);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        Main::tr("Vexilo: picks points and polyline vertices in a running CAD into a numbered "
                 "coordinate table and exports it as a coordinate report."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption startCad(
        QStringLiteral("start-cad"),
        Main::tr("Start vexilo-cad beside the window when no CAD is on the session bus."));
    parser.addOption(startCad);
    parser.process(*app);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "vexilo: %s\n", qPrintable(Main::tr("takes no file arguments")));
        return 2;
    }

    if (parser.isSet(startCad)) {
        QString problem;
        if (vexilo::app::startHostUnlessRunning(QDBusConnection::sessionBus(),
                                                vexilo::app::hostProgram(), {},
                                                problem) == vexilo::app::HostStart::Failed) {
            // The window still works: its pick buttons say that no CAD is open.
            std::fprintf(stderr, "vexilo: %s\n", problem.toLocal8Bit().constData());
        }
    }

    vexilo::app::FormCAD window;
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
