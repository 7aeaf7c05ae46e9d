// Times appending 32,766 rows to the coordinate table while the window shows it (offscreen
// platform), through the append path the capture commands use. Prints one line per run and
// the best and median totals; asserts nothing.
#include "app/form_cad.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 32'766;
constexpr int kRuns = 5;

struct RunTime {
    double appendMs;
    double paintMs;
};

std::vector<vexilo::cad::CoordinateRow> makeRows() {
    std::vector<vexilo::cad::CoordinateRow> rows;
    rows.reserve(kRows);
    for (int i = 1; i <= kRows; ++i) {
        rows.push_back({std::to_string(i), std::to_string(i), "3512345.678", "512345.123"});
    }
    return rows;
}

RunTime timeOneRun() {
    vexilo::app::FormCAD window;
    window.show();
    QApplication::processEvents();

    const std::vector<vexilo::cad::CoordinateRow> rows = makeRows();
    QElapsedTimer timer;
    timer.start();
    for (const auto& row : rows) {
        window.table().appendRow(row);
    }
    const qint64 appended = timer.nsecsElapsed();
    QApplication::processEvents(); // the layout and scroll-bar updates the appends asked for
    window.repaint();              // and one full paint of the window
    const qint64 painted = timer.nsecsElapsed();
    return {static_cast<double>(appended) / 1e6, static_cast<double>(painted - appended) / 1e6};
}

double timeTableAlone() {
    vexilo::cad::CoordinateTable table;
    const std::vector<vexilo::cad::CoordinateRow> rows = makeRows();
    QElapsedTimer timer;
    timer.start();
    for (const auto& row : rows) {
        table.appendRow(row);
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    std::vector<double> totals;
    for (int run = 1; run <= kRuns; ++run) {
        const RunTime time = timeOneRun();
        totals.push_back(time.appendMs + time.paintMs);
        std::printf("run %d: %d rows appended in %.1f ms, then painted in %.1f ms\n", run, kRows,
                    time.appendMs, time.paintMs);
    }
    // The same appends to a table that no view watches: what the grid adds is the difference.
    for (int run = 1; run <= kRuns; ++run) {
        std::printf("table alone, run %d: %d rows appended in %.1f ms\n", run, kRows,
                    timeTableAlone());
    }
    std::sort(totals.begin(), totals.end());
    std::printf("total per %d rows: best %.1f ms, median %.1f ms\n", kRows, totals.front(),
                totals[totals.size() / 2]);
    return 0;
}
