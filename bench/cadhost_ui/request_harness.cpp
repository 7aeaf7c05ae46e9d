// Opens vexilo-cad's window on a drawing with a request waiting, as the automation service will
// make them: for screenshots and for trying the window by hand before a client is attached.
// Each answer is printed and the same request is asked again, until the window is closed.
//
// usage: cadhost_ui_request_harness DRAWING.dxf [point|entity|text] [PROMPT]
// Prints the screen position of the first polyline vertex (for xdotool) once the window shows.
#include "cadhost/ui/drawing_view.h"
#include "cadhost/ui/main_window.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <string>

using namespace vexilo::cadhost;

namespace {

std::function<void()> g_ask;

void printFailure(vexilo::automation::HResult code) {
    std::printf("failed %d\n", static_cast<int>(code));
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DRAWING.dxf [point|entity|text] [PROMPT]\n", argv[0]);
        return 2;
    }
    const std::string kind = argc > 2 ? argv[2] : "point";
    const std::string prompt = argc > 3 ? argv[3] : "请选择点：<退出键取消选择> ";

    MainWindow window;
    window.show();
    if (!window.openDrawing(argv[1])) {
        return 1;
    }
    window.setWindowState(3);
    // Without a window manager (Xvfb) maximising does nothing: fill the screen instead.
    window.setGeometry(window.screen()->availableGeometry());

    RequestBroker& broker = window.requests();
    g_ask = [&] {
        const auto again = [] { QTimer::singleShot(0, [] { g_ask(); }); };
        if (kind == "entity") {
            (void)broker.requestEntity(prompt, [again](auto r) {
                if (r) {
                    std::printf("entity %llx\n", static_cast<unsigned long long>(r->handle));
                } else {
                    printFailure(r.error());
                }
                std::fflush(stdout);
                again();
            });
        } else if (kind == "text") {
            (void)broker.requestText(false, prompt, [again](auto r) {
                if (r) {
                    std::printf("text \"%s\"\n", r->c_str());
                } else {
                    printFailure(r.error());
                }
                std::fflush(stdout);
                again();
            });
        } else {
            (void)broker.requestPoint(prompt, [again](auto r) {
                if (r) {
                    std::printf("point %.9f,%.9f,%.9f\n", (*r)[0], (*r)[1], (*r)[2]);
                } else {
                    printFailure(r.error());
                }
                std::fflush(stdout);
                again();
            });
        }
    };
    g_ask();

    // Once the window has its final size, tell where the first polyline vertex shows.
    QTimer::singleShot(1500, [&window] {
        const Drawing* drawing = window.drawing();
        for (const Entity& e : drawing->entities()) {
            if (const PolylineData* p = e.polyline();
                p != nullptr && e.type == EntityType::LwPolyline) {
                const Vec3 v = ocsToWcs(drawing->vertices(*p)[0].point, p->normal);
                const QPoint screen =
                    window.view()->mapToGlobal(window.view()->toWidget(v).toPoint());
                std::printf("vertex %.3f,%.3f at screen %d %d\n", v.x, v.y, screen.x(), screen.y());
                std::fflush(stdout);
                break;
            }
        }
    });
    return QApplication::exec();
}
