// The Loop soak: 100,000 reads (or the number given) through the console's timer path with a
// zero-latency scale. Prints the figures as "name value" lines; exits 1 when a bound fails.
//   bench_loop_soak [reads]
#include "bench/LoopSoak.h"

#include "console/WeighConsoleDlg.h"
#include "framework/AfxTesting.h"
#include "opos/ServiceFactory.h"
#include "framework/qt/AfxQtApplication.h"

#include <QApplication>

#include <algorithm>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    AfxQtApplication app(argc, argv);
    const long reads = argc > 1 ? std::max(2L, std::atol(argv[1])) : 100000L;

    AfxEnableControlContainer();
    auto device = std::make_shared<bench::ZeroLatencyScale>(10); // every tenth read times out
    opos::ServiceOverride guard(device);
    AfxSetTimerSpeedup(1000); // the one-second Loop tick every millisecond
    bench::LoopSoak soak(*device, reads, std::min(1000L, reads / 2));
    CWeighConsoleDlg dlg;
    AfxRunModal(dlg, [&] { soak.Run(dlg); });
    return soak.Report(stdout) ? 0 : 1;
}
