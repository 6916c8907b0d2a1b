// The start-up series of both platforms' runners: each child once unmeasured (so that both find
// their libraries in the page cache), then the two alternately, and the medians printed as
// "name value" lines.
#pragma once

#include "bench/Median.h"

#include <cstdio>
#include <string>

namespace bench {

struct StartupRun
{
    bool ok = false;       // "ready" seen and a clean end
    double readyMs = 0;    // process start to "ready"
    double peakKib = 0;    // the child's peak memory
    std::string failure;   // why it was not ok
};

// Prints "<timeKey>_runs", "<timeKey>_<child>_ms" with its min and max, and "<memoryKey>_<child>_kib"
// for the children "tarabo" and "floor". Returns the process exit code: 1 once a run failed.
template <class RunChild> // StartupRun RunChild(const std::string& path)
int RunStartupSeries(const std::string& console, const std::string& floor, int runs, const char* timeKey,
                     const char* memoryKey, RunChild runChild)
{
    struct Series
    {
        std::vector<double> ms, kib;
    } consoleRuns, floorRuns;
    const auto runInto = [&](const std::string& path, Series* series) {
        const StartupRun r = runChild(path);
        if (!r.ok) {
            std::fprintf(stderr, "bench %s: %s\n", timeKey, r.failure.c_str());
            return false;
        }
        if (series) {
            series->ms.push_back(r.readyMs);
            series->kib.push_back(r.peakKib);
        }
        std::fprintf(stderr, "  %-32s %8.1f ms %8.0f KiB\n", path.substr(path.find_last_of("\\/") + 1).c_str(),
                     r.readyMs, r.peakKib);
        return true;
    };
    if (!runInto(console, nullptr) || !runInto(floor, nullptr))
        return 1;
    for (int i = 0; i < runs; ++i)
        if (!runInto(console, &consoleRuns) || !runInto(floor, &floorRuns))
            return 1;
    std::printf("%s_runs %d\n", timeKey, runs);
    for (const auto& [name, s] : {std::pair{"tarabo", &consoleRuns}, std::pair{"floor", &floorRuns}}) {
        std::printf("%s_%s_ms %.1f\n", timeKey, name, Median(s->ms));
        std::printf("%s_%s_min_ms %.1f\n", timeKey, name, *std::min_element(s->ms.begin(), s->ms.end()));
        std::printf("%s_%s_max_ms %.1f\n", timeKey, name, *std::max_element(s->ms.begin(), s->ms.end()));
        std::printf("%s_%s_kib %.0f\n", memoryKey, name, Median(s->kib));
    }
    return 0;
}

}
