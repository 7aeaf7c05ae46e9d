// Entity members as AutoCAD's automation interface exposes them.
#include "cadhost/model/entity_members.h"

#include "cadhost/host_geometry.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace vexilo::cadhost {

namespace {

auto unknownMember() {
    return vexilo::unexpected(automation::kUnknownMemberCode);
}

bool isPolyline(const Entity& e) {
    return e.type == EntityType::LwPolyline || e.type == EntityType::Polyline2d ||
           e.type == EntityType::Polyline3d;
}

std::vector<double> asVector(Vec3 v) {
    return {v.x, v.y, v.z};
}

Vec3 arcPoint(const ArcData& a, double angle) {
    const Vec3 ocs{a.center.x + a.radius * std::cos(angle), a.center.y + a.radius * std::sin(angle),
                   a.center.z};
    return ocsToWcs(ocs, a.normal);
}

/// AutoCAD's object name of each dimension kind (DXF 70 & 7).
std::string_view dimensionObjectName(std::uint8_t kind) {
    static constexpr std::string_view kNames[] = {
        "AcDbRotatedDimension",   "AcDbAlignedDimension", "AcDb2LineAngularDimension",
        "AcDbDiametricDimension", "AcDbRadialDimension",  "AcDb3PointAngularDimension",
        "AcDbOrdinateDimension",  "AcDbRotatedDimension"};
    return kNames[kind & 7];
}

} // namespace

double counterClockwiseSweep(double start, double end) {
    double sweep = std::fmod(end - start, 2.0 * std::numbers::pi);
    if (sweep <= 0.0) {
        sweep += 2.0 * std::numbers::pi;
    }
    return sweep;
}

std::string_view objectName(const Entity& e) {
    switch (e.type) {
    case EntityType::Line:
        return "AcDbLine";
    case EntityType::LwPolyline:
        return "AcDbPolyline";
    case EntityType::Polyline2d:
        return "AcDb2dPolyline";
    case EntityType::Polyline3d:
        return "AcDb3dPolyline";
    case EntityType::Arc:
        return "AcDbArc";
    case EntityType::Circle:
        return "AcDbCircle";
    case EntityType::Point:
        return "AcDbPoint";
    case EntityType::Text:
        return "AcDbText";
    case EntityType::MText:
        return "AcDbMText";
    case EntityType::Insert:
        return "AcDbBlockReference";
    case EntityType::Spline:
        return "AcDbSpline";
    case EntityType::Ellipse:
        return "AcDbEllipse";
    case EntityType::Solid:
        return "AcDbSolid";
    case EntityType::Trace:
        return "AcDbTrace";
    case EntityType::Face3d:
        return "AcDbFace";
    case EntityType::Dimension:
        return dimensionObjectName(e.insert()->dimensionKind);
    case EntityType::Leader:
        return "AcDbLeader";
    case EntityType::XLine:
        return "AcDbXline";
    case EntityType::Ray:
        return "AcDbRay";
    case EntityType::Hatch:
        return "AcDbHatch";
    case EntityType::MLine:
        return "AcDbMline";
    }
    return "AcDbEntity";
}

Member<std::vector<double>> coordinates(const Drawing& d, const Entity& e) {
    const PolylineData* p = e.polyline();
    if (!p) {
        return unknownMember();
    }
    std::vector<double> out;
    const auto verts = d.vertices(*p);
    switch (e.type) {
    case EntityType::LwPolyline:
        out.reserve(verts.size() * 2);
        for (const PolylineVertex& v : verts) {
            out.push_back(v.point.x);
            out.push_back(v.point.y);
        }
        break;
    case EntityType::Polyline2d:
        out.reserve(verts.size() * 3);
        for (const PolylineVertex& v : verts) {
            out.push_back(v.point.x);
            out.push_back(v.point.y);
            out.push_back(p->elevation);
        }
        break;
    default:
        out.reserve(verts.size() * 3);
        for (const PolylineVertex& v : verts) {
            out.push_back(v.point.x);
            out.push_back(v.point.y);
            out.push_back(v.point.z);
        }
        break;
    }
    return out;
}

Member<std::vector<double>> coordinate(const Drawing& d, const Entity& e, int index) {
    const PolylineData* p = e.polyline();
    if (!p) {
        return unknownMember();
    }
    if (index < 0 || static_cast<std::uint32_t>(index) >= p->vertexCount) {
        return vexilo::unexpected(automation::kBadIndexCode);
    }
    const PolylineVertex& v = d.vertices(*p)[static_cast<std::size_t>(index)];
    switch (e.type) {
    case EntityType::LwPolyline:
        return std::vector<double>{v.point.x, v.point.y};
    case EntityType::Polyline2d:
        return std::vector<double>{v.point.x, v.point.y, p->elevation};
    default:
        return asVector(v.point);
    }
}

Member<double> elevation(const Entity& e) {
    if (e.type != EntityType::LwPolyline && e.type != EntityType::Polyline2d) {
        return unknownMember();
    }
    return e.polyline()->elevation;
}

Member<Vec3> normal(const Entity& e) {
    if (e.type == EntityType::Polyline3d) {
        return unknownMember();
    }
    return std::visit([](const auto& data) -> Member<Vec3> { return data.normal; }, e.data);
}

Member<bool> closed(const Entity& e) {
    if (!isPolyline(e)) {
        return unknownMember();
    }
    return e.polyline()->closed;
}

Member<SegmentWidth> getWidth(const Drawing& d, const Entity& e, int segment) {
    if (e.type != EntityType::LwPolyline && e.type != EntityType::Polyline2d) {
        return unknownMember();
    }
    const PolylineData& p = *e.polyline();
    const std::int64_t segments =
        p.closed ? std::int64_t{p.vertexCount} : std::int64_t{p.vertexCount} - 1;
    if (segment < 0 || segment >= segments) {
        return vexilo::unexpected(automation::kBadIndexCode);
    }
    const auto widths = d.widths(p);
    if (widths.empty()) {
        return SegmentWidth{p.constantWidth, p.constantWidth};
    }
    return widths[static_cast<std::size_t>(segment)];
}

Member<double> radius(const Entity& e) {
    if (e.type != EntityType::Arc && e.type != EntityType::Circle) {
        return unknownMember();
    }
    return e.arc()->radius;
}

Member<double> arcLength(const Entity& e) {
    if (e.type != EntityType::Arc) {
        return unknownMember();
    }
    const ArcData& a = *e.arc();
    return a.radius * counterClockwiseSweep(a.startAngle, a.endAngle);
}

Member<Vec3> center(const Entity& e) {
    if (e.type != EntityType::Arc && e.type != EntityType::Circle) {
        return unknownMember();
    }
    const ArcData& a = *e.arc();
    return ocsToWcs(a.center, a.normal);
}

Member<Vec3> startPoint(const Entity& e) {
    if (e.type == EntityType::Line) {
        return e.line()->start;
    }
    if (e.type != EntityType::Arc) {
        return unknownMember();
    }
    return arcPoint(*e.arc(), e.arc()->startAngle);
}

Member<Vec3> endPoint(const Entity& e) {
    if (e.type == EntityType::Line) {
        return e.line()->end;
    }
    if (e.type != EntityType::Arc) {
        return unknownMember();
    }
    return arcPoint(*e.arc(), e.arc()->endAngle);
}

Member<double> startAngle(const Entity& e) {
    if (e.type != EntityType::Arc) {
        return unknownMember();
    }
    return e.arc()->startAngle;
}

Member<double> endAngle(const Entity& e) {
    if (e.type != EntityType::Arc) {
        return unknownMember();
    }
    return e.arc()->endAngle;
}

Member<MemberValue> readProperty(const Drawing& d, const Entity& e, std::string_view name) {
    const auto fromDouble = [](Member<double> r) -> Member<MemberValue> {
        if (!r) {
            return vexilo::unexpected(r.error());
        }
        return MemberValue{*r};
    };
    const auto fromPoint = [](Member<Vec3> r) -> Member<MemberValue> {
        if (!r) {
            return vexilo::unexpected(r.error());
        }
        return MemberValue{asVector(*r)};
    };
    if (name == "ObjectName" || name == "EntityName") {
        return MemberValue{std::string(objectName(e))};
    }
    if (name == "Handle") {
        char buffer[20];
        std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(e.handle));
        return MemberValue{std::string(buffer)};
    }
    if (name == "Layer") {
        return MemberValue{d.layer(e.layer).name};
    }
    if (name == "Coordinates") {
        auto r = coordinates(d, e);
        if (!r) {
            return vexilo::unexpected(r.error());
        }
        return MemberValue{std::move(*r)};
    }
    if (name == "Closed") {
        const auto r = closed(e);
        if (!r) {
            return vexilo::unexpected(r.error());
        }
        return MemberValue{*r};
    }
    if (name == "Elevation") {
        return fromDouble(elevation(e));
    }
    if (name == "Normal") {
        return fromPoint(normal(e));
    }
    if (name == "Radius") {
        return fromDouble(radius(e));
    }
    if (name == "ArcLength") {
        return fromDouble(arcLength(e));
    }
    if (name == "Center") {
        return fromPoint(center(e));
    }
    if (name == "StartPoint") {
        return fromPoint(startPoint(e));
    }
    if (name == "EndPoint") {
        return fromPoint(endPoint(e));
    }
    if (name == "StartAngle") {
        return fromDouble(startAngle(e));
    }
    if (name == "EndAngle") {
        return fromDouble(endAngle(e));
    }
    return unknownMember();
}

} // namespace vexilo::cadhost
