// Renders a DXF file the way vexilo-cad's view draws it into a PNG, for comparing its picture
// with another renderer's at the same view.
//
// usage: cadhost_render_dxf DRAWING.dxf OUT.png WIDTH HEIGHT XMIN YMIN XMAX YMAX
// The WCS box XMIN..XMAX × YMIN..YMAX fills the picture exactly (its aspect must match
// WIDTH × HEIGHT); the background is black.
#include "cadhost/commandline/open_document.h"
#include "cadhost/ui/scene.h"
#include "cadhost/ui/scene_painter.h"

#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char* argv[]) {
    if (argc != 9) {
        std::fprintf(stderr, "usage: %s DRAWING.dxf OUT.png WIDTH HEIGHT XMIN YMIN XMAX YMAX\n",
                     argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    using namespace vexilo::cadhost;
    auto document = openDocument(argv[1]);
    if (!document) {
        std::fprintf(stderr, "%s\n", document.error().message.c_str());
        return 1;
    }
    Viewport view;
    view.width = std::atoi(argv[3]);
    view.height = std::atoi(argv[4]);
    const double x0 = std::atof(argv[5]);
    const double y0 = std::atof(argv[6]);
    const double x1 = std::atof(argv[7]);
    const double y1 = std::atof(argv[8]);
    if (view.width <= 0 || view.height <= 0 || !(x1 > x0) || !(y1 > y0)) {
        std::fprintf(stderr, "bad size or window\n");
        return 2;
    }
    view.center = {(x0 + x1) / 2.0, (y0 + y1) / 2.0};
    view.scale = view.width / (x1 - x0);
    const Scene scene(**document);
    QImage image;
    renderScene(scene, view, image);
    if (!image.save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
