// Timed run of vexilo-cad's drawing view renderer: reads a DXF, builds the scene once, then
// renders it offscreen N times at full extents and zoomed in, and prints milliseconds per frame.
//
// usage: cadhost_ui_render_bench DRAWING.dxf [FRAMES] [WIDTH HEIGHT [PNG]]
// (make the ~120 MB drawing with bench/cadhost/make_survey_drawing.py)
#include "cadhost/commandline/open_document.h"
#include "cadhost/ui/scene.h"
#include "cadhost/ui/scene_painter.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Timing {
    double min = 0.0;
    double median = 0.0;
    double mean = 0.0;
};

template <class F> Timing timeFrames(int frames, F&& frame) {
    std::vector<double> ms;
    for (int i = 0; i < frames; ++i) {
        const auto start = Clock::now();
        frame();
        ms.push_back(msSince(start));
    }
    std::sort(ms.begin(), ms.end());
    Timing t;
    t.min = ms.front();
    t.median = ms[ms.size() / 2];
    for (double m : ms) {
        t.mean += m / ms.size();
    }
    return t;
}

void print(const char* what, const Timing& t, const vexilo::cadhost::RasterStats& stats) {
    std::printf("%-34s min %7.2f  median %7.2f  mean %7.2f ms/frame   (%zu buckets, %zu segments, "
                "%zu texts)\n",
                what, t.min, t.median, t.mean, stats.buckets, stats.segments, stats.texts);
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DRAWING.dxf [FRAMES] [WIDTH HEIGHT]\n", argv[0]);
        return 2;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QGuiApplication app(argc, argv);
    const int frames = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    const int width = argc > 4 ? std::atoi(argv[3]) : 1280;
    const int height = argc > 4 ? std::atoi(argv[4]) : 800;

    auto start = Clock::now();
    auto opened = vexilo::cadhost::openDocument(argv[1]);
    if (!opened) {
        std::fprintf(stderr, "cannot read %s: %s\n", argv[1], opened.error().message.c_str());
        return 1;
    }
    const double readMs = msSince(start);
    const auto& document = **opened;
    std::printf("read and indexed %s: %zu entities in %.0f ms\n", argv[1],
                document.drawing->entities().size(), readMs);

    start = Clock::now();
    const vexilo::cadhost::Scene scene(document);
    std::printf("scene built: %zu segments, %zu wide pieces, %zu texts in %.0f ms\n",
                scene.segmentCount(), scene.wideSegments().size(), scene.texts().size(),
                msSince(start));

    vexilo::cadhost::Viewport view;
    view.width = width;
    view.height = height;
    view.fit(scene.extents());
    QImage image(width, height, QImage::Format_RGB32);
    vexilo::cadhost::RasterStats stats;
    const auto render = [&] { stats = vexilo::cadhost::renderScene(scene, view, image); };
    render();
    print("full extents", timeFrames(frames, render), stats);

    const vexilo::cadhost::Viewport extents = view;
    for (const double zoom : {10.0, 100.0, 1000.0}) {
        view = extents;
        view.zoomAbout({width * 0.37, height * 0.61}, zoom);
        render();
        char label[64];
        std::snprintf(label, sizeof label, "zoomed in x%.0f", zoom);
        print(label, timeFrames(frames, render), stats);
    }

    // Panning moves the last picture instead of drawing again.
    QImage screen(width, height, QImage::Format_RGB32);
    const Timing pan = timeFrames(frames, [&] {
        QPainter painter(&screen);
        painter.fillRect(screen.rect(), vexilo::cadhost::kBackground);
        painter.drawImage(QPointF(37, -21), image);
    });
    std::printf("%-34s min %7.2f  median %7.2f  mean %7.2f ms/frame\n", "pan (cached picture)",
                pan.min, pan.median, pan.mean);
    if (argc > 5) {
        view = extents;
        render();
        image.save(QString::fromLocal8Bit(argv[5]));
    }
    return 0;
}
