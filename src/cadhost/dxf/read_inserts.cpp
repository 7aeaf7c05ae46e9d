// Reader of block references: INSERT with the ATTRIB entities that follow it.
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
        while (context.follower("ATTRIB", context.followerTags(), location)) {
            if (target != Target::Discard) {
                context.skip(SkipReason::Attribute, "ATTRIB", location);
            }
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

} // namespace vexilo::cadhost::dxf
