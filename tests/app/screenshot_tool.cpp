// Draws the real main window with a few rows in its table and saves it as a PNG: the pictures
// in the README. Run it on a display server, e.g.
//   xvfb-run -a -s "-screen 0 1024x768x24" build/default/tests/app/app_screenshot docs/vexilo.png
// With --menu it fills the table further, selects two rows and takes the screen with the grid's
// context menu open over it (docs/vexilo-menu.png).
#include "app/coordinate_grid.h"
#include "app/form_cad.h"
#include "app/grid_menu.h"

#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const bool menu = argc == 3 && QString::fromLocal8Bit(argv[1]) == QStringLiteral("--menu");
    if (argc != 2 && !menu) {
        std::fprintf(stderr, "usage: %s [--menu] OUTPUT.png\n", argv[0]);
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[argc - 1]);
    vexilo::app::FormCAD window;
    const vexilo::cad::CoordinateRow rows[] = {
        {"1", "K0+000", "3512345.678", "512345.123"}, {"2", "K0+020", "3512365.012", "512350.4"},
        {"3", "J3", "3512380.5", "512362.875"},       {"4", "J4", "3512401.25", "512377.009"},
        {"5", "控制点", "3512420.333", "512391.6"},
    };
    for (const auto& row : rows) {
        window.table().appendRow(row);
    }
    if (menu) {
        const vexilo::cad::CoordinateRow more[] = {
            {"6", "J4", "3512433.1", "512402.75"},   {"7", "J7", "3512450.008", "512410.5"},
            {"8", "J8", "3512466.45", "512431.12"},  {"9", "J9", "3512480.9", "512449.06"},
            {"10", "J10", "3512493.77", "512470.3"}, {"11", "J11", "3512505.2", "512488.64"},
        };
        for (const auto& row : more) {
            window.table().appendRow(row);
        }
    }
    window.table().setCurrentRow(3);
    window.show();
    int status = 1;
    if (menu) {
        QTimer::singleShot(500, &window, [&] {
            vexilo::app::CoordinateGrid* grid = window.grid();
            grid->scrollToTop();
            grid->selectionModel()->select(grid->model()->index(6, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
            const QRect cell = grid->visualRect(grid->model()->index(6, 2));
            window.gridMenu()->menu()->popup(grid->viewport()->mapToGlobal(cell.center()));
        });
        QTimer::singleShot(1200, &window, [&] {
            const QRect frame = window.frameGeometry();
            const QRect area =
                frame.united(window.gridMenu()->menu()->geometry()).adjusted(-8, -8, 8, 8);
            status = window.screen()
                             ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                             .save(output, "PNG")
                         ? 0
                         : 1;
            QApplication::quit();
        });
        QApplication::exec();
        return status;
    }
    // Let the window map and paint before taking the picture.
    QTimer::singleShot(500, &window, [&] {
        status = window.grab().save(output, "PNG") ? 0 : 1;
        QApplication::quit();
    });
    QApplication::exec();
    return status;
}
