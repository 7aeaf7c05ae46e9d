// The entity kinds beyond lines, polylines, arcs, texts and block references, read from the
// drawings ezdxf wrote (tests/data/cadhost/kinds): what is kept, AutoCAD's object names, the
// extents against those ezdxf computes, and what each kind draws and snaps to.
#include "../support/json_value.h"
#include "cadhost/dxf/dxf_reader.h"
#include "cadhost/index/spatial_index.h"
#include "cadhost/model/entity_members.h"
#include "cadhost/model/primitives.h"
#include "cadhost/model/text_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace vexilo::cadhost {
namespace {

using test::Json;

std::string kindPath(const std::string& name) {
    return std::string(VEXILO_TEST_DATA) + "/cadhost/kinds/" + name;
}

dxf::LoadedDrawing load(const std::string& name) {
    auto r = dxf::readDxfFile(kindPath(name + ".dxf"));
    EXPECT_TRUE(r.has_value()) << (r ? "" : r.error().message);
    return r ? std::move(*r) : dxf::LoadedDrawing{};
}

std::vector<Primitive> primitivesOf(const Drawing& d, const Entity& e) {
    std::vector<Primitive> out;
    forEachPrimitive(d, e, [&](const Primitive& p) {
        out.push_back(p);
        return true;
    });
    return out;
}

struct KindCase {
    const char* fixture;
    std::vector<std::string> objectNames;
    /// Extents compared with ezdxf's (not for infinite lines).
    bool compareExtents = true;
};

/// The object names of text.dxf: fifteen TEXT, eleven MTEXT and two lines.
std::vector<std::string> textFixtureNames() {
    std::vector<std::string> names(15, "AcDbText");
    names.insert(names.end(), 11, "AcDbMText");
    names.insert(names.end(), 2, "AcDbLine");
    return names;
}

class EntityKind : public ::testing::TestWithParam<KindCase> {};

TEST_P(EntityKind, IsKeptWithAutocadsNameAndEzdxfsExtents) {
    const KindCase& c = GetParam();
    const dxf::LoadedDrawing loaded = load(c.fixture);
    const Drawing& d = loaded.drawing;
    EXPECT_EQ(loaded.report.skippedCount(), 0u) << loaded.report.summary();
    std::vector<std::string> names;
    for (const Entity& e : d.entities()) {
        names.emplace_back(objectName(e));
    }
    EXPECT_EQ(names, c.objectNames);
    if (!c.compareExtents) {
        return;
    }
    const Json expected = test::readJsonFile(kindPath("kinds.json"))[c.fixture]["extents"];
    const Box2 box = BoundsCalculator(d).extents();
    const double size = std::max(expected[1][0].number - expected[0][0].number,
                                 expected[1][1].number - expected[0][1].number);
    // Curves are flattened differently here and in ezdxf: 0.5 % of the drawing's size.
    const double tolerance = 0.005 * size;
    EXPECT_NEAR(box.min.x, expected[0][0].number, tolerance);
    EXPECT_NEAR(box.min.y, expected[0][1].number, tolerance);
    EXPECT_NEAR(box.max.x, expected[1][0].number, tolerance);
    EXPECT_NEAR(box.max.y, expected[1][1].number, tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, EntityKind,
    ::testing::Values(KindCase{"spline_control", {"AcDbSpline", "AcDbSpline", "AcDbSpline"}},
                      KindCase{"spline_fit",
                               {"AcDbSpline", "AcDbSpline", "AcDbSpline", "AcDbSpline"}},
                      KindCase{"ellipse", {"AcDbEllipse", "AcDbEllipse"}},
                      KindCase{"solid_trace", {"AcDbSolid", "AcDbSolid", "AcDbTrace"}},
                      KindCase{"face3d", {"AcDbFace", "AcDbFace"}},
                      KindCase{"hatch_solid", {"AcDbHatch", "AcDbHatch", "AcDbHatch"}},
                      KindCase{"hatch_pattern", {"AcDbHatch", "AcDbHatch", "AcDbHatch"}},
                      // ezdxf writes its aligned dimension as a rotated one at the slant's angle.
                      KindCase{"dimension",
                               {"AcDbPolyline", "AcDbRotatedDimension", "AcDbRotatedDimension",
                                "AcDbRadialDimension", "AcDbCircle"}},
                      // Its extents are those of texts, which are measured with other fonts here.
                      KindCase{"attrib",
                               {"AcDbBlockReference", "AcDbBlockReference", "AcDbBlockReference"},
                               false},
                      KindCase{"leader", {"AcDbLeader", "AcDbLine"}},
                      KindCase{"xline_ray", {"AcDbPolyline", "AcDbXline", "AcDbRay"}, false},
                      KindCase{"linetypes", {"AcDbLine", "AcDbLine", "AcDbBlockReference"}},
                      KindCase{"mline", {"AcDbMline", "AcDbMline", "AcDbMline"}},
                      // Texts are measured with other fonts here (their layout is compared in
                      // TextsAreLaidOutAsEzdxfDoes).
                      KindCase{"text", textFixtureNames(), false}),
    [](const auto& info) { return std::string(info.param.fixture); });

TEST(EntityKinds, ThreeDFaceHidesItsInvisibleEdge) {
    const dxf::LoadedDrawing loaded = load("face3d");
    const auto entities = loaded.drawing.entities();
    ASSERT_EQ(entities.size(), 2u);
    EXPECT_EQ(primitivesOf(loaded.drawing, entities[0]).size(), 4u);
    const auto hidden = primitivesOf(loaded.drawing, entities[1]);
    ASSERT_EQ(hidden.size(), 3u);
    // The edge from (70,20) to (40,20) is the one left out.
    for (const Primitive& p : hidden) {
        const auto& s = std::get<SegmentPrimitive>(p.shape);
        EXPECT_FALSE(s.start.y == 20.0 && s.end.y == 20.0);
    }
}

TEST(EntityKinds, PatternLinesStayInsideTheBoundaryAndOutOfTheIsland) {
    const dxf::LoadedDrawing loaded = load("hatch_pattern");
    const auto lines = primitivesOf(loaded.drawing, loaded.drawing.entities()[0]);
    ASSERT_GT(lines.size(), 20u);
    for (const Primitive& p : lines) {
        const auto& s = std::get<SegmentPrimitive>(p.shape);
        const Vec3 mid = (s.start + s.end) * 0.5;
        const bool inOuter =
            mid.x > -1e-9 && mid.x < 40 + 1e-9 && mid.y > -1e-9 && mid.y < 30 + 1e-9;
        const bool inIsland =
            mid.x > 10 + 1e-9 && mid.x < 30 - 1e-9 && mid.y > 10 + 1e-9 && mid.y < 20 - 1e-9;
        EXPECT_TRUE(inOuter && !inIsland) << mid.x << "," << mid.y;
    }
}

TEST(EntityKinds, SolidHatchFillsItsLoopsWithTheIslandAsAHole) {
    const dxf::LoadedDrawing loaded = load("hatch_solid");
    const Drawing& d = loaded.drawing;
    const SpatialIndex index(d);
    // Inside the building, in its courtyard, and inside the round tank.
    const auto building = index.pick({5.0, 5.0}, 0.1);
    ASSERT_TRUE(building.has_value());
    EXPECT_EQ(building->entity, 0u);
    EXPECT_FALSE(index.pick({20.0, 15.0}, 0.1).has_value());
    const auto tank = index.pick({75.0, 10.0}, 0.1);
    ASSERT_TRUE(tank.has_value());
    EXPECT_EQ(tank->entity, 1u);
}

TEST(EntityKinds, AttributeTextsFollowTheirReference) {
    const dxf::LoadedDrawing loaded = load("attrib");
    const Drawing& d = loaded.drawing;
    const std::vector<std::string> values{"12.35", "13.10", "11.87"};
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::vector<std::string> texts;
        for (const Primitive& p : primitivesOf(d, d.entities()[i])) {
            if (const auto* t = std::get_if<TextPrimitive>(&p.shape)) {
                texts.emplace_back(t->text);
                // The attribute sits beside its reference's insertion point.
                EXPECT_LT(distance(xy(t->position), xy(d.entities()[i].insert()->position)), 2.0);
            }
        }
        EXPECT_EQ(texts, std::vector<std::string>{values[i]});
    }
}

TEST(EntityKinds, CurveEndsSnapAndInnerPiecesDoNot) {
    const dxf::LoadedDrawing loaded = load("spline_control");
    const SpatialIndex index(loaded.drawing);
    const auto end = index.snap({59.7, 0.2}, 1.0, SnapModes::autocadDefault());
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(end->kind, SnapKind::Endpoint);
    EXPECT_NEAR(end->point.x, 60.0, 1e-9);
    EXPECT_NEAR(end->point.y, 0.0, 1e-9);
    // Along the open spline, away from its ends, there is no endpoint to snap to.
    EXPECT_FALSE(index.snap({30.0, 5.0}, 0.5, SnapModes{true, false, false, false, false}));
}

TEST(EntityKinds, EllipseCentreQuadrantsAndArcMiddleSnap) {
    const dxf::LoadedDrawing loaded = load("ellipse");
    const SpatialIndex index(loaded.drawing);
    struct Case {
        const char* what;
        Vec2 cursor;
        double aperture;
        SnapModes modes;
        SnapKind kind;
        Vec2 expected;
    };
    // The arc of the second ellipse runs from parameter 0.3 to 4.0 about (50,0) with major
    // axis (0,15) and minor 0.6 as long: its middle by length is found on the curve.
    const Case cases[] = {
        {"centre of the whole ellipse from its edge",
         {20.0, 10.0},
         1.0,
         SnapModes{false, false, true, false, false},
         SnapKind::Center,
         {0.0, 0.0}},
        {"centre in the aperture",
         {50.2, 0.3},
         1.0,
         SnapModes{false, false, true, false, false},
         SnapKind::Center,
         {50.0, 0.0}},
        {"quadrant at the end of the arc's minor axis",
         {41.3, 0.2},
         1.0,
         SnapModes::only(SnapKind::Quadrant),
         SnapKind::Quadrant,
         {41.0, 0.0}},
    };
    for (const Case& c : cases) {
        const auto hit = index.snap(c.cursor, c.aperture, c.modes);
        ASSERT_TRUE(hit.has_value()) << c.what;
        EXPECT_EQ(hit->kind, c.kind) << c.what;
        EXPECT_NEAR(hit->point.x, c.expected.x, 1e-9) << c.what;
        EXPECT_NEAR(hit->point.y, c.expected.y, 1e-9) << c.what;
    }
    // The other end of the minor axis, (59,0), lies on the part the arc leaves out.
    EXPECT_FALSE(index.snap({59.2, 0.1}, 1.0, SnapModes::only(SnapKind::Quadrant)));
    // The arc's middle: a point on the ellipse, equally far along from both ends.
    std::vector<Vec3> middles;
    PrimitiveOptions options;
    options.snapPoints = true;
    forEachPrimitive(
        loaded.drawing, loaded.drawing.entities()[1],
        [&](const Primitive& p) {
            if (const auto* m = std::get_if<SnapPointPrimitive>(&p.shape);
                m && !m->center && !m->quadrant) {
                middles.push_back(m->position);
            }
            return true;
        },
        options);
    ASSERT_EQ(middles.size(), 1u);
    const auto mid = index.snap(xy(middles[0]), 0.5, SnapModes{false, false, false, false, true});
    ASSERT_TRUE(mid.has_value());
    EXPECT_EQ(mid->kind, SnapKind::Midpoint);
    // On the ellipse: ((x-50)/9)^2 + (y/15)^2 = 1.
    const double u = (mid->point.x - 50.0) / 9.0;
    const double v = mid->point.y / 15.0;
    EXPECT_NEAR(u * u + v * v, 1.0, 1e-3);
}

TEST(EntityKinds, RationalSplineWithWeightsBeforeItsControlPointsIsACircle) {
    // ezdxf writes the weights (41) before the control points; the quarter circle of radius
    // 20 about (0,60) must come out round.
    const dxf::LoadedDrawing loaded = load("spline_control");
    const auto pieces = primitivesOf(loaded.drawing, loaded.drawing.entities()[1]);
    ASSERT_GT(pieces.size(), 8u);
    for (const Primitive& p : pieces) {
        const auto& s = std::get<SegmentPrimitive>(p.shape);
        EXPECT_NEAR(distance(xy(s.start), Vec2{0.0, 60.0}), 20.0, 1e-9);
    }
}

TEST(EntityKinds, LeaderHasAFilledArrowheadAtItsFirstPoint) {
    const dxf::LoadedDrawing loaded = load("leader");
    std::vector<Vec3> arrow;
    forEachPrimitive(loaded.drawing, loaded.drawing.entities()[0], [&](const Primitive& p) {
        // A fill's points are valid only while the sink runs.
        if (const auto* f = std::get_if<FillPrimitive>(&p.shape)) {
            arrow.assign(f->points.begin(), f->points.end());
        }
        return true;
    });
    ASSERT_EQ(arrow.size(), 3u);
    EXPECT_EQ(arrow[0], (Vec3{0.0, 0.0, 0.0}));
    // The ISO-25 style's arrow, 2.5 long, a third as wide, along the first segment.
    EXPECT_NEAR(length(arrow[1] - arrow[2]), 2.5 / 3.0, 1e-9);
    EXPECT_NEAR(length((arrow[1] + arrow[2]) * 0.5), 2.5, 1e-9);
}

TEST(EntityKinds, InfiniteLinesArePickedAlongTheirWholeLength) {
    const dxf::LoadedDrawing loaded = load("xline_ray");
    const Drawing& d = loaded.drawing;
    const auto xline = primitivesOf(d, d.entities()[1]);
    ASSERT_EQ(xline.size(), 1u);
    const auto& ray = std::get<RayPrimitive>(xline[0].shape);
    EXPECT_TRUE(ray.bothWays);
    EXPECT_NEAR(ray.direction.x, std::sqrt(0.5), 1e-12);
    EXPECT_FALSE(std::get<RayPrimitive>(primitivesOf(d, d.entities()[2])[0].shape).bothWays);
    // Far beyond the drawing's box, on the infinite line through (20, 15) and behind the ray
    // from (0, 30).
    const SpatialIndex index(d);
    const auto far = index.pick({1020.0, 1015.0}, 0.5);
    ASSERT_TRUE(far.has_value());
    EXPECT_EQ(far->entity, 1u);
    EXPECT_FALSE(index.pick({-500.0, 130.0}, 0.5).has_value());
    const auto nearest = index.snap({-980.0, -985.5}, 1.0, SnapModes::only(SnapKind::Nearest));
    ASSERT_TRUE(nearest.has_value());
    EXPECT_EQ(nearest->entity, 1u);
}

/// Lengths of the pieces an entity is drawn with when line types apply.
std::vector<double> drawnPieces(const Drawing& d, const Entity& e) {
    std::vector<double> out;
    PrimitiveOptions options;
    options.linetypes = true;
    forEachPrimitive(
        d, e,
        [&](const Primitive& p) {
            const auto& s = std::get<SegmentPrimitive>(p.shape);
            out.push_back(length(s.end - s.start));
            return true;
        },
        options);
    return out;
}

TEST(EntityKinds, LinetypesDashDrawnLinesByEntityLayerAndBlockWithTheirScales) {
    const dxf::LoadedDrawing loaded = load("linetypes");
    const Drawing& d = loaded.drawing;
    ASSERT_EQ(d.entities().size(), 3u);
    struct Case {
        const char* what;
        std::size_t entity;
        std::vector<double> firstPieces;
    };
    // DASHED is 2 on, 1 off; DASHDOT 2 on, 1 off, a dot (1 % of the pattern), 1 off.
    // $LTSCALE 2; the first line has its own scale 0.5.
    const Case cases[] = {
        {"own DASHED at 0.5 x 2", 0, {2.0, 2.0, 2.0}},
        {"layer's DASHDOT at 2", 1, {4.0, 0.08, 4.0}},
        {"BYBLOCK in an insert drawn DASHED at 2", 2, {4.0, 4.0, 4.0}},
    };
    for (const Case& c : cases) {
        const auto pieces = drawnPieces(d, d.entities()[c.entity]);
        ASSERT_GE(pieces.size(), c.firstPieces.size()) << c.what;
        for (std::size_t i = 0; i < c.firstPieces.size(); ++i) {
            EXPECT_NEAR(pieces[i], c.firstPieces[i], 1e-9) << c.what << " piece " << i;
        }
    }
    // Picking and snapping see the whole line.
    EXPECT_EQ(primitivesOf(d, d.entities()[0]).size(), 1u);
}

TEST(EntityKinds, MlineDrawsItsElementsInTheirColoursAndSnapsAtTheirEnds) {
    const dxf::LoadedDrawing loaded = load("mline");
    const Drawing& d = loaded.drawing;
    // Three elements (red, yellow, blue) over three segments, and the two joints and two
    // square caps, each half in the colour of the outer element on its side.
    int red = 0;
    int yellow = 0;
    int blue = 0;
    for (const Primitive& p : primitivesOf(d, d.entities()[0])) {
        ASSERT_TRUE(std::holds_alternative<SegmentPrimitive>(p.shape));
        red += p.color == aciToRgb(1);
        yellow += p.color == aciToRgb(2);
        blue += p.color == aciToRgb(5);
    }
    EXPECT_EQ(red, 7);
    EXPECT_EQ(yellow, 3);
    EXPECT_EQ(blue, 7);
    // At half scale on its axis, the top element starts 1.5 above the first vertex.
    const SpatialIndex index(d);
    const auto end = index.snap({0.1, 1.4}, 0.5, SnapModes::autocadDefault());
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(end->kind, SnapKind::Endpoint);
    EXPECT_EQ(end->entity, 0u);
    EXPECT_NEAR(end->point.x, 0.0, 1e-9);
    EXPECT_NEAR(end->point.y, 1.5, 1e-9);
    const auto picked = index.pick({15.0, -1.5}, 0.1);
    ASSERT_TRUE(picked.has_value());
    EXPECT_EQ(picked->entity, 0u);
    // The filled wall from (10, -30) to (50, -30) and up to (50, -15), elements 2 and 1 either
    // side: its band in grey beneath its lines, a round cap at the start, a round cap and an
    // inner arc at the end, each bulging away from it.
    const auto wall = primitivesOf(d, d.entities()[2]);
    ASSERT_FALSE(wall.empty());
    ASSERT_TRUE(std::holds_alternative<FillPrimitive>(wall.front().shape));
    EXPECT_EQ(wall.front().color, aciToRgb(8));
    double left = 1e9;
    double top = -1e9;
    int arcPieces = 0;
    for (const Primitive& p : wall) {
        if (const auto* s = std::get_if<SegmentPrimitive>(&p.shape)) {
            left = std::min({left, s->start.x, s->end.x});
            top = std::max({top, s->start.y, s->end.y});
            arcPieces += s->hasMidpoint ? 0 : 1;
        }
    }
    EXPECT_NEAR(left, 8.0, 1e-9);
    EXPECT_NEAR(top, -13.0, 1e-9);
    EXPECT_EQ(arcPieces, 3 * 24);
}

TEST(EntityKinds, TrueColourOfEntityAndLayerOverridesTheirAci) {
    const dxf::LoadedDrawing loaded = load("text");
    const Drawing& d = loaded.drawing;
    const auto entities = d.entities();
    ASSERT_GE(entities.size(), 2u);
    const auto own = primitivesOf(d, entities[entities.size() - 2]);
    const auto byLayer = primitivesOf(d, entities[entities.size() - 1]);
    ASSERT_EQ(own.size(), 1u);
    ASSERT_EQ(byLayer.size(), 1u);
    EXPECT_EQ(own[0].color, (Rgb{0xFF, 0x80, 0x00}));
    EXPECT_EQ(byLayer[0].color, (Rgb{0x33, 0x66, 0xCC}));
}

/// ezdxf's monospaced font: every character one text height wide.
double monospaced(std::string_view s) {
    double n = 0;
    for (const char c : s) {
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1.0 : 0.0;
    }
    return n;
}

TEST(EntityKinds, TextsAreLaidOutAsEzdxfDoes) {
    const dxf::LoadedDrawing loaded = load("text");
    const Drawing& d = loaded.drawing;
    const Json expected = test::readJsonFile(kindPath("text_layout.json"));
    ASSERT_EQ(expected.array.size(), 26u);
    for (std::size_t i = 0; i < expected.array.size(); ++i) {
        const Json& item = expected[i];
        SCOPED_TRACE("text " + std::to_string(i));
        const auto parts = primitivesOf(d, d.entities()[i]);
        ASSERT_EQ(parts.size(), 1u);
        TextPrimitive t = std::get<TextPrimitive>(parts[0].shape);
        std::vector<TextLine> lines;
        t.box = layoutText(t, monospaced, &lines).box;
        Box2 ours;
        for (const Vec2 c : t.corners()) {
            ours.add(c);
        }
        Box2 theirs;
        for (const Json& c : item["corners"].array) {
            theirs.add(Vec2{c[0].number, c[1].number});
        }
        // ezdxf spaces MTEXT lines 1.67 heights apart where AutoCAD's pitch is 5/3: 0.005
        // units a line at these heights and spacings.
        const double tolerance = 0.01 + 0.005 * static_cast<double>(lines.size());
        EXPECT_NEAR(ours.min.y, theirs.min.y, tolerance);
        EXPECT_NEAR(ours.max.y, theirs.max.y, tolerance);
        if (item["type"].string == "MTEXT") {
            std::vector<std::string> texts;
            for (const TextLine& line : lines) {
                texts.emplace_back(line.text);
            }
            std::vector<std::string> theirLines;
            for (const Json& line : item["lines"].array) {
                theirLines.push_back(line.string);
            }
            EXPECT_EQ(texts, theirLines);
            if (item["wrapped"].boolean) {
                // ezdxf's box of a wrapped text is as wide as its reference width.
                continue;
            }
        }
        EXPECT_NEAR(ours.min.x, theirs.min.x, tolerance);
        EXPECT_NEAR(ours.max.x, theirs.max.x, tolerance);
    }
}

} // namespace
} // namespace vexilo::cadhost
