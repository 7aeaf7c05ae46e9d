// Readers of four-cornered entities: SOLID and TRACE (filled, in OCS) and 3DFACE (edges, in WCS).
#include "cadhost/dxf/entity_readers.h"

namespace vexilo::cadhost::dxf {

namespace {

void readFace(ReaderContext& context, Target target, EntityTags& tags, Common& c, EntityType type) {
    FaceData d;
    PolylineVertex corners[4];
    for (int i = 0; i < 4; ++i) {
        corners[i].point = tags.point(10 + i);
    }
    // Three-cornered faces repeat the third corner as the fourth.
    if (!tags.has(13)) {
        corners[3] = corners[2];
    }
    const bool is3d = type == EntityType::Face3d;
    d.invisibleEdges = is3d ? static_cast<std::uint8_t>(tags.integer(70) & 15) : 0;
    c.damaged = c.damaged || tags.damaged;
    if (!context.acceptable(target, c, dxfTypeName(type), is3d ? nullptr : &d.normal)) {
        return;
    }
    d.firstVertex = context.drawing().appendVertices(corners);
    context.keep(target, c, type, d);
}

} // namespace

void readSolid(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    readFace(context, target, tags, c, EntityType::Solid);
}

void readTrace(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    readFace(context, target, tags, c, EntityType::Trace);
}

void readFace3d(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    readFace(context, target, tags, c, EntityType::Face3d);
}

} // namespace vexilo::cadhost::dxf
