// What the device benchmarks share: the scale control's calls as the console makes them, the
// median of batches, and the CPU time of the calling thread.
#pragma once

#include "bench/Median.h"
#include "opos/Opos.h"

#include <algorithm>
#include <vector>

#include <time.h>

namespace bench {

inline LONG Method(CHostedControl* control, DISPID id)
{
    LONG result = -1;
    AfxInvokeHelper<LONG>(control, id, DISPATCH_METHOD, VT_I4, &result, VTS_NONE);
    return result;
}

inline LONG ReadWeight(CHostedControl* control, LONG& weight, LONG timeoutMs)
{
    LONG result = -1;
    AfxInvokeHelper<LONG, LONG*, LONG>(control, opos::dispid::ReadWeight, DISPATCH_METHOD, VT_I4, &result,
                                       VTS_PI4 VTS_I4, &weight, timeoutMs);
    return result;
}

inline double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

}
