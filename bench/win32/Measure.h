// What the Windows benchmarks measure with: the performance counter, and the median of a series.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

namespace bench {

// Microseconds from an arbitrary start, from the performance counter.
inline double MicrosecondsNow()
{
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1e6 / double(frequency);
}

inline double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}
