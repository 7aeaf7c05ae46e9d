// Timed tool run: 32,766 rows appended to vexilo.exe's window while it is shown, the grid
// repainted after them. Prints the median of five runs in milliseconds, wall clock and the
// process's processor time (on a busy machine the wall clock counts other programs' turns too).
// Run it under Wine:
//   scripts/wine-test.sh build/windows/bench/app_win32/win32_append_bench.exe
#include "app_win32/form_window.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 32'766;

/// User and kernel time this process has used, in milliseconds.
double processorMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ms = [](const FILETIME& time) {
        return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                                   time.dwLowDateTime) /
               1e4;
    };
    return ms(kernel) + ms(user);
}

void pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace

int wmain() {
    std::vector<double> runs;
    std::vector<double> processor;
    for (int run = 0; run < 5; ++run) {
        vexilo::win32::FormWindow window;
        if (!window.create(GetModuleHandleW(nullptr))) {
            std::fprintf(stderr, "window not created: %lu\n", GetLastError());
            return 1;
        }
        ShowWindow(window.handle(), SW_SHOWNORMAL);
        UpdateWindow(window.handle());
        pump();
        const auto start = std::chrono::steady_clock::now();
        const double startProcessor = processorMs();
        for (int i = 1; i <= kRows; ++i) {
            const std::string number = std::to_string(i);
            window.table().appendRow({number, "P" + number, "3512.250", "870.125"});
        }
        window.table().setCurrentRow(kRows);
        UpdateWindow(window.handle());
        pump();
        runs.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        processor.push_back(processorMs() - startProcessor);
    }
    std::sort(runs.begin(), runs.end());
    std::sort(processor.begin(), processor.end());
    std::printf("%d appends with the window shown: median %.1f ms (min %.1f, max %.1f), "
                "processor time median %.1f ms\n",
                kRows, runs[2], runs.front(), runs.back(), processor[2]);
    return 0;
}
