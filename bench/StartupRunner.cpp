// Start-up and peak memory: runs the console child and the floor child alternately, each on Qt's
// offscreen platform, after one unmeasured run each, and prints the medians as "name value" lines.
//   bench_startup [--runs N] <console child> <floor child>
#include "bench/ChildRun.h"
#include "bench/StartupSeries.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kTimeoutMs = 30000;

}

int main(int argc, char** argv)
{
    int runs = 15;
    int arg = 1;
    if (argc > 2 && std::strcmp(argv[1], "--runs") == 0) {
        runs = std::max(1, std::atoi(argv[2]));
        arg = 3;
    }
    if (argc - arg != 2) {
        std::fprintf(stderr, "usage: bench_startup [--runs N] <console child> <floor child>\n");
        return 2;
    }
    const std::string console = argv[arg], floor = argv[arg + 1];
    return bench::RunStartupSeries(console, floor, runs, "startup", "peak_rss", [](const std::string& path) {
        const bench::ChildResult r = bench::RunChild(path, kTimeoutMs);
        return bench::StartupRun{r.ok, r.readyMs, double(r.peakRssKib), r.failure};
    });
}
