// Times the main job end to end over the real bus: vexilo's commands in this process, the real
// vexilo-cad answering from a script. Cases: a 10,000-vertex lightweight polyline listed in the
// user system under a rotated UCS, and 1,000 scripted point picks (codes counted up, and codes
// typed for every point).
//
//   dbus-run-session -- build/default/bench/link/link_bench [vertices] [points]
#include "app/form_cad.h"
#include "app/form_cad_operations.h"
#include "cad/dbus/dbus_backend.h"
#include "host_process.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

using vexilo::app::FormCAD;
using vexilo::app::FormCadOperations;
using vexilo::e2e::HostProcess;

// The user system of the generated drawing: origin (1000, 2000), X axis 30° from world X.
constexpr double kOriginX = 1000.0;
constexpr double kOriginY = 2000.0;
const double kAngle = std::acos(-1.0) / 6;

// A drawing with one open lightweight polyline of `vertices` vertices zig-zagging east, and
// the rotated UCS in its header.
QString writeDrawing(const QTemporaryDir& dir, int vertices) {
    QString dxf;
    dxf += QStringLiteral("0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n");
    dxf += QStringLiteral("9\n$UCSORG\n10\n%1\n20\n%2\n30\n0\n").arg(kOriginX).arg(kOriginY);
    dxf += QStringLiteral("9\n$UCSXDIR\n10\n%1\n20\n%2\n30\n0\n")
               .arg(std::cos(kAngle), 0, 'g', 17)
               .arg(std::sin(kAngle), 0, 'g', 17);
    dxf += QStringLiteral("9\n$UCSYDIR\n10\n%1\n20\n%2\n30\n0\n")
               .arg(-std::sin(kAngle), 0, 'g', 17)
               .arg(std::cos(kAngle), 0, 'g', 17);
    dxf += QStringLiteral("0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n5\n2A\n8\n0\n"
                          "100\nAcDbEntity\n100\nAcDbPolyline\n90\n%1\n70\n0\n38\n2.5\n")
               .arg(vertices);
    for (int v = 0; v < vertices; ++v) {
        dxf += QStringLiteral("10\n%1\n20\n%2\n")
                   .arg(500000.0 + v * 1.25)
                   .arg(3012000.0 + (v % 2) * 0.75);
    }
    dxf += QStringLiteral("0\nENDSEC\n0\nEOF\n");
    const QString path = dir.filePath(QStringLiteral("long_polyline.dxf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
        std::exit(1);
    }
    file.write(dxf.toUtf8());
    return path;
}

// A world point as typed at the host's prompt: in the user system.
QString typed(double x, double y) {
    const double dx = x - kOriginX;
    const double dy = y - kOriginY;
    const double ux = dx * std::cos(kAngle) + dy * std::sin(kAngle);
    const double uy = -dx * std::sin(kAngle) + dy * std::cos(kAngle);
    return QStringLiteral("%1,%2").arg(ux, 0, 'f', 9).arg(uy, 0, 'f', 9);
}

struct Utility {
    FormCAD window;
    vexilo::cad::dbus::DbusRegistry registry;
    FormCadOperations operations{window, registry};
    Utility() {
        window.setMessagePresenter([](const FormCAD::Message& m) {
            std::fprintf(stderr, "message: %s\n", m.text.toUtf8().constData());
        });
        window.show();
    }
};

double timeCommand(const std::function<bool()>& command) {
    QElapsedTimer clock;
    clock.start();
    command();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int vertices = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int points = argc > 2 ? std::atoi(argv[2]) : 1000;
    QTemporaryDir dir;
    const QString drawing = writeDrawing(dir, vertices);

    {
        // The pick lands a third of the way along the first segment.
        const double x = 500000.0 + 1.25 / 3;
        const double y = 3012000.0 + 0.75 / 3;
        HostProcess host({typed(x, y), QStringLiteral("K"), QStringLiteral("^C")},
                         {vexilo::e2e::kDefaultProgId}, drawing);
        if (!host.ready()) {
            std::fprintf(stderr, "vexilo-cad did not start\n");
            return 1;
        }
        Utility vexilo;
        const double ms = timeCommand([&] { return vexilo.operations.Command2_Click(); });
        std::printf("polyline, user system: %d vertices listed in %.1f ms (%d rows, last %s)\n",
                    vertices, ms, vexilo.window.table().rowCount() - 1,
                    vexilo.window.table().cell(vexilo.window.table().rowCount() - 1, 1).c_str());
    }

    for (const bool increment : {true, false}) {
        QStringList script;
        for (int i = 0; i < points; ++i) {
            script << typed(500000.0 + i, 3012000.0 + i);
            if (!increment || i == 0) {
                script << QStringLiteral("P%1").arg(i + 1);
            }
        }
        script << QStringLiteral("^C");
        HostProcess host(script, {vexilo::e2e::kDefaultProgId}, drawing);
        if (!host.ready()) {
            std::fprintf(stderr, "vexilo-cad did not start\n");
            return 1;
        }
        Utility vexilo;
        vexilo.window.controlAs<QCheckBox>("Check2")->setChecked(increment);
        const double ms = timeCommand([&] { return vexilo.operations.Command1_Click(); });
        std::printf("point picks, %s: %d points in %.1f ms (%.3f ms a point, %d rows)\n",
                    increment ? "codes counted up" : "a code typed for each", points, ms,
                    ms / points, vexilo.window.table().rowCount() - 1);
    }
    return 0;
}
