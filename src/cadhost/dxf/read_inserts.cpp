// Readers of block references: INSERT with the ATTRIB entities that follow it, and DIMENSION,
// which AutoCAD draws as its anonymous block.
#include "cadhost/dxf/entity_readers.h"

namespace vexilo::cadhost::dxf {

void readInsert(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    InsertData d;
    const bool attributesFollow = tags.integer(66) != 0;
    const std::int64_t columns = tags.integer(70, 1);
    const std::int64_t rows = tags.integer(71, 1);
    d.position = tags.point(10);
    d.scale = {tags.number(41, 1.0), tags.number(42, 1.0), tags.number(43, 1.0)};
    d.rotation = normalizedAngle(tags.number(50) * kDegree);
    c.damaged = c.damaged || tags.damaged;
    const std::string_view blockName = tags.last(2) ? tags.last(2)->trimmed() : std::string_view{};
    if (attributesFollow) {
        std::size_t location = 0;
        EntityTags& attribute = context.followerTags();
        bool first = true;
        while (context.follower("ATTRIB", attribute, location)) {
            Common ac = commonOf(attribute);
            ac.location = location;
            TextData text;
            readTextFields(attribute, text, 74);
            ac.damaged = ac.damaged || attribute.damaged;
            // Invisible attributes (70 bit 1) are not drawn by AutoCAD either.
            const bool invisible = (attribute.integer(70) & 1) != 0;
            if (!context.acceptable(target, ac, "ATTRIB", &text.normal) || invisible ||
                d.attributeCount == 0xFFFF) {
                continue;
            }
            context.drawing().setText(text, textPlainText(context.decode(attribute.text(1))));
            const std::uint32_t index =
                context.drawing().appendAttribute(context.entity(ac, EntityType::Text, text));
            if (first) {
                d.firstAttribute = index;
                first = false;
            }
            ++d.attributeCount;
        }
        context.endOfSequence();
    }
    if (!context.acceptable(target, c, "INSERT", &d.normal)) {
        return;
    }
    if (columns > 1 || rows > 1) {
        context.skip(SkipReason::ArrayReducedToOne, "INSERT", c.location);
    }
    d.block = context.blockReference(target, blockName);
    context.keep(target, c, EntityType::Insert, d);
}

void readDimension(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    InsertData d;
    // The block's entities are in WCS already (base point 0): the block is drawn in place.
    d.dimensionKind = static_cast<std::uint8_t>(tags.integer(70) & 7);
    const std::string_view blockName = tags.last(2) ? tags.last(2)->trimmed() : std::string_view{};
    c.damaged = c.damaged || tags.damaged;
    if (!context.acceptable(target, c, "DIMENSION", nullptr)) {
        return;
    }
    if (blockName.empty()) {
        context.skip(SkipReason::UndefinedBlock, "DIMENSION", c.location);
        return;
    }
    d.block = context.blockReference(target, blockName);
    context.keep(target, c, EntityType::Dimension, d);
}

} // namespace vexilo::cadhost::dxf
