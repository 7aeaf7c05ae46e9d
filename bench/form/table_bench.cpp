// Timed run of the table's journal, the coordinate files, the copy and the repeated-code check
// on a table of N rows: what one write of the live table costs after a pick.
//   form_table_bench [ROWS] [FOLDER]
#include "form/coordinate_file.h"
#include "form/duplicate_codes.h"
#include "form/table_clip.h"
#include "form/table_journal.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

template <class Step> double seconds(Step&& step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char* argv[]) {
    using namespace vexilo;
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10'000;
    const std::filesystem::path folder =
        argc > 2 ? std::filesystem::path(argv[2])
                 : std::filesystem::temp_directory_path() / "vexilo-bench";
    std::filesystem::create_directories(folder);
    cad::CoordinateTable table;
    for (int i = 1; i <= rows; ++i) {
        const double east = 500000.0 + i * 0.731;
        const double north = 3012000.0 + i * 0.419;
        table.appendRow({std::to_string(i), "J" + std::to_string(i % 5000), std::to_string(north),
                         std::to_string(east)},
                        {east, north, 12.345});
    }
    form::TableJournal journal(folder / "journal");
    std::printf("rows %d\n", rows);
    std::printf("journal live write  %.4f s\n",
                seconds([&] { (void)journal.writeCurrent(table); }));
    std::printf("CASS .dat (GBK)     %.4f s\n", seconds([&] {
                    (void)form::writeCoordinateFile(table, {}, folder / "points.dat");
                }));
    std::printf("PNEZD .csv          %.4f s\n", seconds([&] {
                    (void)form::writeCoordinateFile(table, {form::CoordinateFileFormat::PnezdCsv},
                                                    folder / "points.csv");
                }));
    std::printf("copy all            %.4f s\n", seconds([&] { (void)form::clipRows(table, {}); }));
    form::DuplicateCodes repeats(table);
    std::printf("repeated codes      %.4f s\n", seconds([&] { (void)repeats.earlierRow(1); }));
    std::filesystem::remove_all(folder);
    return 0;
}
