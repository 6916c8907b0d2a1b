#include "bench/LoopSoak.h"

#include "bench/ProcessStats.h"

#include "console/WeighConsoleDlg.h"
#include "framework/AfxTesting.h"

#include <QAbstractButton>
#include <QApplication>
#include <QWidget>

#include <chrono>

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStallLimit = std::chrono::seconds(10);
constexpr long kGrowthLimitKib = 1024;

std::string ItemText(CWnd& dlg, int id)
{
    CString text;
    dlg.GetDlgItemText(id, text);
    return text.str();
}

std::string Formatted(const char* format, double value)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

std::string ResultName(long code) { return code == 0 ? "OPOS_SUCCESS" : "OPOS_E_TIMEOUT"; }

std::string ResultHex(long code)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(code));
    return buf;
}

}

LoopSoak::LoopSoak(ZeroLatencyScale& device, long reads, long baselineReads)
    : m_device(device), m_limit(reads), m_baseline(baselineReads)
{
}

LoopSoak::Sample LoopSoak::Take() const
{
    Sample s;
    s.reads = TimerReads();
    s.rssKib = ResidentKib();
    s.widgets = QApplication::allWidgets().size();
    s.topLevels = QApplication::topLevelWidgets().size();
    s.visibleTopLevels = AfxVisibleTopLevelCount();
    s.bstrs = AfxLiveBstrCount();
    s.reports = AfxOpenReportCount();
    s.fds = OpenFileDescriptors();
    return s;
}

// The weight shows the last successful reading; the result box the last reading's code.
void LoopSoak::CheckShown(CWnd& dlg)
{
    const Reading last = m_device.LastReading();
    const std::string weight = Formatted("%.03f", double(m_device.LastWeight()) * 0.001);
    const std::string shown = ItemText(dlg, IDC_WEIGHT) + " " + ItemText(dlg, IDC_RESULT_NAME) + " " +
                              ItemText(dlg, IDC_RESULT_HEX);
    const std::string expected = weight + " " + ResultName(last.result) + " " + ResultHex(last.result);
    ++m_checked;
    if (shown == expected)
        ++m_shown;
    else if (m_firstMismatch.empty())
        m_firstMismatch = "read " + std::to_string(TimerReads()) + ": shows \"" + shown + "\", expected \"" +
                          expected + "\"";
}

// Runs inside the console's read: the previous read must be on the window by now. The last read
// unchecks Loop, so that the next tick's data exchange stops the reads at exactly the limit.
void LoopSoak::BeforeRead(CWnd& dlg)
{
    if (TimerReads() >= 1)
        CheckShown(dlg);
    if (TimerReads() + 1 == m_limit)
        static_cast<QAbstractButton*>(dlg.GetDlgItem(IDC_LOOP)->GetSafeWidget())->setChecked(false);
}

bool LoopSoak::PumpUntil(long reads)
{
    long seen = TimerReads();
    Clock::time_point progress = Clock::now();
    while (TimerReads() < reads) {
        AfxPumpMessages(20);
        if (TimerReads() != seen) {
            seen = TimerReads();
            progress = Clock::now();
        } else if (Clock::now() - progress > kStallLimit) {
            return false;
        }
    }
    return true;
}

void LoopSoak::Run(CWeighConsoleDlg& dlg)
{
    AfxClickItem(dlg, IDC_OPEN_DEVICE);
    m_readsBeforeLoop = m_device.Reads();
    m_device.beforeRead = [this, &dlg] { BeforeRead(dlg); };
    const Clock::time_point start = Clock::now();
    const double cpuStart = CpuSeconds();
    AfxClickItem(dlg, IDC_LOOP);
    m_stalled = !PumpUntil(m_baseline);
    m_first = Take();
    m_stalled = m_stalled || !PumpUntil(m_limit);
    AfxPumpMessages(50); // the last read's repaint, and a tick that must not read
    m_seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m_cpuSeconds = CpuSeconds() - cpuStart;
    CheckShown(dlg);
    m_end = Take();
    m_device.beforeRead = nullptr;
    AfxClickItem(dlg, IDOK);
}

bool LoopSoak::NoGrowth() const
{
    return m_end.widgets <= m_first.widgets && m_end.topLevels <= m_first.topLevels &&
           m_end.visibleTopLevels <= m_first.visibleTopLevels && m_end.bstrs <= m_first.bstrs &&
           m_end.reports <= m_first.reports && m_end.fds <= m_first.fds;
}

bool LoopSoak::Report(std::FILE* out) const
{
    const long reads = m_end.reads;
    const long growth = m_end.rssKib - m_first.rssKib;
    std::fprintf(out, "soak_reads %ld\nsoak_readweight_calls %ld\n", reads, m_device.Reads());
    std::fprintf(out, "soak_results_shown %ld\nsoak_results_checked %ld\n", m_shown, m_checked);
    std::fprintf(out, "soak_seconds %.1f\nsoak_cpu_us_per_read %.1f\n", m_seconds,
                 reads > 0 ? m_cpuSeconds / double(reads) * 1e6 : 0.0);
    std::fprintf(out, "soak_first_at_reads %ld\n", m_first.reads);
    std::fprintf(out, "soak_rss_first_kib %ld\nsoak_rss_end_kib %ld\nsoak_rss_growth_kib %ld\n", m_first.rssKib,
                 m_end.rssKib, growth);
    std::fprintf(out, "soak_widgets %ld %ld\nsoak_top_levels %ld %ld\nsoak_visible_top_levels %ld %ld\n",
                 m_first.widgets, m_end.widgets, m_first.topLevels, m_end.topLevels, m_first.visibleTopLevels,
                 m_end.visibleTopLevels);
    std::fprintf(out, "soak_bstrs %ld %ld\nsoak_reports %ld %ld\nsoak_fds %ld %ld\n", m_first.bstrs, m_end.bstrs,
                 m_first.reports, m_end.reports, m_first.fds, m_end.fds);
    if (!m_firstMismatch.empty())
        std::fprintf(stderr, "bench_loop_soak: %s\n", m_firstMismatch.c_str());
    if (m_stalled)
        std::fprintf(stderr, "bench_loop_soak: the reads stopped before %ld\n", m_limit);
    const bool allShown = reads == m_limit && m_device.Reads() == m_readsBeforeLoop + m_limit &&
                          m_checked == m_limit && m_shown == m_checked;
    const bool pass = !m_stalled && allShown && growth <= kGrowthLimitKib && NoGrowth();
    std::fprintf(out, "soak_memory_pass %d\nsoak_objects_pass %d\nsoak_shown_pass %d\nsoak_pass %d\n",
                 growth <= kGrowthLimitKib, NoGrowth(), allShown && !m_stalled, pass);
    return pass;
}

}
