#include "bench/MedianReporter.h"

namespace bench {

void MedianReporter::ReportRuns(const std::vector<Run>& runs)
{
    for (const Run& run : runs)
        if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" && !run.error_occurred)
            m_median[run.run_name.function_name] =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    ConsoleReporter::ReportRuns(runs);
}

double MedianReporter::MedianSeconds(const std::string& function) const
{
    const auto it = m_median.find(function);
    return it == m_median.end() ? 0 : it->second;
}

}
