// Timed run of opening a drawing in vexilo-cad's main window: the time from asking to open it
// until the view has painted the drawing's first picture, the time until the load is complete
// (spatial index built, summary printed), and the process's peak resident memory at both.
//
// usage: cadhost_first_picture DRAWING.dxf [--threads=N]
// (QT_QPA_PLATFORM=offscreen when unset; run it under Xvfb with QT_QPA_PLATFORM=xcb to paint
// into a real X window; make the ~120 MB drawing with bench/cadhost/make_survey_drawing.py)
#include "cadhost/ui/drawing_view.h"
#include "cadhost/ui/main_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

namespace {

double peakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DRAWING.dxf\n", argv[0]);
        return 2;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    vexilo::cadhost::MainWindow window;
    window.resize(1280, 800);
    window.show();
    QElapsedTimer exposing;
    exposing.start();
    while (!(window.windowHandle() && window.windowHandle()->isExposed()) &&
           exposing.elapsed() < 10000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    const double rssBefore = peakRssMb();

    QElapsedTimer clock;
    double firstPicture = -1.0;
    double firstPictureRss = 0.0;
    QObject::connect(window.view(), &vexilo::cadhost::DrawingView::firstPictureShown, [&] {
        firstPicture = clock.nsecsElapsed() / 1e6;
        firstPictureRss = peakRssMb();
        QTimer::singleShot(0, &app, &QApplication::quit);
    });
    double loaded = -1.0;
    bool failed = false;
    QTimer::singleShot(0, [&] {
        clock.start();
        const auto opened = window.openDrawing(argv[1]);
        loaded = clock.nsecsElapsed() / 1e6;
        if (!opened) {
            std::fprintf(stderr, "%s\n", opened.error().message.c_str());
            failed = true;
            QApplication::quit();
        }
    });
    QTimer::singleShot(120000, &app, &QApplication::quit);
    QApplication::exec();
    if (failed || firstPicture < 0.0) {
        std::fprintf(stderr, "no picture was shown\n");
        return 1;
    }
    std::printf("first picture %.0f ms (peak RSS %.0f MB); loaded with index and summary %.0f ms; "
                "peak RSS %.0f MB (%.0f MB before opening)\n",
                firstPicture, firstPictureRss, loaded, peakRssMb(), rssBefore);
    return 0;
}
