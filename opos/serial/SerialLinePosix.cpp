#include "opos/serial/SerialLine.h"

#include "opos/TrafficTap.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace opos::serial {

namespace {
constexpr std::array<std::pair<int, speed_t>, 8> kBauds{{
    {1200, B1200}, {2400, B2400}, {4800, B4800}, {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
}};

constexpr unsigned kPtySlaveMajor = 136;

std::string openError(int error, const std::string& path)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return path + ": no such device (is the scale plugged in and the path right?)";
    case EACCES:
    case EPERM:
        return path + ": permission denied: \"tarabo-scales doctor " + path + "\" says why and the command that fixes it "
                      "(often: sudo usermod -aG dialout $USER, then log in again)";
    case EBUSY:
    case EWOULDBLOCK:
        return path + ": busy: another program has the port open";
    default:
        return path + ": " + std::strerror(error);
    }
}

// Raw mode with the configured speed and framing; the modem lines are ignored (CLOCAL).
bool configure(int fd, const LineSettings& settings)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    static constexpr std::array<tcflag_t, 4> sizes{CS5, CS6, CS7, CS8};
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD | sizes[std::size_t(settings.framing.dataBits - 5)];
    if (settings.framing.parity != 'N')
        tio.c_cflag |= PARENB | (settings.framing.parity == 'O' ? PARODD : 0);
    if (settings.framing.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    // At least one byte, no timer: a non-blocking read of an empty queue then says EAGAIN, so an
    // end of file can only mean a hang-up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    for (const auto& [baud, speed] : kBauds)
        if (baud == settings.baud)
            cfsetspeed(&tio, speed);
    if (tcsetattr(fd, TCSANOW, &tio) == 0)
        return true;
    // A pseudo-terminal takes the settings but keeps 8 bits without parity, which the C library
    // reports as a failure; a real port that refuses them fails here.
    struct stat st{};
    return errno == EINVAL && fstat(fd, &st) == 0 && major(st.st_rdev) >= kPtySlaveMajor &&
           major(st.st_rdev) < kPtySlaveMajor + 8;
}

void tap(CaptureDirection direction, std::string_view bytes)
{
    if (TrafficTap* tap = CurrentTrafficTap(); tap && !bytes.empty())
        tap->Bytes(direction, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}
}

struct SerialLine::Port
{
    int fd;
    bool exclusive = false; // this line set the tty's exclusive mode, and so clears it
    std::optional<termios> found; // the settings the port had, given back at close
};

SerialLine::SerialLine(std::unique_ptr<Port> port, std::string path) : m_port(std::move(port)), m_path(std::move(path)) {}

WaitHandle SerialLine::Waitable() const { return m_port->fd; }

bool SerialLine::BaudSupported(int baud)
{
    for (const auto& entry : kBauds)
        if (entry.first == baud)
            return true;
    return false;
}

SerialLine::Opened SerialLine::Open(const std::string& path, const LineSettings& settings)
{
    if (!BaudSupported(settings.baud))
        return {nullptr, "baud rate " + std::to_string(settings.baud) + " is not supported"};
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {nullptr, openError(errno, path)};
    std::unique_ptr<SerialLine> line(new SerialLine(std::make_unique<Port>(Port{fd}), path));
    if (!isatty(fd))
        return {nullptr, path + ": not a serial port"};
    // TIOCEXCL keeps other programs out; root passes it, so a lock is taken as well. The lock
    // comes first and the exclusive mode is only set on a port without it: a port another program
    // holds (root got this far) is left exactly as it was, its exclusive mode still on.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return {nullptr, openError(errno, path)};
    int held = 0;
    if (ioctl(fd, TIOCGEXCL, &held) == 0 && held)
        return {nullptr, openError(EBUSY, path)};
    if (ioctl(fd, TIOCEXCL) != 0)
        return {nullptr, openError(errno, path)};
    line->m_port->exclusive = true;
    if (termios found{}; tcgetattr(fd, &found) == 0)
        line->m_port->found = found;
    if (!configure(fd, settings))
        return {nullptr, path + ": cannot set the line up: " + std::strerror(errno)};
    tcflush(fd, TCIOFLUSH);
    return {std::move(line), {}};
}

SerialLine::~SerialLine()
{
    // The port as it was found: its settings, and the exclusive mode, which outlives the
    // descriptor while another one is open.
    if (m_port->found)
        tcsetattr(m_port->fd, TCSANOW, &*m_port->found);
    if (m_port->exclusive)
        ioctl(m_port->fd, TIOCNXCL);
    ::close(m_port->fd);
}

void SerialLine::MarkBadCharacters()
{
    termios tio{};
    if (tcgetattr(m_port->fd, &tio) == 0) {
        tio.c_iflag = (tio.c_iflag | INPCK) & ~(IGNPAR | PARMRK);
        tcsetattr(m_port->fd, TCSANOW, &tio); // a pseudo-terminal refuses parity; nothing lost
    }
}

bool SerialLine::Send(std::string_view bytes)
{
    tap(CaptureDirection::Sent, bytes);
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_port->fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return true; // the output queue is full: the request is lost, and asked again later
        if (n <= 0)
            return false;
        bytes.remove_prefix(std::size_t(n));
    }
    return true;
}

SerialLine::Input SerialLine::Receive(int timeoutMs, std::string& into)
{
    pollfd pfd{m_port->fd, POLLIN, 0};
    int ready;
    do
        ready = ::poll(&pfd, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (ready == 0)
        return Input::Silence;
    if (ready < 0 || (pfd.revents & (POLLERR | POLLNVAL)))
        return Input::HungUp;
    char buffer[256];
    const ssize_t n = ::read(m_port->fd, buffer, sizeof buffer);
    if (n > 0) {
        into.append(buffer, std::size_t(n));
        tap(CaptureDirection::Received, {buffer, std::size_t(n)});
        return Input::Data;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR) && !(pfd.revents & POLLHUP))
        return Input::Data;
    return Input::HungUp; // EIO, or end of file on a line whose other end has gone
}

bool SerialLine::Drain(std::string& into)
{
    for (;;) {
        char buffer[256];
        const ssize_t n = ::read(m_port->fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, std::size_t(n));
            tap(CaptureDirection::Received, {buffer, std::size_t(n)});
        } else if (n < 0 && errno == EAGAIN)
            return true;
        else if (n == 0 || errno != EINTR) // non-blocking, so an end of file is a hang-up
            return false;
    }
}

void SerialLine::ClearInput() { tcflush(m_port->fd, TCIFLUSH); }

}
