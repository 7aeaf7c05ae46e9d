// Readers of the simple entity kinds: LINE, POINT, ARC and CIRCLE.
#include "cadhost/dxf/entity_readers.h"

namespace vexilo::cadhost::dxf {

void readLine(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    LineData d;
    d.start = tags.point(10);
    d.end = tags.point(11);
    c.damaged = c.damaged || tags.damaged;
    if (context.acceptable(target, c, "LINE", &d.normal)) {
        context.keep(target, c, EntityType::Line, d);
    }
}

void readPoint(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    PointData d;
    d.position = tags.point(10);
    c.damaged = c.damaged || tags.damaged;
    if (context.acceptable(target, c, "POINT", &d.normal)) {
        context.keep(target, c, EntityType::Point, d);
    }
}

namespace {

void readArcOrCircle(ReaderContext& context, Target target, EntityTags& tags, Common& c,
                     bool circle) {
    ArcData d;
    d.center = tags.point(10);
    d.radius = tags.number(40);
    const double startDegrees = tags.number(50);
    const double endDegrees = tags.number(51, 360.0);
    c.damaged = c.damaged || tags.damaged || !(d.radius > 0.0);
    if (!context.acceptable(target, c, circle ? "CIRCLE" : "ARC", &d.normal)) {
        return;
    }
    if (!circle) {
        d.startAngle = normalizedAngle(startDegrees * kDegree);
        d.endAngle = normalizedAngle(endDegrees * kDegree);
    }
    context.keep(target, c, circle ? EntityType::Circle : EntityType::Arc, d);
}

} // namespace

void readArc(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    readArcOrCircle(context, target, tags, c, false);
}

void readCircle(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    readArcOrCircle(context, target, tags, c, true);
}

} // namespace vexilo::cadhost::dxf

namespace vexilo::cadhost::dxf {

namespace {

void readInfiniteLine(ReaderContext& context, Target target, EntityTags& tags, Common& c,
                      EntityType type) {
    LineData d;
    d.start = tags.point(10);
    const Vec3 direction = tags.point(11, Vec3{1.0, 0.0, 0.0});
    c.damaged = c.damaged || tags.damaged || !(length(direction) > 0.0);
    if (!context.acceptable(target, c, dxfTypeName(type), nullptr)) {
        return;
    }
    d.end = d.start + normalized(direction);
    context.keep(target, c, type, d);
}

} // namespace

void readXLine(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    readInfiniteLine(context, target, tags, c, EntityType::XLine);
}

void readRay(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    readInfiniteLine(context, target, tags, c, EntityType::Ray);
}

} // namespace vexilo::cadhost::dxf
