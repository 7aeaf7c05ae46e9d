// vexilo-cad: the drawing host. Opens a DXF drawing, lets a person answer the point, entity and
// text requests of the utility, runs scripts of answers, and offers AutoCAD's automation
// members on the D-Bus session bus under each programmatic identifier it is given.
#include "cadhost/service/automation_service.h"
#include "cadhost/ui/main_window.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QFile>

#include <cstdio>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vexilo-cad"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The drawing host of Vexilo."));
    parser.addHelpOption();
    const QCommandLineOption progId(
        QStringLiteral("progid"),
        QStringLiteral("Register on the session bus under the programmatic identifier ID "
                       "(repeatable; default AutoCAD.Application)."),
        QStringLiteral("ID"));
    parser.addOption(progId);
    const QCommandLineOption script(QStringLiteral("script"),
                                    QStringLiteral("Feed the lines of FILE (UTF-8) to the command "
                                                   "line as if typed, one per answer."),
                                    QStringLiteral("FILE"));
    parser.addOption(script);
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("Write every line of the command history to FILE "
                                                "(UTF-8) as it is completed."),
                                 QStringLiteral("FILE"));
    parser.addOption(log);
    parser.addPositionalArgument(QStringLiteral("drawing"), QStringLiteral("DXF drawing to open."),
                                 QStringLiteral("[DRAWING.dxf]"));
    parser.process(app);
    if (parser.positionalArguments().size() > 1) {
        std::fprintf(stderr, "vexilo-cad: one drawing at most\n");
        return 2;
    }

    vexilo::cadhost::MainWindow window;

    std::unique_ptr<QFile> logFile;
    if (parser.isSet(log)) {
        logFile = std::make_unique<QFile>(parser.value(log));
        if (!logFile->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::fprintf(stderr, "vexilo-cad: cannot write the log %s: %s\n",
                         parser.value(log).toLocal8Bit().constData(),
                         logFile->errorString().toLocal8Bit().constData());
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
        window.commandLine().openDrawing(parser.positionalArguments().front().toStdString());
    }
    if (parser.isSet(script)) {
        if (!window.commandLine().runScript(parser.value(script).toStdString())) {
            std::fprintf(stderr, "vexilo-cad: cannot run script %s\n",
                         parser.value(script).toLocal8Bit().constData());
        }
    }
    return QApplication::exec();
}
