// Readers of polylines: LWPOLYLINE (vertices inline) and POLYLINE (VERTEX entities to SEQEND).
#include "cadhost/dxf/entity_readers.h"

namespace vexilo::cadhost::dxf {

void readLwPolyline(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    PolylineData d;
    std::vector<PolylineVertex>& vertices = context.vertexScratch();
    std::vector<SegmentWidth>& widths = context.widthScratch();
    vertices.clear();
    widths.clear();
    bool anyWidth = false;
    // A vertex starts at each 10; the codes after it up to the next 10 belong to it.
    for (const Tag& tag : tags.all()) {
        if (tag.code == 10) {
            vertices.push_back(PolylineVertex{{tags.numberOf(tag), 0.0, 0.0}, 0.0});
            widths.push_back({});
            continue;
        }
        if (vertices.empty()) {
            continue;
        }
        switch (tag.code) {
        case 20:
            vertices.back().point.y = tags.numberOf(tag);
            break;
        case 40:
            widths.back().start = tags.numberOf(tag);
            anyWidth = anyWidth || widths.back().start != 0.0;
            break;
        case 41:
            widths.back().end = tags.numberOf(tag);
            anyWidth = anyWidth || widths.back().end != 0.0;
            break;
        case 42:
            vertices.back().bulge = tags.numberOf(tag);
            break;
        default:
            break;
        }
    }
    d.elevation = tags.number(38);
    d.constantWidth = tags.number(43);
    d.closed = (tags.integer(70) & 1) != 0;
    c.damaged = c.damaged || tags.damaged;
    if (!context.acceptable(target, c, "LWPOLYLINE", &d.normal)) {
        return;
    }
    if (vertices.empty()) {
        context.skip(SkipReason::NoVertices, "LWPOLYLINE", c.location);
        return;
    }
    d.vertexCount = static_cast<std::uint32_t>(vertices.size());
    d.firstVertex = context.drawing().appendVertices(vertices);
    if (anyWidth) {
        d.firstWidth = context.drawing().appendWidths(widths);
    }
    context.keep(target, c, EntityType::LwPolyline, d);
}

void readPolyline(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    PolylineData d;
    d.elevation = tags.number(30);
    const std::int64_t flags = tags.integer(70);
    const SegmentWidth defaults{tags.number(40), tags.number(41)};
    c.damaged = c.damaged || tags.damaged;
    std::vector<PolylineVertex>& vertices = context.vertexScratch();
    std::vector<SegmentWidth>& widths = context.widthScratch();
    vertices.clear();
    widths.clear();
    bool anyWidth = defaults.start != 0.0 || defaults.end != 0.0;
    EntityTags& vertexTags = context.followerTags();
    std::size_t location = 0;
    while (context.follower("VERTEX", vertexTags, location)) {
        const PolylineVertex v{vertexTags.point(10), vertexTags.number(42)};
        const SegmentWidth w{vertexTags.number(40, defaults.start),
                             vertexTags.number(41, defaults.end)};
        const std::int64_t vertexFlags = vertexTags.integer(70);
        c.damaged = c.damaged || vertexTags.damaged;
        // Spline frame control points (16) are not on the curve; polyface face records (128
        // without 64) are not points.
        if ((vertexFlags & 16) != 0 || ((vertexFlags & 128) != 0 && (vertexFlags & 64) == 0)) {
            continue;
        }
        anyWidth = anyWidth || w.start != 0.0 || w.end != 0.0;
        vertices.push_back(v);
        widths.push_back(w);
    }
    context.endOfSequence();
    if ((flags & 16) != 0) {
        if (target != Target::Discard) {
            context.skip(SkipReason::PolygonMesh, "POLYLINE", c.location);
        }
        return;
    }
    if ((flags & 64) != 0) {
        if (target != Target::Discard) {
            context.skip(SkipReason::PolyfaceMesh, "POLYLINE", c.location);
        }
        return;
    }
    const bool is3d = (flags & 8) != 0;
    if (is3d) {
        d.elevation = 0.0;
    }
    if (!context.acceptable(target, c, "POLYLINE", is3d ? nullptr : &d.normal)) {
        return;
    }
    if (vertices.empty()) {
        context.skip(SkipReason::NoVertices, "POLYLINE", c.location);
        return;
    }
    d.closed = (flags & 1) != 0;
    d.constantWidth = defaults.start == defaults.end ? defaults.start : 0.0;
    d.vertexCount = static_cast<std::uint32_t>(vertices.size());
    d.firstVertex = context.drawing().appendVertices(vertices);
    if (anyWidth && !is3d) {
        d.firstWidth = context.drawing().appendWidths(widths);
    }
    context.keep(target, c, is3d ? EntityType::Polyline3d : EntityType::Polyline2d, d);
}

} // namespace vexilo::cadhost::dxf

namespace vexilo::cadhost::dxf {

void readLeader(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    PolylineData d;
    std::vector<PolylineVertex>& vertices = context.vertexScratch();
    vertices.clear();
    for (const Tag& tag : tags.all()) {
        if (tag.code == 10) {
            vertices.push_back(PolylineVertex{{tags.numberOf(tag), 0.0, 0.0}, 0.0});
        } else if ((tag.code == 20 || tag.code == 30) && !vertices.empty()) {
            (tag.code == 20 ? vertices.back().point.y : vertices.back().point.z) =
                tags.numberOf(tag);
        }
    }
    c.damaged = c.damaged || tags.damaged;
    if (!context.acceptable(target, c, "LEADER", &d.normal)) {
        return;
    }
    if (vertices.size() < 2) {
        context.skip(SkipReason::NoVertices, "LEADER", c.location);
        return;
    }
    d.vertexCount = static_cast<std::uint32_t>(vertices.size());
    d.firstVertex = context.drawing().appendVertices(vertices);
    // 71: arrowhead on (the default) or off; its size comes from the leader's dimension style.
    if (tags.integer(71, 1) != 0) {
        d.constantWidth = context.arrowSize(tags.text(3));
    }
    context.keep(target, c, EntityType::Leader, d);
}

} // namespace vexilo::cadhost::dxf
