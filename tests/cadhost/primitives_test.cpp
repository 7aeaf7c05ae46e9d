// Primitives as the view draws them: colours resolved through BYLAYER and BYBLOCK, layer 0
// inside blocks, hidden layers, mirrored and stretched arcs, text boxes, and the guard against
// block nesting that multiplies.
#include "cadhost/model/primitives.h"
#include "drawing_builder.h"

#include <gtest/gtest.h>

#include <numbers>
#include <vector>

namespace vexilo::cadhost {
namespace {

std::vector<Primitive> primitivesOf(const Drawing& d, std::size_t entity,
                                    PrimitiveOptions options = {}) {
    std::vector<Primitive> out;
    forEachPrimitive(
        d, d.entities()[entity],
        [&](const Primitive& p) {
            out.push_back(p);
            return true;
        },
        options);
    return out;
}

TEST(Primitives, ColoursResolveThroughByLayerAndByBlockAndLayerZeroInherits) {
    test::DrawingBuilder b;
    Drawing& d = b.drawing();
    const std::uint32_t red = d.addLayer(Layer{"RED", 1, true, false, false});
    const std::uint32_t blue = d.addLayer(Layer{"BLUE", 5, true, false, false});
    const std::uint32_t block = d.addBlock("B", {});
    Entity onZeroByBlock;
    onZeroByBlock.type = EntityType::Point;
    onZeroByBlock.color = kColorByBlock;
    onZeroByBlock.data = PointData{};
    d.appendBlockEntity(onZeroByBlock);
    Entity onBlueByLayer = onZeroByBlock;
    onBlueByLayer.layer = blue;
    onBlueByLayer.color = kColorByLayer;
    d.appendBlockEntity(onBlueByLayer);
    Entity green = onZeroByBlock;
    green.color = 3;
    d.appendBlockEntity(green);
    const auto ref = b.insert(block, {});
    d.mutableEntities()[ref].layer = red;
    d.mutableEntities()[ref].color = 6;
    const auto parts = primitivesOf(d, ref);
    ASSERT_EQ(parts.size(), 3u);
    // BYBLOCK takes the reference's colour; layer 0 takes the reference's layer.
    EXPECT_EQ(parts[0].aci, 6);
    EXPECT_EQ(parts[0].layer, red);
    EXPECT_EQ(parts[0].color, aciToRgb(6));
    EXPECT_EQ(parts[1].aci, 5);
    EXPECT_EQ(parts[1].layer, blue);
    EXPECT_EQ(parts[2].aci, 3);
    EXPECT_EQ(parts[2].layer, red);
}

TEST(Primitives, BlockContentOnAHiddenLayerIsLeftOutUnlessAsked) {
    test::DrawingBuilder b;
    Drawing& d = b.drawing();
    const std::uint32_t frozen = d.addLayer(Layer{"F", 1, true, true, false});
    const std::uint32_t block = d.addBlock("B", {});
    Entity hidden;
    hidden.type = EntityType::Point;
    hidden.layer = frozen;
    hidden.data = PointData{};
    d.appendBlockEntity(hidden);
    Entity shown = hidden;
    shown.layer = 0;
    d.appendBlockEntity(shown);
    const auto ref = b.insert(block, {});
    EXPECT_EQ(primitivesOf(d, ref).size(), 1u);
    PrimitiveOptions all;
    all.includeHiddenLayers = true;
    EXPECT_EQ(primitivesOf(d, ref, all).size(), 2u);
}

TEST(Primitives, MirroredArcRunsCounterClockwiseInWorldWithEndsSwapped) {
    test::DrawingBuilder b;
    // OCS (0,0,-1): centre (5,6) is world (-5,6); 0..90° in OCS is 90°..180° in world.
    const auto a = b.arc({5, 6, 0}, 4, 0.0, std::numbers::pi / 2, {0, 0, -1});
    const auto parts = primitivesOf(b.drawing(), a);
    ASSERT_EQ(parts.size(), 1u);
    const auto& arc = std::get<ArcPrimitive>(parts[0].shape);
    EXPECT_EQ(arc.center, (Vec3{-5, 6, 0}));
    EXPECT_NEAR(arc.startAngle, std::numbers::pi / 2, 1e-15);
    EXPECT_NEAR(arc.sweep, std::numbers::pi / 2, 1e-15);
}

TEST(Primitives, NonUniformlyScaledCircleBecomesSegmentsWithoutFalseEnds) {
    test::DrawingBuilder b;
    Drawing& d = b.drawing();
    const std::uint32_t block = d.addBlock("B", {});
    Entity circle;
    circle.type = EntityType::Circle;
    circle.data = ArcData{{0, 0, 0}, {0, 0, 1}, 1.0, 0.0, 0.0};
    d.appendBlockEntity(circle);
    const auto ref = b.insert(block, {10, 0, 0}, {2, 1, 1});
    const auto parts = primitivesOf(d, ref);
    ASSERT_GE(parts.size(), 8u);
    for (const Primitive& p : parts) {
        const auto& s = std::get<SegmentPrimitive>(p.shape);
        EXPECT_FALSE(s.startIsEnd);
        EXPECT_FALSE(s.endIsEnd);
        EXPECT_FALSE(s.hasMidpoint);
        // Every piece end lies on the ellipse ((x−10)/2)² + y² = 1.
        EXPECT_NEAR((s.start.x - 10) * (s.start.x - 10) / 4 + s.start.y * s.start.y, 1.0, 1e-12);
    }
}

TEST(Primitives, TextBoxTurnsWithTheText) {
    TextPrimitive t;
    t.position = {10, 20, 0};
    t.box.add(Vec2{-6, -2});
    t.box.add(Vec2{0, 0});
    auto c = t.corners();
    EXPECT_EQ(c[0], (Vec2{4, 18}));
    EXPECT_EQ(c[2], (Vec2{10, 20}));
    t.rotation = std::numbers::pi / 2;
    c = t.corners();
    EXPECT_NEAR(c[1].x, 12.0, 1e-12);
    EXPECT_NEAR(c[1].y, 20.0, 1e-12);
}

TEST(Primitives, NestingThatMultipliesStopsAtTheLimit) {
    // Block k holds two references to block k−1; block 0 holds a point: 2^30 points in all.
    test::DrawingBuilder b;
    Drawing& d = b.drawing();
    d.addBlock("B0", {});
    Entity point;
    point.type = EntityType::Point;
    point.data = PointData{};
    d.appendBlockEntity(point);
    for (std::uint32_t k = 1; k <= 30; ++k) {
        d.addBlock("B" + std::to_string(k), {});
        Entity ref;
        ref.type = EntityType::Insert;
        InsertData i;
        i.block = k - 1;
        ref.data = i;
        d.appendBlockEntity(ref);
        d.appendBlockEntity(ref);
    }
    const auto top = b.insert(30, {});
    PrimitiveOptions options;
    options.limit = 1000;
    std::size_t count = 0;
    const bool complete = forEachPrimitive(
        d, d.entities()[top],
        [&](const Primitive&) {
            ++count;
            return true;
        },
        options);
    EXPECT_FALSE(complete);
    EXPECT_EQ(count, 1000u);
    // Bounds take each block once, not each copy.
    BoundsCalculator bounds(d);
    EXPECT_FALSE(bounds.entityBounds(d.entities()[top]).isEmpty());
}

TEST(Primitives, SingleVertexPolylineIsAPoint) {
    test::DrawingBuilder b;
    const auto p = b.lwpolyline({{{3, 4, 0}, 0}}, false, {0, 0, 1}, 2.0);
    const auto parts = primitivesOf(b.drawing(), p);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(std::get<PointPrimitive>(parts[0].shape).position, (Vec3{3, 4, 2}));
}

TEST(AciColors, StandardEntriesAndOutOfRange) {
    EXPECT_EQ(aciToRgb(1), (Rgb{255, 0, 0}));
    EXPECT_EQ(aciToRgb(5), (Rgb{0, 0, 255}));
    EXPECT_EQ(aciToRgb(7), (Rgb{255, 255, 255}));
    EXPECT_EQ(aciToRgb(8), (Rgb{128, 128, 128}));
    EXPECT_EQ(aciToRgb(0), aciToRgb(7));
    EXPECT_EQ(aciToRgb(256), aciToRgb(7));
    EXPECT_EQ(aciToRgb(-3), aciToRgb(7));
}

} // namespace
} // namespace vexilo::cadhost
