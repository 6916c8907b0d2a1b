// ReadWeight on a USB HID scale without the kernel (a SEQPACKET socket pair stands in for hidraw):
// - the time per read when the scale answers at once, through the control as the console calls
//   it (ClearInput, then ReadWeight), against the raw report round trip (send, poll, read);
// - the CPU a read uses while it waits a whole time-out for a scale in motion that reports
//   every 20 ms, as a share of one core.
// Prints "name value" lines; medians of 5 batches.
#include "tests/opos/HidTestScale.h"
#include "bench/ControlCalls.h"

#include "opos/Opos.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include <poll.h>

namespace {

using namespace bench;
using Clock = std::chrono::steady_clock;
constexpr int kBatches = 5, kReadsPerBatch = 20000;
const hidtest::Bytes kStable{0x03, 0x04, 0x02, 0x00, 0x6E, 0x03};
const hidtest::Bytes kMoving{0x03, 0x03, 0x02, 0x00, 0x6E, 0x03};

// The floor: what any program reading the node pays per report.
double RawRoundTripUs()
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0)
        return -1;
    std::vector<double> batches;
    std::uint8_t report[64];
    for (int b = 0; b < kBatches; ++b) {
        const auto start = Clock::now();
        for (int i = 0; i < kReadsPerBatch; ++i) {
            ::send(fds[1], kStable.data(), kStable.size(), 0);
            pollfd entry{fds[0], POLLIN, 0};
            if (::poll(&entry, 1, 1000) != 1 || ::read(fds[0], report, sizeof report) != ssize_t(kStable.size()))
                return -1;
        }
        batches.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kReadsPerBatch);
    }
    ::close(fds[0]);
    ::close(fds[1]);
    return Median(batches);
}

}

int main()
{
    hidtest::FakeHidScale fake;
    opos::DeviceOverride device(u"HIDBENCH", [&] { return opos::OpenHidConnection(fake.Connection()); });
    auto control = AfxCreateControlInstance(opos::kScaleControlClsid);
    LONG result = -1;
    AfxInvokeHelper<LONG, const char*>(control.get(), opos::dispid::Open, DISPATCH_METHOD, VT_I4, &result, VTS_BSTR, "HIDBENCH");
    AfxInvokeHelper<LONG, LONG>(control.get(), opos::dispid::Claim, DISPATCH_METHOD, VT_I4, &result, VTS_I4, 0);
    AfxSetProperty(control.get(), opos::dispid::DeviceEnabled, VT_BOOL, LONG(1));
    fake.Send(kStable); // the stale first report

    std::vector<double> batches;
    for (int b = 0; b < kBatches; ++b) {
        const auto start = Clock::now();
        for (int i = 0; i < kReadsPerBatch; ++i) {
            LONG weight = 0;
            Method(control.get(), opos::dispid::ClearInput);
            fake.Send(kStable);
            if (ReadWeight(control.get(), weight, 1000) != OPOS_SUCCESS || weight != 878000) {
                std::fprintf(stderr, "hid bench: a read failed\n");
                return 1;
            }
        }
        batches.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kReadsPerBatch);
    }
    std::printf("hid_read_tarabo_us %.3f\n", Median(batches));
    std::printf("hid_read_floor_us %.3f\n", RawRoundTripUs());

    // A whole time-out in motion: the scale reports every 20 ms; the read must sleep in between.
    constexpr LONG kTimeoutMs = 3000;
    std::atomic<bool> moving{true};
    std::atomic<int> sent{0};
    std::thread scale([&] {
        while (moving) {
            fake.Send(kMoving);
            ++sent;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    Method(control.get(), opos::dispid::ClearInput);
    LONG weight = 0;
    const double cpuStart = ThreadCpuSeconds();
    const auto start = Clock::now();
    result = ReadWeight(control.get(), weight, kTimeoutMs);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = ThreadCpuSeconds() - cpuStart;
    moving = false;
    scale.join();
    std::printf("hid_wait_result %ld\n", long(result));
    std::printf("hid_wait_seconds %.3f\n", wall);
    std::printf("hid_wait_reports %d\n", sent.load());
    std::printf("hid_wait_cpu_percent %.4f\n", 100.0 * cpu / wall);
    Method(control.get(), opos::dispid::Close);
    return result == OPOS_E_TIMEOUT ? 0 : 1;
}
