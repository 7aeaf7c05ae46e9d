// Timed tool run: loads a DXF file with the host's reader and prints MB/s, what was kept and the
// process's peak resident memory. Usage: cadhost_load_dxf FILE [RUNS] [--index] [--threads=N]
// (threads: 1 reads in one piece; 0, the default, one per core)
#include "cadhost/dxf/dxf_reader.h"
#include "cadhost/index/spatial_index.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

int main(int argc, char** argv) {
    using namespace vexilo::cadhost;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [RUNS] [--index] [--threads=N]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    bool withIndex = false;
    dxf::ReadOptions options;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--index") {
            withIndex = true;
        } else if (arg.rfind("--threads=", 0) == 0) {
            options.threads = static_cast<unsigned>(std::atoi(arg.c_str() + 10));
        }
    }
    double best = 1e300;
    std::size_t entities = 0;
    std::size_t bytes = 0;
    std::string summary;
    std::size_t poolBytes = 0;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        auto result = dxf::readDxfFile(argv[1], options);
        const auto t1 = std::chrono::steady_clock::now();
        if (!result) {
            std::fprintf(stderr, "%s\n", result.error().message.c_str());
            return 1;
        }
        best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
        entities = result->drawing.entities().size();
        bytes = result->report.bytes;
        summary = result->report.summary();
        poolBytes = result->drawing.poolBytes();
        if (withIndex && i == runs - 1) {
            const auto i0 = std::chrono::steady_clock::now();
            SpatialIndex index(result->drawing);
            const auto i1 = std::chrono::steady_clock::now();
            std::printf("index: %zu boxes in %.3f s\n", index.size(),
                        std::chrono::duration<double>(i1 - i0).count());
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("vexilo reader: %.1f MB in %.3f s (best of %d) = %.0f MB/s; %zu entities; "
                "drawing pools %.0f MB (%.0f bytes/entity); peak RSS %.0f MB (with the %.0f MB "
                "file mapped)\n",
                bytes / 1e6, best, runs, bytes / 1e6 / best, entities, poolBytes / 1e6,
                entities ? double(poolBytes) / entities : 0.0, usage.ru_maxrss / 1024.0,
                bytes / 1e6);
    if (!summary.empty()) {
        std::printf("%s", summary.c_str());
    }
    return 0;
}
