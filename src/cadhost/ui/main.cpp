// vexilo-cad: the drawing host. Opens a DXF drawing, lets a person answer the point, entity and
// text requests of the utility, runs scripts of answers, and offers AutoCAD's automation
// members on the D-Bus session bus under each programmatic identifier it is given.
#include "cadhost/service/automation_service.h"
#include "cadhost/ui/main_window.h"
#include "desktop/start_up.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>

#include <cstdio>
#include <memory>

namespace {

// The program's own texts on the terminal.
class Main {
    Q_DECLARE_TR_FUNCTIONS(VexiloCad)
};

} // namespace

int main(int argc, char* argv[]) {
    // --help and --version answer on the terminal and open no window: no display is needed.
    const std::unique_ptr<QCoreApplication> app =
        vexilo::desktop::asksOnlyForText(argc, argv)
            ? std::make_unique<QCoreApplication>(argc, argv)
            : std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vexilo-cad"));
    QCoreApplication::setApplicationVersion(vexilo::desktop::version());
    // Desktops match the windows to the menu entry (and its icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vexilo.VexiloCad"));
    vexilo::desktop::installTranslations(*app);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        Main::tr("The drawing host of Vexilo: a lean 2D DXF viewer that "
                 "answers Vexilo's point and entity requests."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption progId(
        QStringLiteral("progid"),
        Main::tr("Register on the session bus under the programmatic identifier ID "
                 "(repeatable; default AutoCAD.Application)."),
        QStringLiteral("ID"));
    parser.addOption(progId);
    const QCommandLineOption script(
        QStringLiteral("script"),
        Main::tr("Feed the lines of FILE (UTF-8) to the command line as if typed, one per answer."),
        QStringLiteral("FILE"));
    parser.addOption(script);
    const QCommandLineOption log(
        QStringLiteral("log"),
        Main::tr("Write every line of the command history to FILE (UTF-8) as it is completed."),
        QStringLiteral("FILE"));
    parser.addOption(log);
    parser.addPositionalArgument(QStringLiteral("drawing"), Main::tr("DXF drawing to open."),
                                 QStringLiteral("[DRAWING.dxf]"));
    parser.process(*app);
    if (parser.positionalArguments().size() > 1) {
        std::fprintf(stderr, "vexilo-cad: %s\n", qPrintable(Main::tr("one drawing at most")));
        return 2;
    }

    vexilo::cadhost::MainWindow window;

    std::unique_ptr<QFile> logFile;
    if (parser.isSet(log)) {
        logFile = std::make_unique<QFile>(parser.value(log));
        if (!logFile->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::fprintf(stderr, "vexilo-cad: %s\n",
                         Main::tr("cannot write the log %1: %2")
                             .arg(parser.value(log), logFile->errorString())
                             .toLocal8Bit()
                             .constData());
            return 2;
        }
        window.commandLine().history().setLineSink([file = logFile.get()](std::string_view line) {
            file->write(line.data(), static_cast<qint64>(line.size()));
            file->write("\n");
            file->flush();
        });
    }

    // The service registers before the drawing is read, so that clients can bind while a big
    // drawing loads; with no drawing, ActiveDocument fails as AutoCAD's does.
    QStringList progIds = parser.values(progId);
    if (progIds.isEmpty()) {
        progIds << QStringLiteral("AutoCAD.Application");
    }
    vexilo::cadhost::AutomationService service(window, QDBusConnection::sessionBus());
    QStringList problems;
    service.start(progIds, problems);
    for (const QString& problem : problems) {
        std::fprintf(stderr, "vexilo-cad: %s\n", problem.toLocal8Bit().constData());
    }
    window.show();

    if (!parser.positionalArguments().isEmpty()) {
        (void)window.openDrawing(parser.positionalArguments().front().toStdString());
    }
    if (parser.isSet(script)) {
        if (!window.commandLine().runScript(parser.value(script).toStdString())) {
            std::fprintf(stderr, "vexilo-cad: %s\n",
                         Main::tr("cannot run script %1")
                             .arg(parser.value(script))
                             .toLocal8Bit()
                             .constData());
        }
    }
    return QApplication::exec();
}
