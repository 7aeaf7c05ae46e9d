// Pick and object-snap latency on a synthetic survey drawing of 1,000,000 entities (lines,
// lightweight polylines with bulges, arcs, circles, points, texts) spread over 20 km × 20 km
// of Gauss-Krüger coordinates. Run: build/default/bench/cadhost/cadhost_index_bench
#include "cadhost/index/spatial_index.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <numbers>
#include <optional>
#include <random>

namespace {

using namespace vexilo::cadhost;

constexpr double kEast = 500000.0;
constexpr double kNorth = 3012000.0;
constexpr double kSpan = 20000.0;

std::unique_ptr<Drawing> makeDrawing(std::size_t count) {
    auto d = std::make_unique<Drawing>();
    std::mt19937_64 rnd(42);
    std::uniform_real_distribution<double> pos(0.0, kSpan);
    std::uniform_real_distribution<double> small(0.0, 20.0);
    for (std::size_t i = 0; i < count; ++i) {
        const double x = kEast + pos(rnd);
        const double y = kNorth + pos(rnd);
        Entity e;
        e.handle = i + 1;
        switch (i % 10) {
        case 0:
        case 1:
        case 2:
        case 3: {
            PolylineVertex v[4] = {{{x, y, 0}, 0.0},
                                   {{x + small(rnd), y, 0}, i % 20 == 0 ? 0.3 : 0.0},
                                   {{x + small(rnd), y + small(rnd), 0}, 0.0},
                                   {{x, y + small(rnd), 0}, 0.0}};
            PolylineData p;
            p.firstVertex = d->appendVertices(v);
            p.vertexCount = 4;
            p.closed = true;
            e.type = EntityType::LwPolyline;
            e.data = p;
            break;
        }
        case 4:
        case 5:
        case 6:
            e.type = EntityType::Line;
            e.data = LineData{{x, y, 0}, {x + small(rnd), y + small(rnd), 0}};
            break;
        case 7:
            e.type = i % 20 == 7 ? EntityType::Arc : EntityType::Circle;
            e.data = ArcData{{x, y, 0}, {0, 0, 1}, 1.0 + small(rnd) / 4, 0.0, std::numbers::pi};
            break;
        case 8:
            e.type = EntityType::Point;
            e.data = PointData{{x, y, 12.5}, {0, 0, 1}};
            break;
        default: {
            TextData t;
            t.position = {x, y, 0};
            t.height = 2.5;
            d->setText(t, "J123");
            e.type = EntityType::Text;
            e.data = t;
            break;
        }
        }
        d->appendEntity(e);
    }
    d->finish();
    return d;
}

struct Fixture {
    std::unique_ptr<Drawing> drawing = makeDrawing(1'000'000);
    std::unique_ptr<SpatialIndex> index = std::make_unique<SpatialIndex>(*drawing);
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

/// Query points: half of them on an entity's first vertex or end (hits), half anywhere.
std::vector<Vec2> queryPoints(const Drawing& d, std::size_t n) {
    std::mt19937_64 rnd(7);
    std::uniform_real_distribution<double> pos(0.0, kSpan);
    std::uniform_int_distribution<std::size_t> pick(0, d.entities().size() - 1);
    std::vector<Vec2> points;
    for (std::size_t i = 0; i < n; ++i) {
        if (i % 2 == 0) {
            points.push_back({kEast + pos(rnd), kNorth + pos(rnd)});
            continue;
        }
        const Entity& e = d.entities()[pick(rnd)];
        Vec3 p{};
        if (const auto* l = e.line()) {
            p = l->end;
        } else if (const auto* pl = e.polyline()) {
            p = d.vertices(*pl)[1].point;
        } else if (const auto* a = e.arc()) {
            p = a->center;
        } else if (const auto* pt = e.point()) {
            p = pt->position;
        } else if (const auto* t = e.text()) {
            p = t->position;
        }
        points.push_back({p.x + 0.05, p.y - 0.05});
    }
    return points;
}

void BM_BuildIndex1M(benchmark::State& state) {
    const Drawing& d = *fixture().drawing;
    for (auto _ : state) {
        SpatialIndex index(d);
        benchmark::DoNotOptimize(index.size());
    }
}
BENCHMARK(BM_BuildIndex1M)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_Pick1M(benchmark::State& state) {
    Fixture& f = fixture();
    const auto points = queryPoints(*f.drawing, 4096);
    const double halfSize = static_cast<double>(state.range(0)) / 10.0;
    std::size_t i = 0;
    std::size_t hits = 0;
    for (auto _ : state) {
        const auto hit = f.index->pick(points[i++ % points.size()], halfSize);
        hits += hit.has_value();
        benchmark::DoNotOptimize(hit);
    }
    state.counters["hit_rate"] = static_cast<double>(hits) / static_cast<double>(i);
}
// Pick box half sizes 0.5 m (a close view) and 5 m (a whole-site view).
BENCHMARK(BM_Pick1M)->Arg(5)->Arg(50)->Unit(benchmark::kMicrosecond);

// Second argument 0: the point kinds (endpoint, node, centre, intersection, midpoint); 1: every
// kind, quadrant, nearest and perpendicular (from a point 3 m off) included.
void BM_Snap1M(benchmark::State& state) {
    Fixture& f = fixture();
    const auto points = queryPoints(*f.drawing, 4096);
    const double aperture = static_cast<double>(state.range(0)) / 10.0;
    const bool everyKind = state.range(1) != 0;
    const SnapModes modes = everyKind ? SnapModes::all() : SnapModes{true, true, true, true, true};
    std::size_t i = 0;
    std::size_t hits = 0;
    for (auto _ : state) {
        const Vec2 q = points[i++ % points.size()];
        const auto hit = f.index->snap(
            q, aperture, modes, everyKind ? std::optional<Vec2>(q + Vec2{3.0, 3.0}) : std::nullopt);
        hits += hit.has_value();
        benchmark::DoNotOptimize(hit);
    }
    state.counters["hit_rate"] = static_cast<double>(hits) / static_cast<double>(i);
}
BENCHMARK(BM_Snap1M)->ArgsProduct({{5, 50}, {0, 1}})->Unit(benchmark::kMicrosecond);

/// Contour-like polylines: each query lands inside the boxes of several long polylines, whose
/// every segment the pick and the snap walk.
void BM_SnapNearLongPolylines(benchmark::State& state) {
    const std::size_t vertices = static_cast<std::size_t>(state.range(0));
    Drawing d;
    for (int c = 0; c < 10; ++c) {
        std::vector<PolylineVertex> run(vertices);
        for (std::size_t i = 0; i < vertices; ++i) {
            const double t = static_cast<double>(i) / static_cast<double>(vertices);
            run[i].point = {kEast + 1000.0 * t, kNorth + 100.0 * c + 200.0 * std::sin(40.0 * t), 0};
        }
        PolylineData p;
        p.firstVertex = d.appendVertices(run);
        p.vertexCount = static_cast<std::uint32_t>(vertices);
        Entity e;
        e.handle = static_cast<std::uint64_t>(c + 1);
        e.type = EntityType::LwPolyline;
        e.data = p;
        d.appendEntity(e);
    }
    d.finish();
    SpatialIndex index(d);
    std::size_t i = 0;
    for (auto _ : state) {
        const Vec2 q{kEast + 10.0 * static_cast<double>(i++ % 97), kNorth + 450.0};
        benchmark::DoNotOptimize(index.snap(q, 0.5, SnapModes::all()));
    }
}
BENCHMARK(BM_SnapNearLongPolylines)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
