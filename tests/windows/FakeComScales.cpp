// A Linux program for the Windows serial tests: Toledo scales at the far ends of pseudo-terminals,
// each linked as a COM port of the Wine prefix (Wine opens \\.\COMn as dosdevices/comN).
//   fake_com_scales DOSDEVICES
// com9 weighs 1.250 kg, settled; com10 is in motion for three requests out of four, settled at
// 1.250 kg at the fourth (so a read gets the weight only by asking again); com11 is over
// capacity; com12 answers
// its first request with 1.250 kg and hangs up at the second, then comes back on a fresh line for
// whoever opens it next. It says "ready" once the links are there and runs until SIGTERM or
// SIGINT (or an hour, so that it never outlives a broken run for long).
#include "tests/support/FakeSerialScale.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

namespace fs = std::filesystem;
using Pieces = std::vector<std::string>;

namespace {
const std::string kStable = "\x02" "001.25\r", kMotion = "\x02?a\r", kOver = "\x02?b\r";

void link(const fs::path& dosdevices, const std::string& port, const std::string& target)
{
    const fs::path fresh = dosdevices / (port + ".new");
    fs::remove(fresh);
    fs::create_symlink(target, fresh);
    fs::rename(fresh, dosdevices / port);
}

std::unique_ptr<FakeSerialScale> always(const std::string& answer)
{
    return std::make_unique<FakeSerialScale>('W', [answer](const std::string&, int, std::int64_t) { return Pieces{answer}; });
}
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fake_com_scales DOSDEVICES\n");
        return 2;
    }
    const fs::path dosdevices = argv[1];
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    sigprocmask(SIG_BLOCK, &stop, nullptr);

    std::atomic<bool> hangUp{false};
    const auto hangingUp = [&hangUp] {
        return std::make_unique<FakeSerialScale>('W', [&hangUp](const std::string&, int n, std::int64_t) {
            if (n > 0)
                hangUp = true;
            return n == 0 ? Pieces{kStable} : Pieces{};
        });
    };
    const auto stable = always(kStable), over = always(kOver);
    const auto motion = std::make_unique<FakeSerialScale>('W', [](const std::string&, int n, std::int64_t) {
        return Pieces{n % 4 == 3 ? kStable : kMotion};
    });
    std::unique_ptr<FakeSerialScale> once = hangingUp();
    link(dosdevices, "com9", stable->Path());
    link(dosdevices, "com10", motion->Path());
    link(dosdevices, "com11", over->Path());
    link(dosdevices, "com12", once->Path());
    std::printf("ready\n");
    std::fflush(stdout);

    const timespec tick{0, 50 * 1000 * 1000};
    for (int ticks = 0; ticks < 3600 * 20; ++ticks) {
        if (sigtimedwait(&stop, nullptr, &tick) > 0)
            break;
        if (hangUp.exchange(false)) {
            once->HangUp();
            std::unique_ptr<FakeSerialScale> next = hangingUp();
            link(dosdevices, "com12", next->Path());
            once = std::move(next); // the old line's pty goes now, its far end already closed
        }
    }
    for (const char* port : {"com9", "com10", "com11", "com12"})
        fs::remove(dosdevices / port);
    return 0;
}
