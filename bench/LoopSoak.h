// The Loop soak: reads through the console's timer path (real WM_TIMER ticks, Loop checked) with a
// zero-latency scale. Samples resident memory and live objects after the first reads and at the
// end, and checks before every read that the previous read's result is on the window.
#pragma once

#include "bench/ZeroLatencyScale.h"

#include <cstdio>
#include <string>

class CWeighConsoleDlg;
class CWnd;

namespace bench {

class LoopSoak
{
public:
    // reads: timer reads in all; baselineReads: when the first sample is taken.
    LoopSoak(ZeroLatencyScale& device, long reads, long baselineReads);

    // Inside the console's modal loop: Open, Loop on, the reads, Loop off again.
    void Run(CWeighConsoleDlg& dlg);
    // Prints the figures as "name value" lines; true when every bound holds.
    bool Report(std::FILE* out) const;

private:
    struct Sample
    {
        long reads = 0;
        long rssKib = 0;
        long widgets = 0;
        long topLevels = 0;        // shown or not
        long visibleTopLevels = 0;
        long bstrs = 0;
        long reports = 0;
        long fds = 0;
    };

    Sample Take() const;
    long TimerReads() const { return m_device.Reads() - m_readsBeforeLoop; }
    void BeforeRead(CWnd& dlg);
    void CheckShown(CWnd& dlg);
    bool PumpUntil(long reads);
    bool NoGrowth() const;

    ZeroLatencyScale& m_device;
    long m_limit;
    long m_baseline;
    long m_readsBeforeLoop = 0;
    long m_checked = 0;
    long m_shown = 0;
    std::string m_firstMismatch;
    bool m_stalled = false;
    Sample m_first;
    Sample m_end;
    double m_seconds = 0;
    double m_cpuSeconds = 0;
};

}
