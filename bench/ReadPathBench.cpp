// The Read Weight path with a zero-latency scale: from the button's click to the window repainted,
// per read, in the console and in the floor (which writes the same item texts and repaints).
// Google Benchmark's report goes to stderr; the medians go to stdout as "name value" lines.
#include "bench/FloorDialog.h"
#include "bench/MedianReporter.h"
#include "bench/PaintCounter.h"
#include "bench/ZeroLatencyScale.h"

#include "console/WeighConsoleDlg.h"
#include "framework/AfxTesting.h"
#include "opos/ServiceFactory.h"
#include "framework/qt/AfxQtApplication.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>

namespace {

// Everything the click posted is done, the window's repaint included: a widget's update is a
// posted request to its window, which paints what is dirty when the request is delivered.
void FinishPosted() { QCoreApplication::sendPostedEvents(); }

// A window paints only once it is on screen: until then a read would leave its repaint pending.
bool WaitUntilShown(QWidget* window)
{
    QDeadlineTimer deadline(5000);
    while (!(window->windowHandle() && window->windowHandle()->isExposed()) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();
    return window->windowHandle() && window->windowHandle()->isExposed();
}

// Reads before timing: the window is shown, and a read paints the weight, or the loop would time
// less than a read.
bool ReadRepaints(const std::function<void()>& read, QWidget* weight)
{
    if (!WaitUntilShown(weight->window()))
        return false;
    for (int i = 0; i < 3; ++i)
        read();
    bench::PaintCounter paints(weight);
    read();
    return paints.Count() > 0;
}

void BM_TaraboReadWeight(benchmark::State& state)
{
    auto device = std::make_shared<bench::ZeroLatencyScale>();
    opos::ServiceOverride guard(device);
    CWeighConsoleDlg dlg;
    AfxRunModal(dlg, [&] {
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        const auto read = [&] {
            AfxClickItem(dlg, IDC_READ_WEIGHT);
            FinishPosted();
        };
        if (!ReadRepaints(read, dlg.GetDlgItem(IDC_WEIGHT)->GetSafeWidget()))
            state.SkipWithError("the window did not show, or a read did not repaint the weight");
        for (auto _ : state)
            read();
        AfxClickItem(dlg, IDOK);
    });
}

void BM_FloorReadWeight(benchmark::State& state)
{
    bench::FloorDialog dlg;
    QTimer::singleShot(0, &dlg, [&] {
        const auto read = [&] {
            dlg.ReadButton()->click();
            FinishPosted();
        };
        if (!ReadRepaints(read, dlg.WeightLabel()))
            state.SkipWithError("the window did not show, or a read did not repaint the weight");
        for (auto _ : state)
            read();
        dlg.ExitButton()->click();
    });
    dlg.exec();
}

BENCHMARK(BM_TaraboReadWeight)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FloorReadWeight)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The floor stands for the console only at the console's size.
bool SameWindowSize()
{
    auto device = std::make_shared<bench::ZeroLatencyScale>();
    opos::ServiceOverride guard(device);
    CWeighConsoleDlg console;
    QSize consoleSize;
    AfxRunModal(console, [&] { consoleSize = console.GetSafeWidget()->size(); });
    const bench::FloorDialog floor;
    std::printf("window_tarabo_px %dx%d\nwindow_floor_px %dx%d\n", consoleSize.width(), consoleSize.height(),
                floor.width(), floor.height());
    return consoleSize == floor.size();
}

void PrintRate(const char* name, double seconds)
{
    std::printf("read_%s_us %.2f\n", name, seconds * 1e6);
    std::printf("read_%s_per_s %.0f\n", name, seconds > 0 ? 1 / seconds : 0.0);
}

}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    AfxQtApplication app(argc, argv);
    AfxEnableControlContainer();
    benchmark::Initialize(&argc, argv);
    if (!SameWindowSize()) {
        std::fprintf(stderr, "bench_read_path: the floor is not the console's size\n");
        return 1;
    }
    bench::MedianReporter reporter;
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double tarabo = reporter.MedianSeconds("BM_TaraboReadWeight");
    const double floor = reporter.MedianSeconds("BM_FloorReadWeight");
    PrintRate("tarabo", tarabo);
    PrintRate("floor", floor);
    return tarabo > 0 && floor > 0 ? 0 : 1;
}
