// Draws the real main window with a few rows in its table and saves it as a PNG: the picture
// in the README. Run it on a display server, e.g.
//   xvfb-run -a -s "-screen 0 1024x768x24" build/default/tests/app/app_screenshot docs/vexilo.png
#include "app/form_cad.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    vexilo::app::FormCAD window;
    const vexilo::cad::CoordinateRow rows[] = {
        {"1", "K0+000", "3512345.678", "512345.123"}, {"2", "K0+020", "3512365.012", "512350.4"},
        {"3", "J3", "3512380.5", "512362.875"},       {"4", "J4", "3512401.25", "512377.009"},
        {"5", "控制点", "3512420.333", "512391.6"},
    };
    for (const auto& row : rows) {
        window.table().appendRow(row);
    }
    window.table().setCurrentRow(3);
    window.show();
    int status = 1;
    // Let the window map and paint before taking the picture.
    QTimer::singleShot(500, &window, [&] {
        status = window.grab().save(output, "PNG") ? 0 : 1;
        QApplication::quit();
    });
    QApplication::exec();
    return status;
}
