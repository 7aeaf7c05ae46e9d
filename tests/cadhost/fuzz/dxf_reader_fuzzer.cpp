// libFuzzer harness for the DXF reader: any bytes must give a drawing or an error, never a
// crash, a hang or unbounded memory; a drawing that loads must answer its lookups, members,
// bounds, pick and snap.
#include "cadhost/dxf/dxf_reader.h"
#include "cadhost/index/spatial_index.h"
#include "cadhost/model/entity_members.h"
#include "cadhost/model/primitives.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexilo::cadhost;
    const auto result = dxf::readDxf(std::string_view(reinterpret_cast<const char*>(data), size));
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
    return 0;
}
