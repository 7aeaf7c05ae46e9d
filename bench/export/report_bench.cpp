// Timed run of the report writer: builds a table of N rows, writes its workbook, and prints the
// time and the memory the writing took. run_bench.py runs it beside python3-xlsxwriter.
#include "export/xlsx_report_writer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

/// One of VmRSS / VmHWM from /proc/self/status, in KiB.
long statusKb(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0) {
            return std::atol(line.c_str() + key.size() + 1);
        }
    }
    return -1;
}

/// Thousandths as the capture commands write them: no trailing zeros, no trailing point.
std::string thousandths(long long value) {
    std::string text = std::to_string(value / 1000);
    std::string fraction = std::to_string(1000 + value % 1000).substr(1);
    while (!fraction.empty() && fraction.back() == '0') {
        fraction.pop_back();
    }
    return fraction.empty() ? text : text + "." + fraction;
}

/// Processor time of this process so far, user and system, in seconds.
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: report_bench ROWS OUT.xlsx\n";
        return 2;
    }
    const int rows = std::atoi(argv[1]);
    const auto buildStart = std::chrono::steady_clock::now();
    vexilo::cad::CoordinateTable table;
    for (int i = 1; i <= rows; ++i) {
        const std::string code = i % 7 == 0 ? "0" + std::to_string(i) : "K" + std::to_string(i);
        if (!table.appendRow({std::to_string(i), code, thousandths(3012345000LL + i * 7LL),
                              thousandths(500123000LL + i * 13LL)})) {
            std::cerr << "the table is full at row " << i << "\n";
            return 1;
        }
    }
    const double buildSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - buildStart).count();

    // Resets the peak resident size, so that VmHWM afterwards is the peak while writing.
    std::ofstream("/proc/self/clear_refs") << "5";
    const long rssBefore = statusKb("VmRSS");
    const double cpuStart = cpuSeconds();
    const auto writeStart = std::chrono::steady_clock::now();
    const auto written = vexilo::report::writeReportWorkbook(table, argv[2]);
    const double writeSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - writeStart).count();
    const double writeCpu = cpuSeconds() - cpuStart;
    const long peak = statusKb("VmHWM");
    if (!written) {
        std::cerr << written.error().message << "\n";
        return 1;
    }
    struct stat info {};
    stat(argv[2], &info);
    std::printf("rows=%d build_s=%.3f write_s=%.3f cpu_s=%.3f rss_before_kib=%ld peak_kib=%ld "
                "write_extra_kib=%ld file_bytes=%lld\n",
                rows, buildSeconds, writeSeconds, writeCpu, rssBefore, peak, peak - rssBefore,
                static_cast<long long>(info.st_size));
    return 0;
}
