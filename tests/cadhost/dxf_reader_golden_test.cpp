// Reads the drawings that ezdxf wrote (tests/data/cadhost) and compares every checked member
// with the values ezdxf computes for the same file. Tolerance: 1e-9 relative to the magnitude
// (at least 1e-9 absolute), far below any drawing unit and above double rounding differences
// between ezdxf's and our order of operations.
#include "../support/json_value.h"
#include "cadhost/dxf/dxf_reader.h"
#include "cadhost/dxf/text_decoder.h"
#include "cadhost/host_geometry.h"
#include "cadhost/model/entity_members.h"
#include "cadhost/model/primitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace vexilo::cadhost {
namespace {

using test::Json;

constexpr double kTolerance = 1e-9;

std::string dataPath(const std::string& name) {
    return std::string(VEXILO_TEST_DATA) + "/cadhost/" + name;
}

void expectNear(double expected, double actual, const std::string& what) {
    EXPECT_NEAR(expected, actual, kTolerance * std::max(1.0, std::fabs(expected))) << what;
}

void expectVec(const Json& expected, Vec3 actual, const std::string& what) {
    ASSERT_EQ(expected.size(), 3u) << what;
    expectNear(expected[0].number, actual.x, what + " x");
    expectNear(expected[1].number, actual.y, what + " y");
    expectNear(expected[2].number, actual.z, what + " z");
}

void expectNumbers(const Json& expected, const std::vector<double>& actual,
                   const std::string& what) {
    ASSERT_EQ(expected.size(), actual.size()) << what;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        expectNear(expected[i].number, actual[i], what + " [" + std::to_string(i) + "]");
    }
}

/// ezdxf leaves AutoCAD's \U+nnnn escapes in texts; the host shows the characters.
std::string withEscapesDecoded(const std::string& s) {
    dxf::TextDecoder decoder;
    decoder.setUtf8(true);
    std::string out;
    decoder.decode(s, out);
    return out;
}

Vec3 vecOf(const Json& j) {
    return {j[0].number, j[1].number, j[2].number};
}

class GoldenDrawing : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        const std::string name = GetParam();
        m_expected = test::readJsonFile(dataPath(name + ".json"));
        ASSERT_EQ(m_expected.kind, Json::Kind::Object) << "missing " << name << ".json";
        auto result = dxf::readDxfFile(dataPath(name + ".dxf"));
        ASSERT_TRUE(result.has_value()) << result.error().message;
        m_loaded = std::make_unique<dxf::LoadedDrawing>(std::move(*result));
    }

    const Drawing& drawing() const { return m_loaded->drawing; }

    const Entity* byHandle(const Json& e) const {
        return drawing().findByHandle(std::stoull(e["handle"].string, nullptr, 16));
    }

    Json m_expected;
    std::unique_ptr<dxf::LoadedDrawing> m_loaded;
};

TEST_P(GoldenDrawing, HeaderGivesVersionBinaryFlagAndUcs) {
    EXPECT_EQ(drawing().header().acadVersion, m_expected["acadver"].string);
    EXPECT_EQ(m_loaded->report.binary, m_expected["binary"].boolean);
    const Ucs& ucs = drawing().ucs();
    expectVec(m_expected["ucs"]["origin"], ucs.origin, "UCS origin");
    expectVec(m_expected["ucs"]["x"], ucs.xAxis, "UCS X");
    expectVec(m_expected["ucs"]["y"], ucs.yAxis, "UCS Y");
}

TEST_P(GoldenDrawing, LayersKeepColourOnAndFrozen) {
    for (const auto& [name, layer] : m_expected["layers"].object) {
        const auto index = drawing().findLayer(name);
        ASSERT_TRUE(index.has_value()) << name;
        const Layer& ours = drawing().layer(*index);
        EXPECT_EQ(ours.color, static_cast<int>(layer["color"].number)) << name;
        EXPECT_EQ(ours.on, layer["on"].boolean) << name;
        EXPECT_EQ(ours.frozen, layer["frozen"].boolean) << name;
    }
}

TEST_P(GoldenDrawing, EveryEntityIsReadWithItsHandleAndClassName) {
    const Json& entities = m_expected["entities"];
    EXPECT_EQ(drawing().entities().size(), entities.size());
    EXPECT_EQ(m_loaded->report.skippedCount(), 0u) << m_loaded->report.summary();
    for (const Json& e : entities.array) {
        const Entity* ours = byHandle(e);
        ASSERT_NE(ours, nullptr) << e["handle"].string;
        EXPECT_EQ(objectName(*ours), e["object_name"].string) << e["handle"].string;
        EXPECT_EQ(drawing().layer(ours->layer).name, e["layer"].string);
    }
}

TEST_P(GoldenDrawing, PolylineMembersMatchEzdxf) {
    for (const Json& e : m_expected["entities"].array) {
        if (!e.has("coordinates")) {
            continue;
        }
        const Entity& ours = *byHandle(e);
        const std::string what = e["handle"].string + " " + e["object_name"].string;
        const auto coords = coordinates(drawing(), ours);
        ASSERT_TRUE(coords.has_value()) << what;
        expectNumbers(e["coordinates"], *coords, what + " Coordinates");
        const std::size_t per = ours.type == EntityType::LwPolyline ? 2 : 3;
        const std::size_t count = coords->size() / per;
        for (std::size_t i = 0; i < count; ++i) {
            const auto one = coordinate(drawing(), ours, static_cast<int>(i));
            ASSERT_TRUE(one.has_value());
            EXPECT_EQ(*one, std::vector<double>(coords->begin() + i * per,
                                                coords->begin() + (i + 1) * per));
        }
        EXPECT_EQ(closed(ours).value_or(false), e["closed"].boolean) << what;
        if (e.has("elevation")) {
            expectNear(e["elevation"].number, elevation(ours).value_or(-1e300), what);
            expectVec(e["normal"], normal(ours).value_or(Vec3{}), what + " Normal");
        } else {
            EXPECT_EQ(elevation(ours).error(), automation::kUnknownMemberCode) << what;
            EXPECT_EQ(normal(ours).error(), automation::kUnknownMemberCode) << what;
        }
        if (e.has("widths")) {
            const std::size_t segments = e["closed"].boolean ? count : count - 1;
            for (std::size_t i = 0; i < segments; ++i) {
                const auto w = getWidth(drawing(), ours, static_cast<int>(i));
                ASSERT_TRUE(w.has_value()) << what << " segment " << i;
                expectNear(e["widths"][i][0].number, w->start, what + " start width");
                expectNear(e["widths"][i][1].number, w->end, what + " end width");
            }
            EXPECT_EQ(getWidth(drawing(), ours, static_cast<int>(segments)).error(),
                      automation::kBadIndexCode);
        }
        if (e.has("wcs_vertices")) {
            // The vertex in OCS with the polyline's elevation, converted as the capture
            // commands do with TranslateCoordinates(…, 4, 0, …, Normal).
            const Vec3 n = *normal(ours);
            for (std::size_t i = 0; i < count; ++i) {
                const Vec3 ocs{(*coords)[i * per], (*coords)[i * per + 1], *elevation(ours)};
                const auto wcs = translateCoordinates(ocs, 4, 0, false, drawing().ucs(), n);
                ASSERT_TRUE(wcs.has_value());
                expectVec(e["wcs_vertices"][i], *wcs, what + " WCS vertex");
                if (e.has("ucs_vertices")) {
                    const auto user = translateCoordinates(*wcs, 0, 1, false, drawing().ucs());
                    expectVec(e["ucs_vertices"][i], *user, what + " UCS vertex");
                }
            }
        }
        for (const Json& b : e["bulge_arcs"].array) {
            const std::size_t i = static_cast<std::size_t>(b["segment"].number);
            const Vec2 p0{(*coords)[i * per], (*coords)[i * per + 1]};
            const std::size_t j = (i + 1) % count;
            const Vec2 p1{(*coords)[j * per], (*coords)[j * per + 1]};
            const double bulge = drawing().vertices(*ours.polyline())[i].bulge;
            const BulgeArc arc = bulgeArc(p0, p1, bulge);
            expectNear(b["center"][0].number, arc.center.x, what + " bulge centre x");
            expectNear(b["center"][1].number, arc.center.y, what + " bulge centre y");
            expectNear(b["radius"].number, arc.radius, what + " bulge radius");
            const Vec2 end = arc.pointAt(1.0);
            expectNear(p1.x, end.x, what + " bulge arc reaches next vertex x");
            expectNear(p1.y, end.y, what + " bulge arc reaches next vertex y");
        }
    }
}

/// True when {a, b} and {c, d} are the same two points in either order.
bool sameEnds(Vec3 a, Vec3 b, Vec3 c, Vec3 d) {
    const auto close = [](Vec3 p, Vec3 q) { return length(p - q) <= 1e-9 * (1.0 + length(p)); };
    return (close(a, c) && close(b, d)) || (close(a, d) && close(b, c));
}

TEST_P(GoldenDrawing, PolylineSegmentsAndBulgeArcsLieWhereEzdxfExplodesThem) {
    int checked = 0;
    for (const Json& e : m_expected["entities"].array) {
        if (!e.has("exploded")) {
            continue;
        }
        const Entity& ours = *byHandle(e);
        std::vector<Primitive> parts;
        forEachPrimitive(drawing(), ours, [&](const Primitive& p) {
            parts.push_back(p);
            return true;
        });
        ASSERT_EQ(parts.size(), e["exploded"].size()) << e["handle"].string;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const Json& x = e["exploded"][i];
            const std::string what = e["handle"].string + " part " + std::to_string(i);
            if (x["type"].string == "LINE") {
                const auto* s = std::get_if<SegmentPrimitive>(&parts[i].shape);
                ASSERT_NE(s, nullptr) << what;
                EXPECT_TRUE(sameEnds(s->start, s->end, vecOf(x["start"]), vecOf(x["end"]))) << what;
            } else {
                const auto* a = std::get_if<ArcPrimitive>(&parts[i].shape);
                ASSERT_NE(a, nullptr) << what;
                expectVec(x["center_wcs"], a->center, what + " centre");
                expectNear(x["radius"].number, a->radius, what + " radius");
                EXPECT_TRUE(
                    sameEnds(a->pointAt(0.0), a->pointAt(1.0), vecOf(x["start"]), vecOf(x["end"])))
                    << what;
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 4);
}

TEST_P(GoldenDrawing, ArcAndCircleMembersMatchEzdxfUnderBothExtrusions) {
    int arcs = 0;
    for (const Json& e : m_expected["entities"].array) {
        if (e["dxftype"].string != "ARC" && e["dxftype"].string != "CIRCLE") {
            continue;
        }
        const Entity& ours = *byHandle(e);
        const std::string what = e["handle"].string;
        expectVec(e["center_wcs"], center(ours).value_or(Vec3{}), what + " Center");
        expectNear(e["radius"].number, radius(ours).value_or(0.0), what + " Radius");
        expectVec(e["normal"], normal(ours).value_or(Vec3{}), what + " Normal");
        if (e["dxftype"].string == "ARC") {
            ++arcs;
            expectVec(e["start_point"], startPoint(ours).value_or(Vec3{}), what + " StartPoint");
            expectVec(e["end_point"], endPoint(ours).value_or(Vec3{}), what + " EndPoint");
            expectNear(e["start_angle"].number, startAngle(ours).value_or(-1), what);
            expectNear(e["end_angle"].number, endAngle(ours).value_or(-1), what);
            expectNear(e["arc_length"].number, arcLength(ours).value_or(-1), what);
            // The drawn arc (WCS primitive) must start and end where the members say.
            std::vector<Vec3> ends;
            forEachPrimitive(drawing(), ours, [&](const Primitive& p) {
                if (const auto* a = std::get_if<ArcPrimitive>(&p.shape)) {
                    ends = {a->pointAt(0.0), a->pointAt(1.0)};
                } else if (const auto* s = std::get_if<SegmentPrimitive>(&p.shape)) {
                    if (s->startIsEnd) {
                        ends.push_back(s->start);
                    }
                    if (s->endIsEnd) {
                        ends.push_back(s->end);
                    }
                }
                return true;
            });
            ASSERT_EQ(ends.size(), 2u) << what;
            const Vec3 sp = vecOf(e["start_point"]);
            const Vec3 ep = vecOf(e["end_point"]);
            const bool forward = length(ends[0] - sp) < 1e-9 && length(ends[1] - ep) < 1e-9;
            const bool mirrored = length(ends[0] - ep) < 1e-9 && length(ends[1] - sp) < 1e-9;
            EXPECT_TRUE(forward || mirrored) << what;
        } else {
            EXPECT_EQ(startAngle(ours).error(), automation::kUnknownMemberCode);
        }
    }
    EXPECT_EQ(arcs, 3);
}

TEST_P(GoldenDrawing, LinePointAndTextsMatchEzdxf) {
    for (const Json& e : m_expected["entities"].array) {
        const Entity& ours = *byHandle(e);
        const std::string type = e["dxftype"].string;
        if (type == "LINE") {
            expectVec(e["start_point"], startPoint(ours).value_or(Vec3{}), "LINE start");
            expectVec(e["end_point"], endPoint(ours).value_or(Vec3{}), "LINE end");
        } else if (type == "POINT") {
            expectVec(e["location"], ours.point()->position, "POINT");
        } else if (type == "TEXT") {
            EXPECT_EQ(drawing().text(*ours.text()), e["decoded_text"].string);
            expectNear(e["height"].number, ours.text()->height, "TEXT height");
            expectNear(e["rotation"].number, ours.text()->rotation, "TEXT rotation");
            expectVec(e["insert_wcs"], ocsToWcs(ours.text()->position, ours.text()->normal),
                      "TEXT insert");
        } else if (type == "MTEXT") {
            EXPECT_EQ(drawing().text(*ours.text()), withEscapesDecoded(e["plain_text"].string));
            expectNear(e["height"].number, ours.text()->height, "MTEXT height");
            expectNear(e["rotation"].number, ours.text()->rotation, "MTEXT rotation");
            expectVec(e["insert_wcs"], ours.text()->position, "MTEXT insert");
        }
    }
}

TEST_P(GoldenDrawing, NestedScaledRotatedAndMirroredBlocksExpandLikeEzdxf) {
    int inserts = 0;
    for (const Json& e : m_expected["entities"].array) {
        if (e["dxftype"].string != "INSERT") {
            continue;
        }
        ++inserts;
        const Entity& ours = *byHandle(e);
        std::vector<SegmentPrimitive> lines;
        std::vector<ArcPrimitive> circles;
        forEachPrimitive(drawing(), ours, [&](const Primitive& p) {
            if (const auto* s = std::get_if<SegmentPrimitive>(&p.shape)) {
                if (s->hasMidpoint) {
                    lines.push_back(*s);
                }
            } else if (const auto* a = std::get_if<ArcPrimitive>(&p.shape)) {
                circles.push_back(*a);
            }
            return true;
        });
        std::size_t line = 0;
        std::size_t circle = 0;
        for (const Json& x : e["expanded"].array) {
            if (x["type"].string == "LINE") {
                ASSERT_LT(line, lines.size());
                expectVec(x["start"], lines[line].start, "expanded line start");
                expectVec(x["end"], lines[line].end, "expanded line end");
                ++line;
            } else if (x["type"].string == "CIRCLE") {
                ASSERT_LT(circle, circles.size());
                expectVec(x["center_wcs"], circles[circle].center, "expanded circle centre");
                expectNear(x["radius"].number, circles[circle].radius, "expanded radius");
                ++circle;
            }
        }
        EXPECT_EQ(line, lines.size());
        EXPECT_EQ(circle, circles.size());
    }
    EXPECT_EQ(inserts, 2);
}

INSTANTIATE_TEST_SUITE_P(Versions, GoldenDrawing,
                         ::testing::Values("drawing_r12", "drawing_r12_binary", "drawing_r2000_gbk",
                                           "drawing_r2004_big5", "drawing_r2010", "drawing_r2018",
                                           "drawing_r2018_binary"));

} // namespace
} // namespace vexilo::cadhost
