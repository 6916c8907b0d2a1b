// Serial scales that misbehave, on pseudo-terminals:
// - a hang-up and reconnect: the time from the cable pulled to the failed read that says so, and
//   from the scale back (a new line, as a USB adapter plugged in again) to the first good reading
//   through the control (Close, Open, Claim, enable, ReadWeight), against the floor: the same
//   line opened raw and the control's two requests (identity, weight) answered;
// - a flooding scale (a stuck key: a frame a millisecond) on an enabled control that nothing
//   reads: the CPU of this process over 3 s, the flood written by a child process so that its
//   cost is not counted.
// Prints "name value" lines; medians of 7.
#include "bench/ControlCalls.h"
#include "bench/ProcessStats.h"
#include "tests/support/FakeSerialScale.h"

#include "opos/DeviceRegistry.h"
#include "opos/Opos.h"
#include "opos/serial/SerialScale.h"

#include <chrono>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace bench;
using Clock = std::chrono::steady_clock;
using Pieces = std::vector<std::string>;
constexpr int kRuns = 7;

double MsSince(Clock::time_point then) { return std::chrono::duration<double, std::milli>(Clock::now() - then).count(); }

FakeSerialScale::Script Sics()
{
    return [](const std::string& request, int, std::int64_t) {
        return request == "I2\r\n" ? Pieces{"I2 A \"Fake 3100.0 g\"\r\n"} : Pieces{"S S      1.250 kg\r\n"};
    };
}

LONG Call(CHostedControl* control, DISPID id, const char* name)
{
    LONG result = -1;
    AfxInvokeHelper<LONG, const char*>(control, id, DISPATCH_METHOD, VT_I4, &result, VTS_BSTR, name);
    return result;
}

// The console's Open, Claim, enable and a read; false when one fails.
bool OpenAndRead(CHostedControl* control, const char* name)
{
    LONG claimed = -1, weight = 0;
    if (Call(control, opos::dispid::Open, name) != OPOS_SUCCESS)
        return false;
    AfxInvokeHelper<LONG, LONG>(control, opos::dispid::Claim, DISPATCH_METHOD, VT_I4, &claimed, VTS_I4, 0);
    AfxSetProperty(control, opos::dispid::DeviceEnabled, VT_BOOL, LONG(1));
    return claimed == OPOS_SUCCESS && ReadWeight(control, weight, 2000) == OPOS_SUCCESS && weight == 1250;
}

// The floor: the line opened raw and what the control asks at Open and at the read (the
// identity, then the weight) written, each answer read.
bool RawOpenAndAsk(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
    bool answered = true;
    for (const char* request : {"I2\r\n", "SI\r\n"}) {
        answered = answered && ::write(fd, request, 4) == 4;
        for (std::string answer; answered && (answer.empty() || answer.back() != '\n');) {
            pollfd entry{fd, POLLIN, 0};
            char buffer[64];
            answered = ::poll(&entry, 1, 2000) == 1;
            if (const ssize_t n = ::read(fd, buffer, sizeof buffer); n > 0)
                answer.append(buffer, std::size_t(n));
        }
    }
    ::close(fd);
    return answered;
}

bool ReconnectRows()
{
    std::string path;
    opos::DeviceOverride device(u"FAULTBENCH", [&] {
        return std::make_unique<opos::serial::SerialScale>(opos::serial::SerialSettings{path, opos::serial::Protocol::Sics, {9600, {8, 'N', 1}}});
    });
    std::vector<double> noticed, tarabo, floor;
    auto fake = std::make_unique<FakeSerialScale>('\n', Sics());
    path = fake->Path();
    auto control = AfxCreateControlInstance(opos::kScaleControlClsid);
    if (!OpenAndRead(control.get(), "FAULTBENCH"))
        return false;
    for (int i = 0; i < kRuns; ++i) {
        const auto pulled = Clock::now();
        fake->HangUp();
        LONG weight = 0;
        if (ReadWeight(control.get(), weight, 2000) != OPOS_E_OFFLINE)
            return false;
        noticed.push_back(MsSince(pulled));
        Method(control.get(), opos::dispid::Close);
        fake = std::make_unique<FakeSerialScale>('\n', Sics());
        path = fake->Path();
        // The floor first, on the same new line, so both find the scale's thread already running.
        const auto rawStart = Clock::now();
        if (!RawOpenAndAsk(path))
            return false;
        floor.push_back(MsSince(rawStart));
        const auto back = Clock::now();
        if (!OpenAndRead(control.get(), "FAULTBENCH"))
            return false;
        tarabo.push_back(MsSince(back));
    }
    Method(control.get(), opos::dispid::Close);
    std::printf("hangup_noticed_ms %.3f\n", Median(noticed));
    std::printf("reconnect_tarabo_ms %.3f\n", Median(tarabo));
    std::printf("reconnect_floor_ms %.3f\n", Median(floor));
    return true;
}

// A child writes a text-stream frame every millisecond to the master until it is killed.
void FloodRow()
{
    int master = -1, slave = -1;
    termios raw{};
    cfmakeraw(&raw);
    char name[256] = {};
    if (openpty(&master, &slave, name, &raw, nullptr) != 0)
        return;
    const pid_t child = fork();
    if (child == 0) {
        fcntl(master, F_SETFL, O_NONBLOCK);
        static const char kFrame[] = "ST,GS,+  1.250kg\r\n";
        for (;;) {
            [[maybe_unused]] const ssize_t n = ::write(master, kFrame, sizeof kFrame - 1);
            ::poll(nullptr, 0, 1);
        }
    }
    const std::string path = name;
    opos::DeviceOverride device(u"FLOODBENCH", [&] {
        return std::make_unique<opos::serial::SerialScale>(
            opos::serial::SerialSettings{path, opos::serial::Protocol::TextStream, {9600, {8, 'N', 1}}});
    });
    auto control = AfxCreateControlInstance(opos::kScaleControlClsid);
    LONG weight = 0;
    const bool opened = OpenAndRead(control.get(), "FLOODBENCH");
    constexpr double kSeconds = 3;
    const double cpuStart = CpuSeconds();
    const auto start = Clock::now();
    ::poll(nullptr, 0, int(kSeconds * 1000));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = CpuSeconds() - cpuStart;
    // Still reading after the flood: the next read takes a fresh frame.
    Method(control.get(), opos::dispid::ClearInput);
    const bool reads = ReadWeight(control.get(), weight, 1000) == OPOS_SUCCESS && weight == 1250;
    Method(control.get(), opos::dispid::Close);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(master);
    ::close(slave);
    std::printf("flood_idle_seconds %.3f\n", wall);
    std::printf("flood_idle_cpu_percent %.4f\n", opened && reads ? 100.0 * cpu / wall : -1.0);
}

}

int main()
{
    if (!ReconnectRows()) {
        std::fprintf(stderr, "fault bench: a read around a hang-up did not give what it should\n");
        return 1;
    }
    FloodRow();
    return 0;
}
