// Readers of texts: TEXT (one line, placed by its alignment points) and MTEXT (paragraph text).
#include "cadhost/dxf/entity_readers.h"

#include <algorithm>
#include <cmath>

namespace vexilo::cadhost::dxf {

void readTextFields(EntityTags& tags, TextData& d, int verticalCode) {
    d.position = tags.point(10);
    const bool haveSecond = tags.has(11);
    const Vec3 second = tags.point(11);
    d.height = tags.number(40);
    d.widthFactor = tags.number(41, 1.0);
    d.rotation = normalizedAngle(tags.number(50) * kDegree);
    const double oblique = tags.number(51);
    // AutoCAD accepts −85° to 85°; beyond, the glyphs would be sheared to nothing.
    d.oblique = static_cast<float>(std::clamp(oblique, -85.0, 85.0) * kDegree);
    d.mirror = static_cast<std::uint8_t>(tags.integer(71) & (kTextBackward | kTextUpsideDown));
    d.horizontal = static_cast<std::uint8_t>(std::clamp<std::int64_t>(tags.integer(72), 0, 5));
    d.vertical =
        static_cast<std::uint8_t>(std::clamp<std::int64_t>(tags.integer(verticalCode), 0, 3));
    const bool stretched = d.horizontal == 3 || d.horizontal == 5;
    if (stretched) {
        // Aligned and fitted texts run from the first point to the second on their baseline;
        // the direction between them is the rotation.
        const Vec3 along = second - d.position;
        const double span = std::hypot(along.x, along.y);
        if (haveSecond && std::isfinite(span) && span > 0.0) {
            d.fitLength = span;
            d.rotation = normalizedAngle(std::atan2(along.y, along.x));
        } else {
            d.horizontal = 0;
        }
        d.vertical = 0;
        return;
    }
    // Left-aligned texts are placed by their first point; the others by the second, which
    // AutoCAD keeps authoritative (the first is derived from it).
    if (haveSecond && !(d.horizontal == 0 && d.vertical == 0)) {
        d.position = second;
    }
}

void readText(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    TextData d;
    readTextFields(tags, d, 73);
    c.damaged = c.damaged || tags.damaged;
    if (!context.acceptable(target, c, "TEXT", &d.normal)) {
        return;
    }
    context.drawing().setText(d, textPlainText(context.decode(tags.text(1))));
    context.keep(target, c, EntityType::Text, d);
}

void readAttributeDefinition(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    // In a block it is the template of its references' attributes, which they draw; AutoCAD
    // shows only a definition outside any block, by its tag.
    if (target == Target::Block) {
        return;
    }
    TextData d;
    readTextFields(tags, d, 74);
    c.damaged = c.damaged || tags.damaged;
    if (!context.acceptable(target, c, "ATTDEF", &d.normal)) {
        return;
    }
    context.drawing().setText(d, textPlainText(context.decode(tags.text(2))));
    context.keep(target, c, EntityType::Text, d);
}

void readMText(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    TextData d;
    d.position = tags.point(10);
    const bool haveDirection = tags.has(11);
    const Vec3 direction = tags.point(11);
    d.height = tags.number(40);
    d.widthFactor = tags.number(41);
    const double rotationDegrees = tags.number(50);
    const std::int64_t attachment = tags.integer(71, 1);
    const double spacing = tags.number(44, 1.0);
    // AutoCAD keeps the factor between 0.25 and 4.
    d.fitLength = std::isfinite(spacing) ? std::clamp(spacing, 0.25, 4.0) : 1.0;
    c.damaged = c.damaged || tags.damaged;
    if (!context.acceptable(target, c, "MTEXT", &d.normal)) {
        return;
    }
    // The text is its 3 chunks in order, then the last 1.
    std::string& raw = context.stringScratch();
    raw.clear();
    for (const Tag& tag : tags.all()) {
        if (tag.code == 3) {
            raw.append(tag.text);
        }
    }
    raw.append(tags.text(1));
    d.horizontal = static_cast<std::uint8_t>(std::clamp<std::int64_t>(attachment, 1, 9));
    // ezdxf and AutoCAD write the rotation in degrees; the direction vector, when present,
    // wins over it.
    double rotation = rotationDegrees * kDegree;
    if (haveDirection && isFinite(direction) && length(direction) > 0.0) {
        const Vec3 ocs = wcsToOcs(direction, d.normal);
        if (ocs.x != 0.0 || ocs.y != 0.0) {
            rotation = std::atan2(ocs.y, ocs.x);
        }
    }
    d.rotation = normalizedAngle(rotation);
    context.drawing().setText(d, mtextPlainText(context.decode(raw)));
    context.keep(target, c, EntityType::MText, d);
}

} // namespace vexilo::cadhost::dxf
