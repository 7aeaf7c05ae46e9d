// Times "拾取多段线" over COM for one long lightweight polyline in the user system: the stand-in
// AutoCAD in its own process, the command listing every vertex into the table, and the number
// of calls that crossed between the two.
//   com_polyline_bench [vertices ...]      (default 10000; 1000 and 100000 for comparison)
// The cases run in order on one registry: the first one's calls include the name lookups.
#include "cad/cad_session.h"
#include "cad/com/com_backend.h"
#include "cad/fake/fake_cad.h"
#include "capture/pick_polyline.h"
#include "stand_in_process.h"

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    using namespace vexilo;
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) {
        counts.push_back(static_cast<int>(std::wcstol(argv[i], nullptr, 10)));
    }
    if (counts.empty()) {
        counts = {10000};
    }
    cad::com::ComApartment apartment;
    if (!apartment.ok()) {
        std::fprintf(stderr, "COM could not start on this thread\n");
        return 1;
    }
    // One registry for the whole run, as the window keeps one: the member names are looked up in
    // the first case only.
    cad::com::ComRegistry registry;
    for (const int vertices : counts) {
        cad::com::testing::StandInOptions options;
        options.drawing = cad::com::testing::writeLongPolylineDrawing(vertices);
        cad::com::testing::StandIn autocad({"L", "K", "^C"}, options);
        if (!autocad.ready()) {
            std::fprintf(stderr, "the stand-in did not start\n");
            return 1;
        }
        cad::CadSession session(registry);
        cad::CoordinateTable table;
        cad::fake::FakeOptions userSystem;
        cad::fake::FakeWindow window(std::make_shared<cad::fake::CallLog>());
        cad::PointRecorder recorder(session, table, userSystem);
        capture::CaptureContext context{session, recorder, userSystem, window};
        const auto start = std::chrono::steady_clock::now();
        capture::Command2_Click(context);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("%d vertices, user system: %.3f s, %d rows, %llu calls\n", vertices,
                    took.count(), table.rowCount() - 1,
                    static_cast<unsigned long long>(registry.calls()));
        if (table.rowCount() - 1 != vertices) {
            return 1;
        }
    }
    return 0;
}
