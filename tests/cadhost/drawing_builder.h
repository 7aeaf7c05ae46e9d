// Builds small drawings in code for the member, primitive and index tests.
#pragma once

#include "cadhost/model/drawing.h"

#include <initializer_list>
#include <string_view>

namespace vexilo::cadhost::test {

/// Appends entities to a drawing with short calls; handles count up from 0x100.
class DrawingBuilder {
public:
    Drawing& drawing() { return m_d; }

    std::size_t line(Vec3 a, Vec3 b, std::uint32_t layer = 0) {
        return add(EntityType::Line, LineData{a, b}, layer);
    }
    std::size_t lwpolyline(std::initializer_list<PolylineVertex> vertices, bool closed = false,
                           Vec3 normal = {0, 0, 1}, double elevation = 0.0,
                           double constantWidth = 0.0) {
        PolylineData p = polyline(vertices, closed);
        p.normal = normal;
        p.elevation = elevation;
        p.constantWidth = constantWidth;
        return add(EntityType::LwPolyline, p, 0);
    }
    std::size_t polyline3d(std::initializer_list<PolylineVertex> vertices, bool closed = false) {
        return add(EntityType::Polyline3d, polyline(vertices, closed), 0);
    }
    std::size_t arc(Vec3 center, double radius, double start, double end, Vec3 normal = {0, 0, 1}) {
        return add(EntityType::Arc, ArcData{center, normal, radius, start, end}, 0);
    }
    std::size_t circle(Vec3 center, double radius) {
        return add(EntityType::Circle, ArcData{center, {0, 0, 1}, radius, 0, 0}, 0);
    }
    std::size_t point(Vec3 p, std::uint32_t layer = 0) {
        return add(EntityType::Point, PointData{p, {0, 0, 1}}, layer);
    }
    std::size_t text(Vec3 p, double height, std::string_view s) {
        TextData t;
        t.position = p;
        t.height = height;
        m_d.setText(t, s);
        return add(EntityType::Text, t, 0);
    }
    std::size_t insert(std::uint32_t block, Vec3 at, Vec3 scale = {1, 1, 1},
                       double rotation = 0.0) {
        InsertData i;
        i.position = at;
        i.scale = scale;
        i.rotation = rotation;
        i.block = block;
        return add(EntityType::Insert, i, 0);
    }
    /// Puts widths on the last polyline added (one pair per vertex).
    void widths(std::initializer_list<SegmentWidth> w) {
        auto& p = std::get<PolylineData>(m_d.mutableEntities().back().data);
        p.firstWidth = m_d.appendWidths(std::span<const SegmentWidth>(w.begin(), w.size()));
    }

private:
    PolylineData polyline(std::initializer_list<PolylineVertex> vertices, bool closed) {
        PolylineData p;
        p.vertexCount = static_cast<std::uint32_t>(vertices.size());
        p.firstVertex =
            m_d.appendVertices(std::span<const PolylineVertex>(vertices.begin(), vertices.size()));
        p.closed = closed;
        return p;
    }
    std::size_t add(EntityType type, EntityData data, std::uint32_t layer) {
        Entity e;
        e.handle = m_nextHandle++;
        e.type = type;
        e.layer = layer;
        e.data = std::move(data);
        m_d.appendEntity(std::move(e));
        return m_d.entities().size() - 1;
    }

    Drawing m_d;
    std::uint64_t m_nextHandle = 0x100;
};

} // namespace vexilo::cadhost::test
