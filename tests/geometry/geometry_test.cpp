// The arbitrary axis algorithm, UCS/OCS conversions, TranslateCoordinates and bulge arcs,
// compared with the values ezdxf computes (tests/data/cadhost/geometry.json) and with cases
// worked by hand. Tolerance 1e-9 relative to the magnitude.
#include "../support/json_value.h"
#include "geometry/bulge.h"
#include "geometry/coordinate_systems.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>

namespace vexilo::geometry {
namespace {

using test::Json;

void expectVecNear(Vec3 expected, Vec3 actual, const std::string& what) {
    const double tol = 1e-9 * std::max(1.0, length(expected));
    EXPECT_NEAR(expected.x, actual.x, tol) << what;
    EXPECT_NEAR(expected.y, actual.y, tol) << what;
    EXPECT_NEAR(expected.z, actual.z, tol) << what;
}

Vec3 vecOf(const Json& j) {
    return {j[0].number, j[1].number, j[2].number};
}

class GeometryAgainstEzdxf : public ::testing::Test {
protected:
    void SetUp() override {
        m_data = test::readJsonFile(std::string(VEXILO_TEST_DATA) + "/cadhost/geometry.json");
        ASSERT_EQ(m_data.kind, Json::Kind::Object);
        const auto ucs = Ucs::fromAxes(vecOf(m_data["ucs"]["origin"]), vecOf(m_data["ucs"]["x"]),
                                       vecOf(m_data["ucs"]["y"]));
        ASSERT_TRUE(ucs.has_value());
        m_ucs = *ucs;
    }
    Json m_data;
    Ucs m_ucs;
};

TEST_F(GeometryAgainstEzdxf, ArbitraryAxisGivesEzdxfAxesForEveryNormal) {
    for (const Json& a : m_data["axes"].array) {
        const OcsAxes axes = arbitraryAxis(vecOf(a["normal"]));
        expectVecNear(vecOf(a["ux"]), axes.x, "X axis");
        expectVecNear(vecOf(a["uy"]), axes.y, "Y axis");
        expectVecNear(vecOf(a["uz"]), axes.z, "Z axis");
    }
}

TEST_F(GeometryAgainstEzdxf, TranslateCoordinatesMatchesEzdxfBetweenWorldUserAndObject) {
    for (const Json& c : m_data["cases"].array) {
        const Vec3 p = vecOf(c["point"]);
        expectVecNear(vecOf(c["ucs_from_wcs"]), *translateCoordinates(p, 0, 1, false, m_ucs),
                      "0 to 1");
        expectVecNear(vecOf(c["ucs_to_wcs"]), *translateCoordinates(p, 1, 0, false, m_ucs),
                      "1 to 0");
        expectVecNear(vecOf(c["ucs_direction_from_wcs"]),
                      *translateCoordinates(p, 0, 1, true, m_ucs), "0 to 1 displacement");
        for (const Json& o : c["ocs"].array) {
            const Vec3 n = vecOf(o["normal"]);
            expectVecNear(vecOf(o["from_wcs"]), *translateCoordinates(p, 0, 4, false, m_ucs, n),
                          "0 to 4");
            expectVecNear(vecOf(o["to_wcs"]), *translateCoordinates(p, 4, 0, false, m_ucs, n),
                          "4 to 0");
            // An OCS has no origin: a displacement converts the same way.
            expectVecNear(vecOf(o["to_wcs"]), *translateCoordinates(p, 4, 0, true, m_ucs, n),
                          "4 to 0 displacement");
            const Vec3 viaUser = *translateCoordinates(p, 4, 1, false, m_ucs, n);
            expectVecNear(wcsToUcs(vecOf(o["to_wcs"]), m_ucs), viaUser, "4 to 1");
            expectVecNear(p, *translateCoordinates(viaUser, 1, 4, false, m_ucs, n), "1 to 4");
        }
    }
}

TEST_F(GeometryAgainstEzdxf, BulgeArcsMatchEzdxfCentreRadiusAndEnds) {
    for (const Json& b : m_data["bulges"].array) {
        const Vec2 p0{b["p0"][0].number, b["p0"][1].number};
        const Vec2 p1{b["p1"][0].number, b["p1"][1].number};
        const BulgeArc arc = bulgeArc(p0, p1, b["bulge"].number);
        EXPECT_NEAR(arc.center.x, b["center"][0].number, 1e-9);
        EXPECT_NEAR(arc.center.y, b["center"][1].number, 1e-9);
        EXPECT_NEAR(arc.radius, b["radius"].number, 1e-9);
        EXPECT_NEAR(arc.pointAt(0.0).x, p0.x, 1e-9);
        EXPECT_NEAR(arc.pointAt(0.0).y, p0.y, 1e-9);
        EXPECT_NEAR(arc.pointAt(1.0).x, p1.x, 1e-9);
        EXPECT_NEAR(arc.pointAt(1.0).y, p1.y, 1e-9);
    }
}

TEST(ArbitraryAxis, WorldZIsExactAndMinusZMirrorsX) {
    const OcsAxes up = arbitraryAxis({0.0, 0.0, 1.0});
    EXPECT_EQ(up.x, (Vec3{1.0, 0.0, 0.0}));
    EXPECT_EQ(up.y, (Vec3{0.0, 1.0, 0.0}));
    const OcsAxes down = arbitraryAxis({0.0, 0.0, -1.0});
    EXPECT_EQ(down.x, (Vec3{-1.0, 0.0, 0.0}));
    EXPECT_EQ(down.y, (Vec3{0.0, 1.0, 0.0}));
    // A survey coordinate under the WCS normal comes back bit for bit.
    const Vec3 p{500123.4567891234, 3012345.678901234, 12.5};
    EXPECT_EQ(ocsToWcs(p, {0.0, 0.0, 1.0}), p);
    EXPECT_EQ(ocsToWcs(p, {0.0, 0.0, -1.0}), (Vec3{-p.x, p.y, -p.z}));
}

TEST(ArbitraryAxis, ThresholdOneSixtyFourthSwitchesTheReferenceAxis) {
    // With |Nx| just below 1/64 (of the unit normal) X comes from world Y × N, just above it
    // from world Z × N.
    const auto unit = [](double x) { return Vec3{x, 0.0, std::sqrt(1.0 - x * x)}; };
    const OcsAxes below = arbitraryAxis(unit(1.0 / 64.0 - 1e-9));
    EXPECT_GT(below.x.x, 0.99);
    const OcsAxes above = arbitraryAxis(unit(1.0 / 64.0 + 1e-9));
    EXPECT_NEAR(above.x.x, 0.0, 1e-12);
    EXPECT_NEAR(above.x.y, 1.0, 1e-12);
}

struct TranslateFailure {
    const char* name;
    Vec3 point;
    int from;
    int to;
    std::optional<Vec3> normal;
};

class TranslateCoordinatesFailure : public ::testing::TestWithParam<TranslateFailure> {};

TEST_P(TranslateCoordinatesFailure, FailsWithInvalidArgument) {
    const TranslateFailure& c = GetParam();
    const auto r = translateCoordinates(c.point, c.from, c.to, false, Ucs{}, c.normal);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), automation::kInvalidArgumentCode);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TranslateCoordinatesFailure,
    ::testing::Values(TranslateFailure{"ObjectToWorldWithoutNormal", {1, 2, 3}, 4, 0, std::nullopt},
                      TranslateFailure{"WorldToObjectWithoutNormal", {1, 2, 3}, 0, 4, std::nullopt},
                      TranslateFailure{"UserToObjectWithoutNormal", {1, 2, 3}, 1, 4, std::nullopt},
                      TranslateFailure{
                          "ObjectToObjectEvenWithNormal", {1, 2, 3}, 4, 4, Vec3{0, 0, 1}},
                      TranslateFailure{"ZeroNormal", {1, 2, 3}, 4, 0, Vec3{0, 0, 0}},
                      TranslateFailure{"NaNNormal", {1, 2, 3}, 0, 4, Vec3{std::nan(""), 0, 1}},
                      TranslateFailure{"DisplaySystem", {1, 2, 3}, 2, 0, std::nullopt},
                      TranslateFailure{"PaperSpaceDisplay", {1, 2, 3}, 0, 3, std::nullopt},
                      TranslateFailure{"NegativeCode", {1, 2, 3}, -1, 0, std::nullopt},
                      TranslateFailure{"CodeFive", {1, 2, 3}, 0, 5, std::nullopt},
                      TranslateFailure{"InfinitePoint", {HUGE_VAL, 0, 0}, 0, 1, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TranslateCoordinates, SameSystemAndWorldUcsLeaveThePointExactly) {
    const Vec3 p{500123.4567891234, 3012345.678901234, 7.0};
    EXPECT_EQ(*translateCoordinates(p, 0, 0, false, Ucs{}), p);
    EXPECT_EQ(*translateCoordinates(p, 1, 1, false, Ucs{}), p);
    EXPECT_EQ(*translateCoordinates(p, 0, 1, false, Ucs{}), p);
    EXPECT_EQ(*translateCoordinates(p, 4, 0, false, Ucs{}, Vec3{0, 0, 1}), p);
}

TEST(TranslateCoordinates, DisplacementIgnoresTheUcsOrigin) {
    const Ucs ucs = *Ucs::fromAxes({1000.0, 2000.0, 0.0}, {0.0, 1.0, 0.0}, {-1.0, 0.0, 0.0});
    // The UCS is turned 90°: world east is user −Y.
    expectVecNear({0.0, -5.0, 0.0}, *translateCoordinates({5.0, 0.0, 0.0}, 0, 1, true, ucs),
                  "vector");
    expectVecNear({-2000.0, 995.0, 0.0}, *translateCoordinates({5.0, 0.0, 0.0}, 0, 1, false, ucs),
                  "point");
}

TEST(Ucs, FromAxesRejectsDegenerateAndOrthogonalisesY) {
    EXPECT_FALSE(Ucs::fromAxes({}, {0, 0, 0}, {0, 1, 0}).has_value());
    EXPECT_FALSE(Ucs::fromAxes({}, {1, 0, 0}, {2, 0, 0}).has_value());
    EXPECT_FALSE(Ucs::fromAxes({}, {1, 0, 0}, {std::nan(""), 1, 0}).has_value());
    const Ucs u = *Ucs::fromAxes({}, {2, 0, 0}, {1, 1, 0});
    expectVecNear({0, 1, 0}, u.yAxis, "Y made perpendicular");
    expectVecNear({0, 0, 1}, u.zAxis(), "Z");
}

TEST(Bulge, QuarterAndHalfCirclesAndStraightSegments) {
    // Bulge 1 is a half circle, counter-clockwise from p0 to p1.
    const BulgeArc half = bulgeArc({1, 0}, {-1, 0}, 1.0);
    EXPECT_NEAR(half.radius, 1.0, 1e-15);
    EXPECT_NEAR(half.includedAngle, std::numbers::pi, 1e-15);
    const Vec2 top = segmentMidpoint({1, 0}, {-1, 0}, 1.0);
    EXPECT_NEAR(top.x, 0.0, 1e-15);
    EXPECT_NEAR(top.y, 1.0, 1e-15);
    // Negative bulge turns clockwise: the same chord bulges the other way.
    const Vec2 bottom = segmentMidpoint({1, 0}, {-1, 0}, -1.0);
    EXPECT_NEAR(bottom.y, -1.0, 1e-15);
    EXPECT_NEAR(segmentLength({1, 0}, {-1, 0}, 1.0), std::numbers::pi, 1e-14);
    EXPECT_DOUBLE_EQ(segmentLength({0, 0}, {3, 4}, 0.0), 5.0);
    EXPECT_DOUBLE_EQ(segmentLength({0, 0}, {3, 4}, kStraightBulge / 2), 5.0);
}

} // namespace
} // namespace vexilo::geometry
