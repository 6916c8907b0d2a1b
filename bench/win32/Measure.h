// What the Windows benchmarks measure with: the performance counter, and the median of a series.
#pragma once

#include "bench/Median.h"

#include <windows.h>

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

}
