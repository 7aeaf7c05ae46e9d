// Cost of the recording pipeline and of the number rules, per point, against the scripted CAD.
#include "cad/fake/fake_cad.h"
#include "cad/number_rules.h"
#include "cad/point_recorder.h"
#include "capture/pick_polyline.h"

#include <benchmark/benchmark.h>

namespace {

using namespace vexilo;

void BM_NumberToText(benchmark::State& state) {
    double value = 3012345.6789;
    for (auto _ : state) {
        benchmark::DoNotOptimize(cad::numberToText(value, "."));
        value += 0.001;
    }
}
BENCHMARK(BM_NumberToText);

void BM_FormatCoordinate(benchmark::State& state) {
    cad::fake::FakeCad fake;
    cad::CadSession session(fake.registry);
    cad::CoordinateTable table;
    cad::PointRecorder recorder(session, table, fake.options);
    cad::ErrorState errors;
    recorder.ReadNumericOptions(errors);
    double value = 500123.45678;
    for (auto _ : state) {
        benchmark::DoNotOptimize(recorder.FormatCoordinate(value));
        value += 0.001;
    }
}
BENCHMARK(BM_FormatCoordinate);

/// One polyline of state.range(0) vertices listed into an empty table in the user system,
/// through the scripted CAD (each vertex: two vertex reads, elevation, normal, conversion).
void BM_ListPolyline(benchmark::State& state) {
    const auto vertices = static_cast<std::size_t>(state.range(0));
    std::vector<std::array<double, 2>> points(vertices);
    for (std::size_t i = 0; i < vertices; ++i) {
        points[i] = {static_cast<double>(i), static_cast<double>(i) * 0.5};
    }
    for (auto _ : state) {
        state.PauseTiming();
        cad::fake::FakeCad fake;
        cad::CadSession session(fake.registry);
        cad::CoordinateTable table;
        cad::PointRecorder recorder(session, table, fake.options);
        capture::CaptureContext context{session, recorder, fake.options, fake.window};
        fake.utility->answerEntity(fake.lwPolyline("P", points));
        fake.utility->answerString("K");
        fake.utility->failRequest("GetEntity", automation::kCancelCode);
        state.ResumeTiming();
        capture::Command2_Click(context);
        benchmark::DoNotOptimize(table.rowCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ListPolyline)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
