// Picking and object snap: nearest entity, ties by draw order, hidden layers, and snap points
// that are exact, ranked by distance and then by kind, within the aperture square.
#include "cadhost/index/spatial_index.h"
#include "cadhost/model/entity_members.h"
#include "drawing_builder.h"

#include <gtest/gtest.h>

#include <numbers>
#include <vector>

namespace vexilo::cadhost {
namespace {

TEST(Pick, NearestEntityWinsAndAMissFindsNothing) {
    test::DrawingBuilder b;
    const auto far = b.line({0, 0.3, 0}, {10, 0.3, 0});
    const auto nearOne = b.line({0, -0.1, 0}, {10, -0.1, 0});
    SpatialIndex index(b.drawing());
    const auto hit = index.pick({5, 0}, 0.5);
    ASSERT_TRUE(hit.has_value());
    EXPECT_EQ(hit->entity, nearOne);
    EXPECT_NEAR(hit->distance, 0.1, 1e-12);
    EXPECT_EQ(index.pick({5, 0.2}, 0.5)->entity, far);
    EXPECT_FALSE(index.pick({5, 5}, 0.5).has_value());
    // Just outside the pick distance, then just inside.
    EXPECT_FALSE(index.pick({5, 1.0}, 0.69).has_value());
    EXPECT_TRUE(index.pick({5, 1.0}, 0.71).has_value());
}

TEST(Pick, EqualDistanceGoesToTheEntityDrawnLast) {
    test::DrawingBuilder b;
    b.line({0, 0, 0}, {10, 0, 0});
    const auto top = b.line({0, 0, 0}, {10, 0, 0});
    b.line({0, 5, 0}, {10, 5, 0});
    SpatialIndex index(b.drawing());
    EXPECT_EQ(index.pick({5, 0.1}, 0.5)->entity, top);
}

TEST(Pick, HiddenLayersAreNotPicked) {
    test::DrawingBuilder b;
    const std::uint32_t off = b.drawing().addLayer(Layer{"OFF", 1, false, false, false});
    const std::uint32_t frozen = b.drawing().addLayer(Layer{"FROZEN", 1, true, true, false});
    b.line({0, 0, 0}, {10, 0, 0}, off);
    b.line({0, 0, 0}, {10, 0, 0}, frozen);
    SpatialIndex index(b.drawing());
    EXPECT_FALSE(index.pick({5, 0}, 0.5).has_value());
}

TEST(Pick, InsideATextBoxAndOnABlockReferenceLine) {
    test::DrawingBuilder b;
    const auto text = b.text({100, 100, 0}, 2.0, "J12");
    const std::uint32_t block = b.drawing().addBlock("B", {0, 0, 0});
    Entity inner;
    inner.type = EntityType::Line;
    inner.data = LineData{{0, 0, 0}, {1, 0, 0}};
    b.drawing().appendBlockEntity(inner);
    // Scaled 10 and turned 90°: the line runs from (50,50) to (50,60).
    const auto ref = b.insert(block, {50, 50, 0}, {10, 10, 1}, std::numbers::pi / 2);
    SpatialIndex index(b.drawing());
    EXPECT_EQ(index.pick({101, 101}, 0.1)->entity, text);
    EXPECT_EQ(index.pick({50.05, 55}, 0.1)->entity, ref);
    EXPECT_FALSE(index.pick({55, 50}, 0.1).has_value());
}

TEST(Pick, WideSegmentIsHitAcrossItsWidth) {
    test::DrawingBuilder b;
    b.lwpolyline({{{0, 0, 0}}, {{10, 0, 0}}}, false, {0, 0, 1}, 0.0, 2.0);
    SpatialIndex index(b.drawing());
    EXPECT_TRUE(index.pick({5, 1.05}, 0.1).has_value());
    EXPECT_FALSE(index.pick({5, 1.2}, 0.1).has_value());
}

TEST(Snap, EndpointIsTheStoredVertexBitForBit) {
    test::DrawingBuilder b;
    const Vec3 corner{500123.4567891234, 3012345.678901234, 0.0};
    const auto lw = b.lwpolyline({{corner, 0}, {{500130.1, 3012350.2, 0}, 0}});
    SpatialIndex index(b.drawing());
    const auto hit = index.snap({corner.x + 0.3, corner.y - 0.2}, 0.5, SnapModes::all());
    ASSERT_TRUE(hit.has_value());
    EXPECT_EQ(hit->kind, SnapKind::Endpoint);
    EXPECT_EQ(hit->entity, lw);
    EXPECT_EQ(hit->point, corner);
}

struct PrecedenceCase {
    const char* name;
    SnapModes modes;
    SnapKind expected;
};

class SnapPrecedence : public ::testing::TestWithParam<PrecedenceCase> {};

TEST_P(SnapPrecedence, AtOneSpotTheKindOrderDecides) {
    // At (5,0): line A's midpoint, line B's endpoint, their intersection, a point's node and a
    // circle's centre.
    test::DrawingBuilder b;
    b.line({0, 0, 0}, {10, 0, 0});
    b.line({5, 0, 0}, {5, 10, 0});
    b.point({5, 0, 0});
    b.circle({5, 0, 0}, 3.0);
    SpatialIndex index(b.drawing());
    const auto hit = index.snap({5.3, 0.4}, 0.5, GetParam().modes);
    ASSERT_TRUE(hit.has_value());
    EXPECT_EQ(hit->kind, GetParam().expected);
    EXPECT_EQ(hit->point, (Vec3{5, 0, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SnapPrecedence,
    ::testing::Values(
        PrecedenceCase{"EndpointFirst", SnapModes::all(), SnapKind::Endpoint},
        PrecedenceCase{"NodeBeforeCentre", {false, true, true, true, true}, SnapKind::Node},
        PrecedenceCase{
            "CentreBeforeIntersection", {false, false, true, true, true}, SnapKind::Center},
        PrecedenceCase{"IntersectionBeforeMidpoint",
                       {false, false, false, true, true},
                       SnapKind::Intersection},
        PrecedenceCase{"MidpointLast", {false, false, false, false, true}, SnapKind::Midpoint}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Snap, NearerPointBeatsHigherKind) {
    // The midpoint (0.5,0) is 0.05 away, the endpoint (1,0) 0.45.
    test::DrawingBuilder c;
    c.line({0, 0, 0}, {1, 0, 0});
    SpatialIndex shortIndex(c.drawing());
    const auto hit = shortIndex.snap({0.55, 0.0}, 0.6, SnapModes::all());
    ASSERT_TRUE(hit.has_value());
    EXPECT_EQ(hit->kind, SnapKind::Midpoint);
    EXPECT_EQ(hit->point, (Vec3{0.5, 0, 0}));
    EXPECT_EQ(shortIndex.snap({0.55, 0.0}, 0.6, SnapModes::autocadDefault())->point,
              (Vec3{1, 0, 0}));
}

TEST(Snap, ApertureIsASquareIncludingItsEdge) {
    test::DrawingBuilder b;
    b.point({10, 10, 0});
    SpatialIndex index(b.drawing());
    const SnapModes nodes{false, true, false, false, false};
    EXPECT_TRUE(index.snap({9.5, 9.5}, 0.5, nodes).has_value());
    EXPECT_FALSE(index.snap({9.49, 10}, 0.5, nodes).has_value());
    EXPECT_FALSE(index.snap({10, 10}, 0.5, SnapModes::autocadDefault()).has_value());
}

TEST(Snap, CentreOfACircleFoundFromItsEdge) {
    test::DrawingBuilder b;
    b.circle({3012000.25, 500000.75, 0}, 10.0);
    SpatialIndex index(b.drawing());
    const auto hit = index.snap({3012010.3, 500000.8}, 0.5, SnapModes::autocadDefault());
    ASSERT_TRUE(hit.has_value());
    EXPECT_EQ(hit->kind, SnapKind::Center);
    EXPECT_EQ(hit->point, (Vec3{3012000.25, 500000.75, 0}));
}

TEST(Snap, CentreSeenFromTheEdgeRanksBehindAnEndpointInTheAperture) {
    test::DrawingBuilder b;
    b.circle({0, 0, 0}, 10.0);
    b.line({10.2, 0.2, 0}, {20, 0, 0});
    SpatialIndex index(b.drawing());
    const auto hit = index.snap({10.0, 0.0}, 0.5, SnapModes::autocadDefault());
    ASSERT_TRUE(hit.has_value());
    EXPECT_EQ(hit->kind, SnapKind::Endpoint);
}

TEST(Snap, IntersectionsOfLinesArcsAndPolylineSegments) {
    test::DrawingBuilder b;
    b.line({0, 0, 0}, {10, 10, 0});
    b.line({0, 10, 0}, {10, 0, 0});
    b.circle({20, 0, 0}, 5.0);
    b.lwpolyline({{{15, -10, 0}}, {{15, 10, 0}}});
    b.arc({40, 0, 0}, 5, 0, std::numbers::pi);
    b.arc({46, 0, 0}, 5, 0, std::numbers::pi);
    SpatialIndex index(b.drawing());
    const SnapModes only{false, false, false, true, false};
    const auto cross = index.snap({5.2, 5.1}, 0.5, only);
    ASSERT_TRUE(cross.has_value());
    EXPECT_NEAR(cross->point.x, 5.0, 1e-12);
    EXPECT_NEAR(cross->point.y, 5.0, 1e-12);
    const auto lineCircle = index.snap({15.1, 0.2}, 0.5, only);
    ASSERT_TRUE(lineCircle.has_value());
    EXPECT_NEAR(lineCircle->point.x, 15.0, 1e-12);
    EXPECT_NEAR(lineCircle->point.y, 0.0, 1e-12);
    // Two arcs of radius 5, centres 6 apart, meet at (43, 4).
    const auto arcs = index.snap({43.1, 3.9}, 0.5, only);
    ASSERT_TRUE(arcs.has_value());
    EXPECT_NEAR(arcs->point.x, 43.0, 1e-12);
    EXPECT_NEAR(arcs->point.y, 4.0, 1e-12);
    // Their lower crossing (43, −4) is not on the upper half arcs.
    EXPECT_FALSE(index.snap({43.0, -4.0}, 0.5, only).has_value());
}

TEST(Snap, MirroredArcEndpointsAreWhereTheMembersSayAndBulgeMidpointsOnTheArc) {
    test::DrawingBuilder b;
    const auto a = b.arc({5, 6, 0}, 4, std::numbers::pi / 6, 2 * std::numbers::pi / 3, {0, 0, -1});
    b.lwpolyline({{{100, 0, 0}, 1.0}, {{110, 0, 0}, 0.0}});
    SpatialIndex index(b.drawing());
    const Entity& arc = b.drawing().entities()[a];
    for (const Vec3 p : {*startPoint(arc), *endPoint(arc)}) {
        const auto hit = index.snap({p.x + 0.1, p.y}, 0.3, SnapModes::autocadDefault());
        ASSERT_TRUE(hit.has_value());
        EXPECT_EQ(hit->kind, SnapKind::Endpoint);
        EXPECT_NEAR(hit->point.x, p.x, 1e-12);
        EXPECT_NEAR(hit->point.y, p.y, 1e-12);
    }
    // Bulge 1 from (100,0) to (110,0) turns counter-clockwise: the half circle lies below.
    const auto mid = index.snap({105, -5.1}, 0.3, SnapModes{false, false, false, false, true});
    ASSERT_TRUE(mid.has_value());
    EXPECT_NEAR(mid->point.x, 105.0, 1e-12);
    EXPECT_NEAR(mid->point.y, -5.0, 1e-12);
    const auto centre = index.snap({105, 0.1}, 0.3, SnapModes{false, false, true, false, false});
    ASSERT_TRUE(centre.has_value());
    EXPECT_NEAR(centre->point.x, 105.0, 1e-12);
}

TEST(Snap, NodesOnlyWhenAskedAndNothingOnHiddenLayers) {
    test::DrawingBuilder b;
    const std::uint32_t off = b.drawing().addLayer(Layer{"OFF", 1, false, false, false});
    b.point({1, 1, 7.5});
    b.line({3, 3, 0}, {4, 4, 0}, off);
    SpatialIndex index(b.drawing());
    EXPECT_FALSE(index.snap({1, 1}, 0.5, SnapModes::autocadDefault()).has_value());
    EXPECT_EQ(index.snap({1, 1}, 0.5, SnapModes::all())->point, (Vec3{1, 1, 7.5}));
    EXPECT_FALSE(index.snap({3, 3}, 0.5, SnapModes::all()).has_value());
}

TEST(Snap, BadArgumentsFindNothing) {
    test::DrawingBuilder b;
    b.point({0, 0, 0});
    SpatialIndex index(b.drawing());
    EXPECT_FALSE(index.snap({0, 0}, -1.0, SnapModes::all()).has_value());
    EXPECT_FALSE(index.snap({std::nan(""), 0}, 1.0, SnapModes::all()).has_value());
    EXPECT_FALSE(index.pick({0, 0}, std::nan("")).has_value());
}

TEST(Index, ExtentsCoverEveryEntityIncludingArcBulges) {
    test::DrawingBuilder b;
    b.line({0, 0, 0}, {10, 5, 0});
    b.arc({20, 0, 0}, 2, 0, std::numbers::pi);
    SpatialIndex index(b.drawing());
    EXPECT_EQ(index.size(), 2u);
    const Box2 e = index.extents();
    EXPECT_DOUBLE_EQ(e.min.x, 0.0);
    EXPECT_DOUBLE_EQ(e.min.y, 0.0);
    EXPECT_DOUBLE_EQ(e.max.x, 22.0);
    EXPECT_DOUBLE_EQ(e.max.y, 5.0);
}

} // namespace
} // namespace vexilo::cadhost

namespace vexilo::cadhost {
namespace {

TEST(Index, BlockReferenceThatOverflowsToInfinityIsLeftOutOfTheTree) {
    test::DrawingBuilder b;
    Drawing& d = b.drawing();
    const std::uint32_t block = d.addBlock("BIG", {});
    Entity huge;
    huge.type = EntityType::Line;
    huge.data = LineData{{-1e308, 0, 0}, {1e308, 1e308, 0}};
    d.appendBlockEntity(huge);
    b.insert(block, {}, {1e308, -1e308, 1});
    const auto line = b.line({1, 1, 0}, {2, 2, 0});
    SpatialIndex index(d);
    EXPECT_EQ(index.size(), 1u);
    const Box2 e = index.extents();
    EXPECT_TRUE(std::isfinite(e.min.x) && std::isfinite(e.max.y));
    EXPECT_EQ(index.pick({1.5, 1.5}, 0.1)->entity, line);
    EXPECT_EQ(index.snap({1.1, 1.1}, 0.2, SnapModes::all())->point, (Vec3{1, 1, 0}));
}

} // namespace
} // namespace vexilo::cadhost

namespace vexilo::cadhost {
namespace {

TEST(Snap, LongPolylinesAreSearchedOnlyNearTheCursorWithoutLosingFarReachingArcs) {
    test::DrawingBuilder b;
    // A major arc (bulge 3) from (0,0) to (2,0) swings out to y = −3 (its midpoint), far from
    // its chord; a 3D polyline and a long lightweight polyline run elsewhere.
    b.lwpolyline({{{0, 0, 0}, 3.0}, {{2, 0, 0}, 0.0}});
    b.polyline3d({{{100, 0, 5}, 0}, {{110, 0, 6}, 0}, {{120, 10, 7}, 0}});
    PolylineVertex run[200];
    for (int i = 0; i < 200; ++i) {
        run[i] = {{200.0 + i, (i % 2) * 1.0, 0}, 0.0};
    }
    Drawing& d = b.drawing();
    PolylineData p;
    p.firstVertex = d.appendVertices(run);
    p.vertexCount = 200;
    Entity e;
    e.type = EntityType::LwPolyline;
    e.data = p;
    d.appendEntity(e);
    SpatialIndex index(d);
    const auto mid = index.snap({1.1, -3.1}, 0.3, SnapModes::all());
    ASSERT_TRUE(mid.has_value());
    EXPECT_EQ(mid->kind, SnapKind::Midpoint);
    EXPECT_NEAR(mid->point.x, 1.0, 1e-12);
    EXPECT_NEAR(mid->point.y, -3.0, 1e-12);
    EXPECT_EQ(index.snap({110.1, 0.1}, 0.3, SnapModes::all())->point, (Vec3{110, 0, 6}));
    EXPECT_EQ(index.snap({351.2, 0.9}, 0.3, SnapModes::all()).value_or(SnapHit{}).point,
              (Vec3{351, 1, 0}));
    EXPECT_TRUE(index.pick({300.5, 0.5}, 0.1).has_value());
    EXPECT_FALSE(index.pick({300.5, 3.0}, 0.1).has_value());
}

} // namespace
} // namespace vexilo::cadhost

namespace vexilo::cadhost {
namespace {

TEST(Pick, AtSurveyCoordinatesAPickBoxTouchingOnlyAnEndFindsItsLine) {
    // 17 rows of 17 lines 3 mm long and 1 mm apart (enough for a tree of three levels):
    // horizontal in the even rows, vertical in the odd ones. The tree keeps boxes as floats,
    // whose steps there are far coarser than the doubles of the coordinates.
    constexpr double kStep = 0.004;
    constexpr double kLength = 0.003;
    // About half a millimetre, and a power of two: a cursor this far beyond an end gives back
    // the end exactly when the pick box is formed around it.
    constexpr double kHalf = 1.0 / 2048.0;
    const Vec3 corner{500000.1234567, 3012000.7654321, 0};
    test::DrawingBuilder b;
    struct Line {
        std::size_t entity;
        Vec3 start;
        Vec3 end;
    };
    std::vector<Line> lines;
    for (int row = 0; row < 17; ++row) {
        for (int column = 0; column < 17; ++column) {
            const Vec3 start = corner + Vec3{column * kStep, row * kStep, 0};
            const Vec3 end = start + (row % 2 == 0 ? Vec3{kLength, 0, 0} : Vec3{0, kLength, 0});
            lines.push_back({b.line(start, end), start, end});
        }
    }
    SpatialIndex index(b.drawing());
    // Where the cursor stands off each end: the pick box meets only that end's edge of the box.
    const struct {
        const char* edge;
        bool horizontal;
        Vec2 offStart;
        Vec2 offEnd;
    } cases[] = {
        {"left and right", true, {-kHalf, 0}, {kHalf, 0}},
        {"bottom and top", false, {0, -kHalf}, {0, kHalf}},
    };
    for (const auto& c : cases) {
        for (const Line& line : lines) {
            if ((line.start.y == line.end.y) != c.horizontal) {
                continue;
            }
            for (const Vec2 cursor : {xy(line.start) + c.offStart, xy(line.end) + c.offEnd}) {
                const auto hit = index.pick(cursor, kHalf);
                ASSERT_TRUE(hit.has_value()) << c.edge << " of line " << line.entity;
                EXPECT_EQ(hit->entity, line.entity) << c.edge;
            }
        }
    }
}

} // namespace
} // namespace vexilo::cadhost
