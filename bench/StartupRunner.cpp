// Start-up and peak memory: runs the console child and the floor child alternately, each on Qt's
// offscreen platform, after one unmeasured run each, and prints the medians as "name value" lines.
//   bench_startup [--runs N] <console child> <floor child>
#include "ChildRun.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kTimeoutMs = 30000;

struct Series
{
    std::vector<double> ms;
    std::vector<double> rssKib;
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

bool RunInto(const std::string& path, Series* series)
{
    const bench::ChildResult r = bench::RunChild(path, kTimeoutMs);
    if (!r.ok) {
        std::fprintf(stderr, "bench_startup: %s\n", r.failure.c_str());
        return false;
    }
    if (series) {
        series->ms.push_back(r.readyMs);
        series->rssKib.push_back(double(r.peakRssKib));
    }
    std::fprintf(stderr, "  %-28s %8.1f ms %8ld KiB\n", path.substr(path.rfind('/') + 1).c_str(), r.readyMs,
                 r.peakRssKib);
    return true;
}

void Print(const char* name, const Series& s)
{
    std::printf("startup_%s_ms %.1f\n", name, Median(s.ms));
    std::printf("startup_%s_min_ms %.1f\n", name, *std::min_element(s.ms.begin(), s.ms.end()));
    std::printf("startup_%s_max_ms %.1f\n", name, *std::max_element(s.ms.begin(), s.ms.end()));
    std::printf("peak_rss_%s_kib %.0f\n", name, Median(s.rssKib));
}

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
    // One run of each first, so that both find the libraries in the page cache.
    if (!RunInto(console, nullptr) || !RunInto(floor, nullptr))
        return 1;
    Series consoleRuns, floorRuns;
    for (int i = 0; i < runs; ++i)
        if (!RunInto(console, &consoleRuns) || !RunInto(floor, &floorRuns))
            return 1;
    std::printf("startup_runs %d\n", runs);
    Print("tarabo", consoleRuns);
    Print("floor", floorRuns);
    return 0;
}
