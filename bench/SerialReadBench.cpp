// ReadWeight on a serial scale at the far end of a pseudo-terminal (an MT-SICS fake that answers
// at once):
// - the time per read through the control as the console calls it (ClearInput, then ReadWeight),
//   against the raw request/answer round trip with the same fake (write, poll, read the line);
// - the CPU a read uses while it waits a whole time-out for a scale in motion, as a share of
//   one core (the fake's own thread not counted).
// Prints "name value" lines; medians of 7 batches.
#include "ControlCalls.h"
#include "FakeSerialScale.h"

#include "opos/DeviceRegistry.h"
#include "opos/Opos.h"
#include "opos/serial/SerialScale.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace bench;
using Clock = std::chrono::steady_clock;
constexpr int kBatches = 7, kReadsPerBatch = 1000;
const std::string kRequest = "SI\r\n";

// Microseconds per read over one batch; -1 when a read fails.
template <class Read>
double MicrosecondsPerRead(Read read)
{
    const auto start = Clock::now();
    for (int i = 0; i < kReadsPerBatch; ++i)
        if (!read())
            return -1;
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kReadsPerBatch;
}

// The floor: what any program pays per request and answer on the same line.
double RawRoundTripUs(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
    const double us = MicrosecondsPerRead([fd] {
        if (::write(fd, kRequest.data(), kRequest.size()) != ssize_t(kRequest.size()))
            return false;
        std::string answer;
        while (answer.empty() || answer.back() != '\n') {
            pollfd entry{fd, POLLIN, 0};
            char buffer[64];
            if (::poll(&entry, 1, 1000) != 1)
                return false;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                answer.append(buffer, std::size_t(n));
        }
        return true;
    });
    ::close(fd);
    return us;
}

// The control, opened, claimed and enabled on the installed scale, closed when it goes.
struct EnabledScale
{
    std::unique_ptr<CHostedControl> control = AfxCreateControlInstance(opos::kScaleControlClsid);
    LONG opened = -1;
    EnabledScale()
    {
        LONG result = -1;
        AfxInvokeHelper<LONG, const char*>(control.get(), opos::dispid::Open, DISPATCH_METHOD, VT_I4, &opened, VTS_BSTR, "SERIALBENCH");
        AfxInvokeHelper<LONG, LONG>(control.get(), opos::dispid::Claim, DISPATCH_METHOD, VT_I4, &result, VTS_I4, 0);
        AfxSetProperty(control.get(), opos::dispid::DeviceEnabled, VT_BOOL, LONG(1));
    }
    ~EnabledScale() { Method(control.get(), opos::dispid::Close); }
};

}

int main()
{
    std::atomic<bool> moving{false};
    FakeSerialScale fake('\n', [&](const std::string&, int, std::int64_t) -> std::vector<std::string> {
        return {moving ? "S D      1.170 kg\r\n" : "S S      1.250 kg\r\n"};
    });
    const opos::serial::SerialSettings settings{fake.Path(), opos::serial::Protocol::Sics, {9600, {8, 'N', 1}}};
    opos::DeviceInstallation device(u"SERIALBENCH", [&] { return std::make_unique<opos::serial::SerialScale>(settings); });

    // Batches of the two alternate, so a busy machine slows both alike; the line is held by one
    // of them at a time.
    std::vector<double> tarabo, floor;
    for (int b = 0; b < kBatches; ++b) {
        {
            EnabledScale scale;
            tarabo.push_back(MicrosecondsPerRead([&] {
                LONG weight = 0;
                Method(scale.control.get(), opos::dispid::ClearInput);
                return ReadWeight(scale.control.get(), weight, 1000) == OPOS_SUCCESS && weight == 1250;
            }));
        }
        floor.push_back(RawRoundTripUs(fake.Path()));
    }
    if (std::count(tarabo.begin(), tarabo.end(), -1.0) || std::count(floor.begin(), floor.end(), -1.0)) {
        std::fprintf(stderr, "serial bench: a read failed\n");
        return 1;
    }
    std::printf("serial_read_tarabo_us %.3f\n", Median(tarabo));
    std::printf("serial_read_floor_us %.3f\n", Median(floor));

    // A whole time-out in motion: the read asks again after each answer and sleeps in between.
    constexpr LONG kTimeoutMs = 3000;
    EnabledScale scale;
    moving = true;
    const int requestsBefore = fake.Requests();
    LONG weight = 0;
    const double cpuStart = ThreadCpuSeconds();
    const auto start = Clock::now();
    const LONG result = ReadWeight(scale.control.get(), weight, kTimeoutMs);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = ThreadCpuSeconds() - cpuStart;
    std::printf("serial_wait_result %ld\n", long(result));
    std::printf("serial_wait_seconds %.3f\n", wall);
    std::printf("serial_wait_requests %d\n", fake.Requests() - requestsBefore);
    std::printf("serial_wait_cpu_percent %.4f\n", 100.0 * cpu / wall);
    return result == OPOS_E_TIMEOUT ? 0 : 1;
}
