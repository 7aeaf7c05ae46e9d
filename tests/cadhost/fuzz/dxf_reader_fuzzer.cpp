// libFuzzer harness for the DXF reader: any bytes must give a drawing or an error, never a
// crash, a hang or unbounded memory; a drawing that loads must answer its lookups.
#include "cadhost/dxf/dxf_reader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexilo::cadhost;
    const auto result = dxf::readDxf(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!result) {
        return 0;
    }
    const Drawing& d = result->drawing;
    for (const Entity& e : d.entities()) {
        if (d.findByHandle(e.handle) != &e) {
            __builtin_trap();
        }
        if (const PolylineData* p = e.polyline()) {
            (void)d.vertices(*p);
            (void)d.widths(*p);
        }
        if (const TextData* t = e.text()) {
            (void)d.text(*t);
        }
        if (const InsertData* i = e.insert()) {
            if (i->block >= d.blocks().size()) {
                __builtin_trap();
            }
        }
    }
    (void)result->report.summary();
    return 0;
}
