// Which automation members each entity has and what they return, including the failures
// AutoCAD's late binding gives (unknown member, bad index).
#include "cadhost/model/entity_members.h"
#include "drawing_builder.h"

#include <gtest/gtest.h>

#include <numbers>

namespace vexilo::cadhost {
namespace {

class Members : public ::testing::Test {
protected:
    void SetUp() override {
        lw = b.lwpolyline({{{1, 2, 0}, 0.0}, {{3, 4, 0}, 1.0}, {{5, 6, 0}, 0.0}}, false, {0, 0, -1},
                          5.0, 0.5);
        poly3d = b.polyline3d({{{1, 2, 3}, 0}, {{4, 5, 6}, 0}}, true);
        arc = b.arc({0, 0, 2}, 2.0, std::numbers::pi / 2, 0.0);
        line = b.line({0, 0, 0}, {3, 4, 0});
        circle = b.circle({1, 1, 0}, 3.0);
        point = b.point({1, 1, 1});
        text = b.text({0, 0, 0}, 2.5, "J1");
        b.drawing().addBlock("B", {});
        insert = b.insert(0, {0, 0, 0});
        b.drawing().finish();
    }
    const Drawing& d() { return b.drawing(); }
    const Entity& e(std::size_t i) { return d().entities()[i]; }

    test::DrawingBuilder b;
    std::size_t lw = 0, poly3d = 0, arc = 0, line = 0, circle = 0, point = 0, text = 0, insert = 0;
};

TEST_F(Members, ObjectNamesAreAutoCadClassNames) {
    EXPECT_EQ(objectName(e(lw)), "AcDbPolyline");
    EXPECT_EQ(objectName(e(poly3d)), "AcDb3dPolyline");
    EXPECT_EQ(objectName(e(arc)), "AcDbArc");
    EXPECT_EQ(objectName(e(line)), "AcDbLine");
    EXPECT_EQ(objectName(e(circle)), "AcDbCircle");
    EXPECT_EQ(objectName(e(point)), "AcDbPoint");
    EXPECT_EQ(objectName(e(text)), "AcDbText");
    EXPECT_EQ(objectName(e(insert)), "AcDbBlockReference");
}

TEST_F(Members, ThreeDPolylineHasNoElevationNorNormalButCoordinatesInThrees) {
    EXPECT_EQ(elevation(e(poly3d)).error(), automation::kUnknownMemberCode);
    EXPECT_EQ(normal(e(poly3d)).error(), automation::kUnknownMemberCode);
    EXPECT_EQ(*coordinates(d(), e(poly3d)), (std::vector<double>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(*coordinate(d(), e(poly3d), 1), (std::vector<double>{4, 5, 6}));
    EXPECT_TRUE(*closed(e(poly3d)));
    EXPECT_EQ(getWidth(d(), e(poly3d), 0).error(), automation::kUnknownMemberCode);
}

TEST_F(Members, LightweightPolylineGivesOcsPairsElevationNormalAndConstantWidth) {
    EXPECT_EQ(*coordinates(d(), e(lw)), (std::vector<double>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(*coordinate(d(), e(lw), 0), (std::vector<double>{1, 2}));
    EXPECT_EQ(*elevation(e(lw)), 5.0);
    EXPECT_EQ(*normal(e(lw)), (Vec3{0, 0, -1}));
    EXPECT_FALSE(*closed(e(lw)));
    EXPECT_EQ(getWidth(d(), e(lw), 1)->start, 0.5);
    EXPECT_EQ(getWidth(d(), e(lw), 1)->end, 0.5);
}

struct IndexCase {
    const char* name;
    int index;
    bool ok;
};

class VertexIndex : public Members, public ::testing::WithParamInterface<IndexCase> {};

TEST_P(VertexIndex, CoordinateAcceptsZeroToCountMinusOne) {
    const auto r = coordinate(d(), e(lw), GetParam().index);
    EXPECT_EQ(r.has_value(), GetParam().ok);
    if (!GetParam().ok) {
        EXPECT_EQ(r.error(), automation::kBadIndexCode);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, VertexIndex,
                         ::testing::Values(IndexCase{"Minus1", -1, false},
                                           IndexCase{"First", 0, true}, IndexCase{"Last", 2, true},
                                           IndexCase{"PastLast", 3, false},
                                           IndexCase{"Huge", 1 << 30, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GetWidth, OpenPolylineHasOneSegmentFewerThanVerticesClosedAsMany) {
    test::DrawingBuilder b;
    const auto open = b.lwpolyline({{{0, 0, 0}}, {{1, 0, 0}}, {{1, 1, 0}}});
    b.widths({{0.1, 0.2}, {0.3, 0.4}, {0.5, 0.6}});
    const auto closedOne = b.lwpolyline({{{0, 0, 0}}, {{1, 0, 0}}, {{1, 1, 0}}}, true);
    b.widths({{0.1, 0.2}, {0.3, 0.4}, {0.5, 0.6}});
    const Drawing& d = b.drawing();
    EXPECT_EQ(getWidth(d, d.entities()[open], 1)->end, 0.4);
    EXPECT_EQ(getWidth(d, d.entities()[open], 2).error(), automation::kBadIndexCode);
    EXPECT_EQ(getWidth(d, d.entities()[open], -1).error(), automation::kBadIndexCode);
    EXPECT_EQ(getWidth(d, d.entities()[closedOne], 2)->start, 0.5);
    EXPECT_EQ(getWidth(d, d.entities()[closedOne], 2)->end, 0.6);
    EXPECT_EQ(getWidth(d, d.entities()[closedOne], 3).error(), automation::kBadIndexCode);
}

TEST_F(Members, ArcMembersInWcsAndRadians) {
    // Centre (0,0,2), radius 2, from 90° round to 0°: three quarters of a turn.
    EXPECT_EQ(*radius(e(arc)), 2.0);
    EXPECT_NEAR(*arcLength(e(arc)), 3.0 * std::numbers::pi, 1e-14);
    EXPECT_EQ(*center(e(arc)), (Vec3{0, 0, 2}));
    EXPECT_NEAR(startPoint(e(arc))->x, 0.0, 1e-15);
    EXPECT_NEAR(startPoint(e(arc))->y, 2.0, 1e-15);
    EXPECT_EQ(startPoint(e(arc))->z, 2.0);
    EXPECT_NEAR(endPoint(e(arc))->x, 2.0, 1e-15);
    EXPECT_NEAR(*startAngle(e(arc)), std::numbers::pi / 2, 1e-15);
    EXPECT_EQ(*endAngle(e(arc)), 0.0);
}

TEST(ArcMembers, MirroredExtrusionPutsPointsOnTheOtherSide) {
    test::DrawingBuilder b;
    const auto a = b.arc({5, 6, 2}, 4, 0.0, std::numbers::pi / 2, {0, 0, -1});
    const Entity& e = b.drawing().entities()[a];
    // OCS X is world −X, OCS Z is world −Z.
    EXPECT_EQ(*center(e), (Vec3{-5, 6, -2}));
    EXPECT_NEAR(startPoint(e)->x, -9.0, 1e-14);
    EXPECT_NEAR(startPoint(e)->y, 6.0, 1e-14);
    EXPECT_NEAR(endPoint(e)->x, -5.0, 1e-14);
    EXPECT_NEAR(endPoint(e)->y, 10.0, 1e-14);
}

TEST(ArcMembers, EqualAnglesMakeAFullTurn) {
    EXPECT_NEAR(counterClockwiseSweep(1.0, 1.0), 2 * std::numbers::pi, 1e-15);
    EXPECT_NEAR(counterClockwiseSweep(6.0, 0.5), 2 * std::numbers::pi - 5.5, 1e-14);
}

struct PropertyCase {
    const char* name;
    const char* property;
    EntityType type;
    bool available;
};

class PropertyByName : public Members, public ::testing::WithParamInterface<PropertyCase> {};

TEST_P(PropertyByName, IsAvailableExactlyWhereAutoCadHasIt) {
    const PropertyCase& c = GetParam();
    const Entity* entity = nullptr;
    for (const Entity& x : d().entities()) {
        if (x.type == c.type) {
            entity = &x;
        }
    }
    ASSERT_NE(entity, nullptr);
    const auto r = readProperty(d(), *entity, c.property);
    EXPECT_EQ(r.has_value(), c.available);
    if (!c.available) {
        EXPECT_EQ(r.error(), automation::kUnknownMemberCode);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PropertyByName,
    ::testing::Values(PropertyCase{"PolylineElevation", "Elevation", EntityType::LwPolyline, true},
                      PropertyCase{"Polyline3dElevation", "Elevation", EntityType::Polyline3d,
                                   false},
                      PropertyCase{"Polyline3dNormal", "Normal", EntityType::Polyline3d, false},
                      PropertyCase{"Polyline3dClosed", "Closed", EntityType::Polyline3d, true},
                      PropertyCase{"ArcCoordinates", "Coordinates", EntityType::Arc, false},
                      PropertyCase{"ArcRadius", "Radius", EntityType::Arc, true},
                      PropertyCase{"CircleRadius", "Radius", EntityType::Circle, true},
                      PropertyCase{"CircleArcLength", "ArcLength", EntityType::Circle, false},
                      PropertyCase{"LineStartPoint", "StartPoint", EntityType::Line, true},
                      PropertyCase{"LineCenter", "Center", EntityType::Line, false},
                      PropertyCase{"PointClosed", "Closed", EntityType::Point, false},
                      PropertyCase{"TextStartAngle", "StartAngle", EntityType::Text, false},
                      PropertyCase{"InsertObjectName", "ObjectName", EntityType::Insert, true},
                      PropertyCase{"InsertEntityName", "EntityName", EntityType::Insert, true},
                      PropertyCase{"WrongCaseName", "objectname", EntityType::Line, false},
                      PropertyCase{"UnknownName", "Thickness", EntityType::Line, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Members, PropertyValuesHaveTheirAutomationTypes) {
    EXPECT_EQ(std::get<std::string>(*readProperty(d(), e(lw), "ObjectName")), "AcDbPolyline");
    EXPECT_EQ(std::get<std::string>(*readProperty(d(), e(lw), "Handle")), "100");
    EXPECT_EQ(std::get<std::string>(*readProperty(d(), e(lw), "Layer")), "0");
    EXPECT_EQ(std::get<std::vector<double>>(*readProperty(d(), e(lw), "Normal")),
              (std::vector<double>{0, 0, -1}));
    EXPECT_EQ(std::get<bool>(*readProperty(d(), e(poly3d), "Closed")), true);
    EXPECT_EQ(std::get<double>(*readProperty(d(), e(lw), "Elevation")), 5.0);
}

} // namespace
} // namespace vexilo::cadhost
