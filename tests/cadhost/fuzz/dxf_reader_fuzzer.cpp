// libFuzzer harness for the DXF reader: any bytes must give a drawing or an error, never a
// crash, a hang or unbounded memory, and the same one read in one piece or in pieces; a drawing
// that loads must answer its lookups, members, bounds, pick and snap, and its scene must draw at
// any view without writing outside the picture.
#include "cadhost/commandline/open_document.h"
#include "cadhost/dxf/dxf_reader.h"
#include "cadhost/index/spatial_index.h"
#include "cadhost/model/entity_members.h"
#include "cadhost/model/primitives.h"
#include "cadhost/ui/scene.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace {

// Draws the scene into a picture with guard rows above and below and a guard margin right of
// each row; traps when anything lands outside the picture.
void rasterizeChecked(const vexilo::cadhost::Scene& scene, const vexilo::cadhost::Viewport& view) {
    constexpr std::uint32_t kGuard = 0x5A5A5A5Au;
    const std::size_t stride = static_cast<std::size_t>(view.width) + 8;
    const std::size_t rows = static_cast<std::size_t>(view.height);
    std::vector<std::uint32_t> pixels((rows + 2) * stride, kGuard);
    std::vector<std::size_t> bigTexts;
    (void)scene.rasterize(view, pixels.data() + stride, stride, 6.0, &bigTexts);
    for (std::size_t row = 0; row < rows + 2; ++row) {
        const bool inside = row > 0 && row <= rows;
        for (std::size_t x = 0; x < stride; ++x) {
            if ((!inside || x >= static_cast<std::size_t>(view.width)) &&
                pixels[row * stride + x] != kGuard) {
                __builtin_trap();
            }
        }
    }
}

// Read in pieces (cut anywhere an entity may start, on three threads), the bytes must give what
// a read in one piece gives.
void checkPiecesReadAsOne(std::string_view bytes, const vexilo::cadhost::dxf::ReadResult& one) {
    using namespace vexilo::cadhost;
    dxf::ReadOptions options;
    options.threads = 3;
    options.minPieceBytes = 1;
    const dxf::ReadResult pieces = dxf::readDxf(bytes, options);
    if (one.has_value() != pieces.has_value()) {
        __builtin_trap();
    }
    if (!one) {
        if (one.error().message != pieces.error().message) {
            __builtin_trap();
        }
        return;
    }
    const auto a = one->drawing.entities();
    const auto b = pieces->drawing.entities();
    if (!std::equal(a.begin(), a.end(), b.begin(), b.end()) ||
        one->report.summary() != pieces->report.summary() ||
        !std::equal(one->drawing.layers().begin(), one->drawing.layers().end(),
                    pieces->drawing.layers().begin(), pieces->drawing.layers().end())) {
        __builtin_trap();
    }
    const Drawing::PoolSizes sizes = one->drawing.poolSizes();
    const auto va = one->drawing.vertexRun(0, sizes.vertices);
    const auto vb = pieces->drawing.vertexRun(0, pieces->drawing.poolSizes().vertices);
    if (!std::equal(va.begin(), va.end(), vb.begin(), vb.end())) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexilo::cadhost;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    dxf::ReadOptions onePiece;
    onePiece.threads = 1;
    auto result = dxf::readDxf(bytes, onePiece);
    checkPiecesReadAsOne(bytes, result);
    if (!result) {
        return 0;
    }
    const Drawing& d = result->drawing;
    static constexpr const char* kProperties[] = {
        "ObjectName", "Handle",    "Layer",  "Coordinates", "Elevation", "Normal",     "Closed",
        "Radius",     "ArcLength", "Center", "StartPoint",  "EndPoint",  "StartAngle", "EndAngle"};
    for (const Entity& e : d.entities()) {
        if (d.findByHandle(e.handle) != &e) {
            __builtin_trap();
        }
        if (e.layer >= d.layers().size()) {
            __builtin_trap();
        }
        if (const InsertData* i = e.insert()) {
            if (i->block >= d.blocks().size()) {
                __builtin_trap();
            }
        }
        for (const char* name : kProperties) {
            (void)readProperty(d, e, name);
        }
        (void)coordinate(d, e, 0);
        (void)getWidth(d, e, 0);
        // What the view draws: curves, hatch pattern lines, fills, attribute texts.
        PrimitiveOptions options;
        options.limit = 100'000;
        forEachPrimitive(
            d, e, [](const Primitive&) { return true; }, options);
    }
    const SpatialIndex index(d);
    const Box2 extents = index.extents();
    if (!extents.isEmpty()) {
        const Vec2 middle = (extents.min + extents.max) * 0.5;
        const double size = (extents.max.x - extents.min.x) + (extents.max.y - extents.min.y);
        (void)index.pick(middle, size / 8.0);
        (void)index.snap(middle, size / 8.0, SnapModes::all());
    }
    (void)result->report.summary();

    const auto document = makeDocument(std::move(result->drawing));
    (void)loadSummary(*document);
    const Scene scene(*document);
    Viewport view;
    view.width = 64;
    view.height = 48;
    view.fit(document->index->extents());
    rasterizeChecked(scene, view);
    // Zoomed far in on a corner of the drawing, and far out.
    const Viewport fitted = view;
    view.center = document->index->extents().isEmpty() ? Vec2{} : document->index->extents().min;
    view.scale = fitted.scale * 1.0e9;
    rasterizeChecked(scene, view);
    view.center = fitted.center;
    view.scale = fitted.scale * 1.0e-9;
    rasterizeChecked(scene, view);
    return 0;
}
