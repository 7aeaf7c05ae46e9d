// vexilo-cad: the drawing host. Opens a DXF drawing, lets a person answer the point, entity and
// text requests of the utility, and runs scripts of answers.
#include "cadhost/ui/main_window.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vexilo-cad"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The drawing host of Vexilo."));
    parser.addHelpOption();
    const QCommandLineOption script(QStringLiteral("script"),
                                    QStringLiteral("Feed the lines of FILE (UTF-8) to the command "
                                                   "line as if typed, one per answer."),
                                    QStringLiteral("FILE"));
    parser.addOption(script);
    parser.addPositionalArgument(QStringLiteral("drawing"), QStringLiteral("DXF drawing to open."),
                                 QStringLiteral("[DRAWING.dxf]"));
    parser.process(app);
    if (parser.positionalArguments().size() > 1) {
        std::fprintf(stderr, "vexilo-cad: one drawing at most\n");
        return 2;
    }

    vexilo::cadhost::MainWindow window;
    // The automation service is created here, on the session bus, with `window` as its
    // AutomationHost; it registers before the drawing is read, so that clients can bind while a
    // big drawing loads.
    window.show();

    if (!parser.positionalArguments().isEmpty()) {
        (void)window.openDrawing(parser.positionalArguments().front().toStdString());
    }
    if (parser.isSet(script)) {
        if (!window.commandLine().runScript(parser.value(script).toStdString())) {
            std::fprintf(stderr, "vexilo-cad: cannot run script %s\n",
                         parser.value(script).toLocal8Bit().constData());
        }
    }
    return QApplication::exec();
}
