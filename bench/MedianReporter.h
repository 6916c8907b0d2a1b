// Google Benchmark's console report (on stderr), keeping each benchmark's median time per
// iteration for the figures the benchmark prints.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>

namespace bench {

class MedianReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override;
    // Seconds per iteration of the benchmark function of that name; 0 when it did not run.
    double MedianSeconds(const std::string& function) const;

private:
    std::map<std::string, double> m_median;
};

}
