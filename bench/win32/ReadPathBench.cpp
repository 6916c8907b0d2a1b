// The Read Weight path under Wine, with a zero-latency scale: from the button's click to the window
// repainted, per read, in the console and in the floor (the bare dialog of the console's template,
// whose button writes the same texts and repaints the gauge). The console's control is our own,
// published in the process and reached through COM. Batches of reads alternate between the two
// windows, each alone on the screen at the same place; the medians go to stdout as "name value"
// lines.
//   bench_win_read [--batches N] [--reads N]
#include "bench/win32/FloorDialog.h"
#include "bench/win32/Measure.h"
#include "bench/ReadingSequence.h"
#include "bench/ZeroLatencyScale.h"

#include "console/WeighConsoleDlg.h"
#include "framework/AfxTesting.h"
#include "framework/Resources.h"
#include "framework/win32/AfxWindowImpl.h"
#include "opos/ServiceFactory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

namespace {

std::string ItemText(HWND window, int id)
{
    char text[256] = "";
    GetDlgItemText(window, id, text, sizeof text);
    return text;
}

struct Window
{
    const char* name;
    HWND hWnd;
    std::function<long()> lastWeight; // in thousandths, as the scale gave it
};

// One read as a person makes it: the click through the button's message path, then the window
// painted through, and whatever the read posted handled.
void Read(const Window& w)
{
    SendDlgItemMessage(w.hWnd, IDC_READ_WEIGHT, BM_CLICK, 0, 0);
    RedrawWindow(w.hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    AfxPumpMessages(0);
}

// Before timing: a read must change the weight (the static paints its new text at once), leave
// the gauge to repaint, show the scale's reading and the result, and leave nothing unpainted once
// the window is painted through; else the loop would time less than a read.
bool ReadRepaints(const Window& w)
{
    for (int i = 0; i < 3; ++i)
        Read(w);
    const std::string before = ItemText(w.hWnd, IDC_WEIGHT);
    SendDlgItemMessage(w.hWnd, IDC_READ_WEIGHT, BM_CLICK, 0, 0);
    const bool gaugeInvalid = GetUpdateRect(GetDlgItem(w.hWnd, IDC_GAUGE), nullptr, FALSE);
    RedrawWindow(w.hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    AfxPumpMessages(0);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%.03f", double(w.lastWeight()) * 0.001);
    const std::string weight = ItemText(w.hWnd, IDC_WEIGHT);
    const bool shown = weight == expected && weight != before && ItemText(w.hWnd, IDC_RESULT_NAME) == "OPOS_SUCCESS" &&
                       ItemText(w.hWnd, IDC_RESULT_HEX) == "00000000" &&
                       ItemText(w.hWnd, IDC_CAPACITY).rfind("Max Weight 15 Kg", 0) == 0;
    bool painted = !GetUpdateRect(w.hWnd, nullptr, FALSE);
    for (HWND item = GetWindow(w.hWnd, GW_CHILD); item; item = GetWindow(item, GW_HWNDNEXT))
        painted = painted && !GetUpdateRect(item, nullptr, FALSE);
    if (!(gaugeInvalid && shown && painted))
        std::fprintf(stderr, "bench_win_read: a read in the %s %s (weight \"%s\" after \"%s\", expected \"%s\")\n",
                     w.name, !gaugeInvalid ? "left the gauge as it was" : !shown ? "did not show its reading" : "left items unpainted",
                     weight.c_str(), before.c_str(), expected);
    return gaugeInvalid && shown && painted;
}

// Each window has the screen to itself in turn, at the same place, active and painted through.
void ShowAlone(const Window& w, const Window& other)
{
    ShowWindow(other.hWnd, SW_HIDE);
    SetWindowPos(w.hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    SetActiveWindow(w.hWnd);
    RedrawWindow(w.hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    AfxPumpMessages(0);
}

// Microseconds per read over a batch, the window alone on the screen.
double Batch(const Window& w, const Window& other, int reads)
{
    ShowAlone(w, other);
    const double start = bench::MicrosecondsNow();
    for (int i = 0; i < reads; ++i)
        Read(w);
    return (bench::MicrosecondsNow() - start) / reads;
}

// Every item of the console's template at the same place and of the same size in both windows.
bool SameLayout(HWND console, HWND floor)
{
    const AFX_DLGTEMPLATE* tpl = AfxFindDialogTemplate(IDD_CONSOLE);
    int compared = 0;
    for (const AFX_DLGITEMTEMPLATE& item : tpl ? tpl->items : std::span<const AFX_DLGITEMTEMPLATE>()) {
        if (item.id == IDC_STATIC)
            continue;
        RECT a{}, b{};
        const HWND inConsole = GetDlgItem(console, item.id), inFloor = GetDlgItem(floor, item.id);
        if (!inConsole || !inFloor)
            return false;
        GetWindowRect(inConsole, &a);
        GetWindowRect(inFloor, &b);
        MapWindowPoints(nullptr, console, reinterpret_cast<POINT*>(&a), 2);
        MapWindowPoints(nullptr, floor, reinterpret_cast<POINT*>(&b), 2);
        if (!EqualRect(&a, &b))
            return false;
        ++compared;
    }
    return compared == 15;
}

SIZE ClientSize(HWND hWnd)
{
    RECT rc{};
    GetClientRect(hWnd, &rc);
    return {rc.right, rc.bottom};
}

bool Measure(CWeighConsoleDlg& console, const bench::ZeroLatencyScale& scale, int batches, int reads)
{
    const HWND consoleWnd = console.GetImpl()->m_hWnd;
    AfxClickItem(console, IDC_OPEN_DEVICE);
    if (ItemText(consoleWnd, IDC_RESULT_NAME) != "OPOS_SUCCESS") {
        std::fprintf(stderr, "bench_win_read: Open showed %s\n", ItemText(consoleWnd, IDC_RESULT_NAME).c_str());
        return false;
    }
    bench::FloorDialog floor;
    const HWND floorWnd = floor.Create();
    if (!floorWnd) {
        std::fprintf(stderr, "bench_win_read: the floor dialog could not be made\n");
        return false;
    }
    const SIZE c = ClientSize(consoleWnd), f = ClientSize(floorWnd);
    std::printf("window_tarabo_px %ldx%ld\nwindow_floor_px %ldx%ld\n", c.cx, c.cy, f.cx, f.cy);
    if (c.cx != f.cx || c.cy != f.cy || !SameLayout(consoleWnd, floorWnd)) {
        std::fprintf(stderr, "bench_win_read: the floor is not the console's size and layout\n");
        return false;
    }

    const Window tarabo{"console", consoleWnd, [&] { return scale.LastWeight(); }};
    const Window bare{"floor", floorWnd, [&] { return bench::ReadingFor(floor.Reads(), 0).weight; }};
    ShowAlone(tarabo, bare);
    const bool taraboReads = ReadRepaints(tarabo);
    ShowAlone(bare, tarabo);
    if (!taraboReads || !ReadRepaints(bare))
        return false;
    Batch(tarabo, bare, reads);
    Batch(bare, tarabo, reads);
    std::vector<double> taraboUs, floorUs;
    for (int b = 0; b < batches; ++b) {
        // Each goes first every other batch.
        const bool taraboFirst = b % 2 == 0;
        const double first = taraboFirst ? Batch(tarabo, bare, reads) : Batch(bare, tarabo, reads);
        const double second = taraboFirst ? Batch(bare, tarabo, reads) : Batch(tarabo, bare, reads);
        taraboUs.push_back(taraboFirst ? first : second);
        floorUs.push_back(taraboFirst ? second : first);
        std::fprintf(stderr, "  batch %d: console %.1f µs, floor %.1f µs per read\n", b + 1, taraboUs.back(),
                     floorUs.back());
    }
    std::printf("read_batches %d\nread_batch_reads %d\n", batches, reads);
    std::printf("win_read_tarabo_us %.2f\nwin_read_floor_us %.2f\n", bench::Median(taraboUs), bench::Median(floorUs));
    return true;
}

int Option(int argc, char** argv, const char* name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return std::max(1, std::atoi(argv[i + 1]));
    return fallback;
}

}

int main(int argc, char** argv)
{
    const int batches = Option(argc, argv, "--batches", 7);
    const int reads = Option(argc, argv, "--reads", 300);
    AfxTestStartup(argc, argv);
    AfxEnableControlContainer();
    auto scale = std::make_shared<bench::ZeroLatencyScale>();
    opos::ServiceOverride guard(scale);
    bool ok = false;
    {
        CWeighConsoleDlg console;
        AfxRunModal(console, [&] {
            ok = Measure(console, *scale, batches, reads);
            AfxClickItem(console, IDOK);
        });
    }
    AfxTestShutdown();
    return ok ? 0 : 1;
}
