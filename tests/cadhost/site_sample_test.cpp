// samples/site.dxf, the demo drawing: it loads whole, its Chinese labels read as Chinese, its
// parcels (one drawn mirrored) share their corners in WCS, and snapping to a corner gives the
// corner exactly.
#include "cadhost/dxf/dxf_reader.h"
#include "cadhost/host_geometry.h"
#include "cadhost/index/spatial_index.h"
#include "cadhost/model/entity_members.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <set>
#include <string>

namespace vexilo::cadhost {
namespace {

class SiteSample : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        auto r = dxf::readDxfFile(std::string(VEXILO_SOURCE_DIR) + "/samples/site.dxf");
        ASSERT_TRUE(r.has_value()) << r.error().message;
        s_loaded = new dxf::LoadedDrawing(std::move(*r));
    }
    static void TearDownTestSuite() {
        delete s_loaded;
        s_loaded = nullptr;
    }
    const Drawing& d() const { return s_loaded->drawing; }

    static dxf::LoadedDrawing* s_loaded;
};

dxf::LoadedDrawing* SiteSample::s_loaded = nullptr;

TEST_F(SiteSample, LoadsWithNothingSkippedAndARotatedUcs) {
    EXPECT_EQ(s_loaded->report.skippedCount(), 0u) << s_loaded->report.summary();
    EXPECT_EQ(d().header().codePage, "ANSI_936");
    const Ucs& ucs = d().ucs();
    EXPECT_NEAR(std::atan2(ucs.xAxis.y, ucs.xAxis.x), 32.0 * std::numbers::pi / 180.0, 1e-12);
    EXPECT_NEAR(ucs.origin.x, 500105.0, 1e-9);
    EXPECT_NEAR(ucs.origin.y, 3012228.0, 1e-9);
}

TEST_F(SiteSample, ChineseLayerNamesAndLabelsAndCornerNumbers) {
    ASSERT_TRUE(d().findLayer("宗地界址线").has_value());
    std::set<std::string> texts;
    for (const Entity& e : d().entities()) {
        if (const TextData* t = e.text()) {
            texts.insert(std::string(d().text(*t)));
        }
    }
    for (int i = 1; i <= 12; ++i) {
        EXPECT_TRUE(texts.count("J" + std::to_string(i))) << i;
    }
    EXPECT_TRUE(texts.count("宗地一"));
    EXPECT_TRUE(texts.count("坐标系：2000国家大地坐标系 3度带"));
    EXPECT_TRUE(texts.count("某某地块宗地图\n比例尺 1:500"));
}

TEST_F(SiteSample, ParcelCornersMeetInWorldCoordinatesIncludingTheMirroredParcel) {
    std::map<std::pair<long long, long long>, int> cornerUse;
    int parcels = 0;
    int mirrored = 0;
    for (const Entity& e : d().entities()) {
        if (e.type != EntityType::LwPolyline || d().layer(e.layer).name != "宗地界址线") {
            continue;
        }
        ++parcels;
        EXPECT_TRUE(*closed(e));
        const Vec3 n = *normal(e);
        mirrored += n.z < 0;
        const auto c = *coordinates(d(), e);
        for (std::size_t i = 0; i + 1 < c.size(); i += 2) {
            const auto w =
                translateCoordinates({c[i], c[i + 1], *elevation(e)}, 4, 0, false, d().ucs(), n);
            ASSERT_TRUE(w.has_value());
            EXPECT_GT(w->x, 500000.0);
            EXPECT_LT(w->x, 500400.0);
            EXPECT_GT(w->y, 3012000.0);
            EXPECT_LT(w->y, 3012400.0);
            ++cornerUse[{std::llround(w->x * 1000), std::llround(w->y * 1000)}];
        }
    }
    EXPECT_EQ(parcels, 6);
    EXPECT_EQ(mirrored, 1);
    // 12 corners; the two middle ones of the shared line are used by four parcels.
    EXPECT_EQ(cornerUse.size(), 12u);
    int fourfold = 0;
    for (const auto& [corner, uses] : cornerUse) {
        fourfold += uses == 4;
    }
    EXPECT_EQ(fourfold, 2);
}

TEST_F(SiteSample, HasA3dPolylineArcsBlocksAndSnapsExactlyToACorner) {
    int poly3d = 0;
    int arcs = 0;
    int inserts = 0;
    for (const Entity& e : d().entities()) {
        poly3d += e.type == EntityType::Polyline3d;
        arcs += e.type == EntityType::Arc;
        inserts += e.type == EntityType::Insert;
    }
    EXPECT_EQ(poly3d, 1);
    EXPECT_EQ(arcs, 2);
    EXPECT_GE(inserts, 10);
    SpatialIndex index(d());
    // Corner J1 is the site origin (500120, 3012260).
    const auto hit = index.snap({500120.2, 3012260.1}, 0.5, SnapModes::autocadDefault());
    ASSERT_TRUE(hit.has_value());
    EXPECT_EQ(hit->kind, SnapKind::Endpoint);
    EXPECT_EQ(hit->point.x, 500120.0);
    EXPECT_EQ(hit->point.y, 3012260.0);
}

} // namespace
} // namespace vexilo::cadhost
