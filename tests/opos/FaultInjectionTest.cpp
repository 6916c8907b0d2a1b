// The faults a counter sees, one row each, through tarabo-scales as the technician runs it: what
// it prints and its exit status, and that nothing else breaks: no descriptor is left open, the
// port is left as it was found, and afterwards the claim is free and the next read works.
// Serial scales answer on pseudo-terminals, HID scales through the fake hidraw system, and
// replay from a capture written by the recorder's own functions.
#include "tests/support/FakeSerialScale.h"
#include "tests/opos/HidTestScale.h"
#include "tests/opos/ScaleTestSupport.h"

#include "opos/hid/Hidraw.h"
#include "opos/replay/Capture.h"
#include "opos/serial/SerialLine.h"
#include "scales-tool/ScalesTool.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <termios.h>

// While set, every write to a tty writes at most one byte: the short write a busy line gives,
// made here without a seam in the code under test (this program's write comes first).
static std::atomic<bool> shortWrites{false};
extern "C" ssize_t write(int fd, const void* bytes, size_t size)
{
    static const auto real = reinterpret_cast<ssize_t (*)(int, const void*, size_t)>(dlsym(RTLD_NEXT, "write"));
    int pty = 0; // the scale's side of a pseudo-terminal, not a fake's
    return real(fd, bytes, shortWrites && size > 1 && isatty(fd) && ioctl(fd, TIOCGPTN, &pty) != 0 ? 1 : size);
}

using namespace opos;
using Pieces = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

int openDescriptors() { return int(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator())); }

// The settings and the exclusive mode of a tty, as another program would find them.
std::string portState(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    int exclusive = -1;
    if (fd < 0 || tcgetattr(fd, &tio) != 0 || ioctl(fd, TIOCGEXCL, &exclusive) != 0)
        return path + ": " + std::strerror(errno);
    ::close(fd);
    return std::to_string(tio.c_iflag) + " " + std::to_string(tio.c_oflag) + " " + std::to_string(tio.c_cflag) + " " +
           std::to_string(tio.c_lflag) + " " + std::to_string(cfgetospeed(&tio)) + " excl " + std::to_string(exclusive);
}

// Every system call of the thread that made it is interrupted by a signal (no SA_RESTART), for
// as long as it lives.
class SignalStorm
{
public:
    SignalStorm() : m_target(pthread_self())
    {
        struct sigaction action{};
        action.sa_handler = [](int) {};
        sigaction(SIGUSR1, &action, &m_previous);
        m_thread = std::thread([this] {
            while (!m_stop)
                pthread_kill(m_target, SIGUSR1), std::this_thread::sleep_for(std::chrono::microseconds(200));
        });
    }
    ~SignalStorm()
    {
        m_stop = true;
        m_thread.join();
        sigaction(SIGUSR1, &m_previous, nullptr);
    }

private:
    pthread_t m_target;
    struct sigaction m_previous{};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

const std::string kStable = "S S      1.250 g\r\n";
const std::string kStream = "ST,GS,+  1.250kg\r\n";
const hidtest::Bytes kStale{0x03, 0x04, 0x02, 0x00, 0xF4, 0x01}, kWeighing{0x03, 0x04, 0x0B, 0xFF, 0x4E, 0x00}; // 7.8 oz

class FaultInjection : public ::testing::Test
{
public: // the rows' lambdas arrange through these
    // MT-SICS on a fake that answers each weight request with `answer`.
    std::string Sics(std::function<Pieces(int n)> answer)
    {
        serial = std::make_unique<FakeSerialScale>('\n', [answer](const std::string& request, int, std::int64_t) {
            return request == "I2\r\n" ? Pieces{"I2 A \"Fake 3100.0 g\"\r\n"} : answer(requests++);
        });
        requests = 0;
        return "driver = serial\nprotocol = sics\ndevice = " + serial->Path() + "\n";
    }
    // A scale that sends the n-th frame every `periodMs` unasked.
    std::string Stream(int periodMs, std::function<Pieces(int n)> frame)
    {
        serial = std::make_unique<FakeSerialScale>("\n", [frame](const std::string&, int n, std::int64_t) { return frame(n); }, periodMs);
        return "driver = serial\nprotocol = text-stream\ntimeout = 300\ndevice = " + serial->Path() + "\n";
    }
    // The HID scale as /dev/hidraw1, its stale first report and `reports` waiting when it opens.
    std::string Hid(hidtest::Bytes descriptor, std::vector<hidtest::Bytes> sent)
    {
        hid.Use(std::move(descriptor), hidtest::kLimit15kg);
        opens = 0;
        nodes = {{"/dev/hidraw1", "Test Shipping Scale", 0x0922, 0x8003, true}};
        reports = std::move(sent);
        return "driver = hid\ndevice = auto\n";
    }
    // Runs the tool with `args`, `during` on a thread of its own meanwhile.
    int Run(const std::vector<std::string>& args, std::function<void(FaultInjection&)> during = {})
    {
        out.str("");
        err.str("");
        std::thread beside;
        if (during)
            beside = std::thread([this, during] { during(*this); });
        const int status = RunScalesTool(args, out, err);
        if (beside.joinable())
            beside.join();
        return status;
    }

    TestConfigFiles conf;
    std::unique_ptr<FakeSerialScale> serial;
    static inline int requests = 0;
    hidtest::FakeHidScale hid;
    std::vector<HidrawNode> nodes;
    std::vector<hidtest::Bytes> reports;
    std::atomic<int> opens{0};
    HidrawSystemOverride system{{[this] { return nodes; },
                                 [this](const std::string& path) {
                                     if (std::none_of(nodes.begin(), nodes.end(), [&](const HidrawNode& n) { return n.path == path; }))
                                         throw DeviceError(OPOS_E_NOHARDWARE, path + ": no such device: is the scale plugged in?");
                                     ++opens;
                                     HidConnection c = hid.Connection();
                                     c.path = path;
                                     for (const hidtest::Bytes& report : reports)
                                         hid.Send(report);
                                     return c;
                                 }}};
    std::unique_ptr<ScaleDriver> console;   // another program holding the claim
    std::unique_ptr<serial::SerialLine> holder; // another program holding the port
    StringOut out, err;
    fs::path dir = fs::temp_directory_path() / ("tarabo-faults-" + std::to_string(::getpid()));
};

// Waits (up to 5 s) until `ready` holds, then `ms` more: a busy machine may be slow to get there.
template <class Ready>
void once(Ready ready, int ms)
{
    for (int i = 0; i < 500 && !ready(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}

TEST_F(FaultInjection, EachFaultGivesItsResultAndMessageAndLeavesNothingBehind)
{
    using F = FaultInjection;
    fs::create_directories(dir);
    const std::string name = UniqueName("FAULT");
    const auto read = [&](const char* timeoutMs) { return std::vector<std::string>{"read", name, "--timeout", timeoutMs}; };
    const struct {
        const char* what;
        std::function<std::string(F&)> arrange; // the section's keys
        std::vector<std::string> args;
        std::function<void(F&)> during;
        int status;
        std::vector<const char*> printed; // each somewhere in what the tool prints
    } rows[] = {
        {"silent mid-frame", [](F& f) { return f.Sics([](int) { return Pieces{"S S      1."}; }); }, read("300"), {}, 1,
         {"ReadWeight: OPOS_E_TIMEOUT"}},
        {"hang-up mid-frame", [](F& f) { return f.Sics([](int) { return Pieces{"S S   "}; }); }, read("3000"),
         [](F& f) { once([&] { return f.serial->Requests() >= 2; }, 50), f.serial->HangUp(); }, 1, {"ReadWeight: OPOS_E_OFFLINE"}},
        {"a frame a millisecond", [](F& f) { return f.Stream(1, [](int) { return Pieces{kStream}; }); }, read("1000"), {}, 0,
         {"1.250 Kg"}},
        {"every byte a parity or framing error (a NUL each)",
         [](F& f) { return f.Sics([](int) { return Pieces{std::string(12, '\0') + "\r\n"}; }); }, read("500"), {}, 1,
         {"ReadWeight: OPOS_E_TIMEOUT", "answer not understood: 00 00"}},
        {"a valid frame, then garbage forever",
         [](F& f) {
             // The valid frame is out before the tool opens the line, however slow the fake starts.
             static std::atomic<int> sent;
             sent = 0;
             std::string section = f.Stream(10, [](int n) { sent = n + 1; return Pieces{n == 0 ? kStream : "\xff\x13garbage\x80\r\n"}; });
             for (int waited = 0; sent < 2 && waited < 5000; waited += 5)
                 std::this_thread::sleep_for(std::chrono::milliseconds(5));
             return section;
         },
         read("500"), {},
         1, {"ReadWeight: OPOS_E_TIMEOUT", "answer not understood: ", "garbage.....garbage"}},
        {"a signal interrupts every system call (serial)", [](F& f) { return f.Sics([](int) { return Pieces{kStable}; }); },
         read("2000"), {}, 0, {"1.250 g"}},
        {"every write is short (a byte at a time)", [](F& f) { return shortWrites = true, f.Sics([](int) { return Pieces{kStable}; }); },
         read("2000"), {}, 0, {"1.250 g"}},
        {"the port is held by another program",
         [](F& f) {
             const std::string section = f.Sics([](int) { return Pieces{kStable}; });
             f.holder = std::move(serial::SerialLine::Open(f.serial->Path(), {}).line);
             return section;
         },
         read("300"), {}, 1, {"Open: OPOS_E_NOHARDWARE", "busy: another program has the port open"}},
        {"the console holds the claim",
         [](F& f) {
             const std::string section = f.Hid(hidtest::kScaleDescriptor, {kStale, kWeighing});
             f.conf.Write("[" + UniqueName("FAULT") + "]\n" + section);
             f.console = std::make_unique<ScaleDriver>();
             f.console->Enable(UniqueName("FAULT"), 2);
             return section;
         },
         read("300"), {}, 1, {"Claim: OPOS_E_TIMEOUT"}},
        {"record to a full disk", [](F& f) { return f.Sics([](int) { return Pieces{kStable}; }); },
         {"record", name, "/dev/full", "--for", "300"}, {}, 1,
         {"/dev/full: cannot write: No space left on device; the capture is cut short"}},
        {"over capacity", [](F& f) { return f.Sics([](int) { return Pieces{"S +\r\n"}; }); }, read("300"), {}, 1,
         {"ReadWeight: OPOS_E_EXTENDED (00000072), extended 201\n"}},
        {"under zero", [](F& f) { return f.Sics([](int) { return Pieces{"S -\r\n"}; }); }, read("300"), {}, 1,
         {"ReadWeight: OPOS_E_EXTENDED (00000072), extended 202\n"}},
        {"the HID node goes mid-read and comes back as another",
         [](F& f) { return f.Hid(hidtest::kScaleDescriptor, {kStale}); }, read("2000"),
         [](F& f) { once([&] { return f.opens > 0; }, 100), f.hid.Unplug(), f.nodes = {{"/dev/hidraw4", "Test Shipping Scale", 0x0922, 0x8003, true}}; }, 1,
         {"ReadWeight: OPOS_E_OFFLINE"}},
        {"HID reports of a length the descriptor does not declare",
         [](F& f) { return f.Hid(hidtest::kScaleDescriptor, {kStale, {0x03, 0x04}, {0x03, 0x04, 0x0B, 0xFF, 0x4E, 0x00, 0x00, 0x07}}); },
         read("300"), {}, 0, {"7.800 oz"}},
        {"a HID descriptor that declares no weight", [](F& f) { return f.Hid(hidtest::kMouseDescriptor, {}); }, read("300"), {}, 1,
         {"Open: OPOS_E_NOHARDWARE", "is not a HID POS scale"}},
        {"a signal interrupts every system call (HID)", [](F& f) { return f.Hid(hidtest::kScaleDescriptor, {kStale, kWeighing}); },
         read("2000"), {}, 0, {"7.800 oz"}},
        {"a replayed scale whose name has a line break and bytes that are not UTF-8",
         [](F& f) {
             CaptureHeader header;
             header.driver = "hid", header.device = "/dev/hidraw1", header.name = "Counter\r\nScale\t\\x41 \xF5\x80\x80";
             header.vendor = 0x0922, header.product = 0x8003, header.descriptor = hidtest::kScaleDescriptor;
             header.features = {hidtest::kLimit15kg};
             std::ofstream(f.dir / "name.cap") << CaptureHeaderText(header)
                                               << CaptureEventLine({0, CaptureDirection::Received, kStale})
                                               << CaptureEventLine({0, CaptureDirection::Received, kWeighing});
             return "driver = replay\nfile = " + (f.dir / "name.cap").string() + "\n";
         },
         read("1000"), {}, 0, {"Counter\r\nScale\t\\x41 \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD (USB HID scale 0922:8003", "7.800 oz"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const int descriptors = openDescriptors();
        conf.Write("[" + name + "]\n" + row.arrange(*this));
        const std::string port = serial ? portState(serial->Path()) : "";
        int status;
        if (std::string(row.what).find("signal") != std::string::npos) {
            SignalStorm storm;
            status = Run(row.args, row.during);
        } else {
            status = Run(row.args, row.during);
        }
        EXPECT_EQ(status, row.status) << out.str() << err.str();
        for (const char* printed : row.printed)
            EXPECT_NE((out.str() + err.str()).find(printed), std::string::npos) << out.str() << err.str();
        if (serial && std::string(row.what).find("hang-up") == std::string::npos) {
            EXPECT_EQ(portState(serial->Path()), port) << "the port is left as it was found";
        }
        console.reset();
        holder.reset();
        shortWrites = false;
        // The claim is free and the next read works: the HID scale wherever it now is, a serial one anew.
        const std::vector<HidrawNode> now = nodes;
        conf.Write("[" + name + "]\n" +
                   (now.empty() ? Sics([](int) { return Pieces{kStable}; }) : Hid(hidtest::kScaleDescriptor, {kStale, kWeighing})));
        if (!now.empty())
            nodes = now;
        EXPECT_EQ(Run(read("1000")), 0) << out.str() << err.str();
        EXPECT_EQ(out.str().find("Test Shipping Scale (USB HID scale 0922:8003, " + (now.empty() ? "" : now[0].path)),
                  now.empty() ? std::string::npos : 0u) << out.str();
        serial.reset();
        hid.Unplug();
        nodes.clear();
        EXPECT_EQ(openDescriptors(), descriptors) << "no descriptor is left open";
    }
    fs::remove_all(dir);
}
