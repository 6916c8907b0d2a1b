#include "opos/hid/Hidraw.h"

#include "opos/ResultCodes.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace opos {

namespace {
std::string readAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool isScaleDescriptor(const std::vector<std::uint8_t>& bytes)
{
    HidDescriptor descriptor;
    HidScaleLayout layout;
    std::string why;
    return ParseHidDescriptor(bytes.data(), bytes.size(), descriptor, why) && FindScaleLayout(descriptor, layout, why);
}

// HID_ID=0003:00000922:00008003 and HID_NAME=... from a hid device's uevent.
void readUevent(const std::string& text, HidrawNode& node)
{
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        unsigned bus = 0, vendor = 0, product = 0;
        if (std::sscanf(line.c_str(), "HID_ID=%x:%x:%x", &bus, &vendor, &product) == 3)
            node.vendor = std::uint16_t(vendor), node.product = std::uint16_t(product);
        else if (line.rfind("HID_NAME=", 0) == 0)
            node.name = line.substr(9);
        start = end + 1;
    }
}

std::string openFailure(const std::string& path, int error)
{
    if (error == EACCES || error == EPERM)
        return path + ": permission denied: \"tarabo-scales doctor " + path + "\" says why and the command that fixes it "
                      "(often: install the udev rule 60-tarabo-scales.rules and plug the scale in again)";
    if (error == ENOENT || error == ENODEV || error == ENXIO)
        return path + ": no such device: is the scale plugged in? (tarabo-scales list shows the scales present)";
    return path + ": " + std::strerror(error);
}

// A feature or input report by id through the control pipe; empty when the device refuses.
std::vector<std::uint8_t> getReport(int fd, bool feature, std::uint8_t reportId, std::size_t length)
{
    std::vector<std::uint8_t> report(std::max<std::size_t>(length, 2));
    report[0] = reportId;
    const int got = ::ioctl(fd, feature ? HIDIOCGFEATURE(report.size()) : HIDIOCGINPUT(report.size()), report.data());
    report.resize(got > 0 ? std::size_t(got) : 0);
    return report;
}

std::string goneWhy(int error)
{
    const bool pulled = error == 0 || error == ENODEV || error == EIO || error == ENXIO;
    return std::string(pulled ? "the scale was unplugged" : "reading from the scale failed") + " (read: " +
           (error ? std::strerror(error) : "the device closed") + ")";
}

// A hidraw node's descriptor (or a test's socket with the same calls on its side).
class HidrawSource : public HidReportSource
{
public:
    explicit HidrawSource(HidConnection connection)
        : m_c(std::move(connection)), m_reports(Checked(m_c))
    {
        ::fcntl(m_c.fd, F_SETFL, ::fcntl(m_c.fd, F_GETFL) | O_NONBLOCK);
    }
    ~HidrawSource() override { ::close(m_c.fd); }
    HidrawSource(const HidrawSource&) = delete;
    HidrawSource& operator=(const HidrawSource&) = delete;

    CaptureHeader Device() const override
    {
        CaptureHeader h;
        h.driver = "hid";
        h.device = m_c.path;
        h.name = m_c.name;
        h.vendor = m_c.vendor;
        h.product = m_c.product;
        h.descriptor = m_c.descriptor;
        if (!m_limit.empty())
            h.features.push_back(m_limit);
        return h;
    }
    std::optional<ScaleReport> WeightLimit() override
    {
        const auto& layout = m_reports.Layout().weightLimit;
        if (!layout || !m_c.feature)
            return std::nullopt;
        m_limit = m_c.feature(layout->reportId, layout->Size());
        return m_reports.Limit(m_limit);
    }
    bool Decode(const HidBytes& report, ScaleReport& out, std::string& why) override { return m_reports.Decode(report, out, why); }
    WaitHandle Waitable() const override { return m_c.fd; }
    Read ReadReport(HidBytes& report, std::string& why) override
    {
        report.resize(kReportBuffer);
        for (;;) {
            const ssize_t got = ::read(m_c.fd, report.data(), report.size());
            if (got > 0) {
                report.resize(std::size_t(got));
                return Read::Report;
            }
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return Read::Nothing;
            // The end: the peer hung up (0) or the device went (ENODEV, EIO).
            why = goneWhy(got == 0 ? 0 : errno);
            return Read::Gone;
        }
    }
    HidBytes AskCurrent() override
    {
        const ScaleReportLayout& data = m_reports.Layout().data;
        return m_c.input ? m_c.input(data.reportId, data.Size()) : HidBytes{};
    }
    Zero SendZero(HidBytes& sent) override
    {
        sent = m_reports.ZeroReport();
        if (sent.empty())
            return Zero::NoControl;
        const bool done = m_reports.ZeroIsOutput() ? ::write(m_c.fd, sent.data(), sent.size()) == ssize_t(sent.size())
                                                   : m_c.setFeature && m_c.setFeature(sent);
        return done ? Zero::Sent : Zero::Failed;
    }

private:
    static constexpr std::size_t kReportBuffer = 4096;
    // The descriptor's layout; the descriptor closed when it describes no scale.
    static DescribedScaleReports Checked(const HidConnection& c)
    {
        try {
            return DescribedScaleReports(c.descriptor, c.path + " (" + c.name + ")");
        } catch (const DeviceError&) {
            ::close(c.fd);
            throw;
        }
    }

    HidConnection m_c;
    DescribedScaleReports m_reports;
    HidBytes m_limit;
};

const HidrawSystem& realSystem()
{
    static const HidrawSystem system{[] { return ListHidrawNodes(); }, OpenHidrawNode};
    return system;
}

std::atomic<const HidrawSystem*> g_system{nullptr};
}

std::vector<HidrawNode> ListHidrawNodes(const std::string& sysfsRoot)
{
    std::vector<HidrawNode> nodes;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(sysfsRoot, error)) {
        HidrawNode node;
        node.path = "/dev/" + entry.path().filename().string();
        readUevent(readAll(entry.path() / "device" / "uevent"), node);
        const std::string descriptor = readAll(entry.path() / "device" / "report_descriptor");
        node.scale = isScaleDescriptor(std::vector<std::uint8_t>(descriptor.begin(), descriptor.end()));
        nodes.push_back(node);
    }
    // hidraw10 after hidraw9
    std::sort(nodes.begin(), nodes.end(), [](const HidrawNode& a, const HidrawNode& b) {
        return std::make_pair(a.path.size(), a.path) < std::make_pair(b.path.size(), b.path);
    });
    return nodes;
}

HidConnection OpenHidrawNode(const std::string& path)
{
    HidConnection c;
    c.path = path;
    c.fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (c.fd < 0)
        throw DeviceError(OPOS_E_NOHARDWARE, openFailure(path, errno));
    int size = 0;
    hidraw_report_descriptor descriptor{};
    hidraw_devinfo info{};
    char name[256] = {};
    if (::ioctl(c.fd, HIDIOCGRDESCSIZE, &size) < 0 || size < 0 || size > HID_MAX_DESCRIPTOR_SIZE ||
        (descriptor.size = std::uint32_t(size), ::ioctl(c.fd, HIDIOCGRDESC, &descriptor) < 0) ||
        ::ioctl(c.fd, HIDIOCGRAWINFO, &info) < 0 || ::ioctl(c.fd, HIDIOCGRAWNAME(sizeof name - 1), name) < 0) {
        const int error = errno;
        ::close(c.fd);
        throw DeviceError(OPOS_E_NOHARDWARE, path + ": not a hidraw device (" + std::strerror(error) + ")");
    }
    c.descriptor.assign(descriptor.value, descriptor.value + size);
    c.name = name;
    c.vendor = std::uint16_t(info.vendor);
    c.product = std::uint16_t(info.product);
    const int fd = c.fd;
    c.feature = [fd](std::uint8_t reportId, std::size_t length) { return getReport(fd, true, reportId, length); };
    c.input = [fd](std::uint8_t reportId, std::size_t length) { return getReport(fd, false, reportId, length); };
    c.setFeature = [fd](const std::vector<std::uint8_t>& report) {
        std::vector<std::uint8_t> copy = report;
        return ::ioctl(fd, HIDIOCSFEATURE(copy.size()), copy.data()) >= 0;
    };
    return c;
}

std::vector<HidrawNode> ListHidDevices() { return CurrentHidrawSystem().list(); }

std::unique_ptr<HidScale> OpenHidConnection(HidConnection connection)
{
    return std::make_unique<HidScale>(std::make_unique<HidrawSource>(std::move(connection)));
}

std::unique_ptr<IScaleDevice> OpenHidScaleAt(const std::string& path)
{
    return OpenHidConnection(CurrentHidrawSystem().open(path));
}

const HidrawSystem& CurrentHidrawSystem()
{
    const HidrawSystem* system = g_system.load();
    return system ? *system : realSystem();
}

HidrawSystemOverride::HidrawSystemOverride(HidrawSystem system)
    : m_previous(nullptr), m_system(std::move(system))
{
    m_previous = g_system.exchange(&m_system);
}

HidrawSystemOverride::~HidrawSystemOverride() { g_system.store(m_previous); }

}
