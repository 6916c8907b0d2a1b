#include "opos/serial/SerialLine.h"

#include "opos/TrafficTap.h"
#include "opos/Utf8.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include <windows.h>

namespace opos::serial {

// The port opened for overlapped I/O. A read of one byte is kept pending on it, so that its event
// turns signalled when something comes or the line goes away; what has come with that byte is then
// taken with reads sized to what the port holds, which complete at once.
struct SerialLine::Port
{
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE readEvent = nullptr; // manual-reset: stays signalled until the read is taken
    HANDLE ioEvent = nullptr;   // the other reads and the writes, each waited for at once
    OVERLAPPED read{};
    char first = 0;
    bool pending = false;
    bool hungUp = false;

    bool Collect(std::string& into);
    bool TakeQueued(std::string& into);

    ~Port()
    {
        if (pending) {
            DWORD n = 0;
            ::CancelIoEx(file, &read);
            ::GetOverlappedResult(file, &read, &n, TRUE);
        }
        for (HANDLE event : {readEvent, ioEvent})
            if (event)
                ::CloseHandle(event);
        if (file != INVALID_HANDLE_VALUE)
            ::CloseHandle(file);
    }
};

namespace {
constexpr std::array<int, 8> kBauds{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
// A write that the port cannot take within this is dropped, as a full output queue drops it on Linux.
constexpr DWORD kWriteTimeoutMs = 1000;
// A burst at 115200 baud; more is taken on the next look.
constexpr DWORD kReadChunk = 4096;

std::string systemMessage(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = length ? Utf8FromUtf16(std::u16string(reinterpret_cast<const char16_t*>(text), length))
                                 : "error " + std::to_string(error);
    if (text)
        ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

std::string openError(DWORD error, const std::string& path)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
        return path + ": no such port (is the scale or its USB-serial adapter plugged in and the name right? "
                      "\"tarabo-scales list\" shows the COM ports present)";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return path + ": access denied: another program has the port open (close it, then try again)";
    default:
        return path + ": " + systemMessage(error);
    }
}

// COM3 and com3 name \\.\COM3, the form every port number takes (COM10 and above need it).
std::wstring devicePath(const std::string& path)
{
    std::string device = path;
    const bool comN = path.size() > 3 && std::toupper(path[0]) == 'C' && std::toupper(path[1]) == 'O' &&
                      std::toupper(path[2]) == 'M' &&
                      path.find_first_not_of("0123456789", 3) == std::string::npos;
    if (comN)
        device = "\\\\.\\" + path;
    const std::u16string wide = Utf16FromUtf8(device);
    return std::wstring(wide.begin(), wide.end());
}

// Raw bytes at the configured speed and framing; no flow control, the modem lines held up (as a
// tty opened on Linux holds them).
bool configure(HANDLE file, const LineSettings& settings)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(file, &dcb))
        return false;
    dcb.BaudRate = DWORD(settings.baud);
    dcb.ByteSize = BYTE(settings.framing.dataBits);
    dcb.Parity = settings.framing.parity == 'E' ? EVENPARITY : settings.framing.parity == 'O' ? ODDPARITY : NOPARITY;
    dcb.StopBits = settings.framing.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = settings.framing.parity != 'N';
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = dcb.fInX = dcb.fErrorChar = dcb.fNull = dcb.fAbortOnError = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!::SetCommState(file, &dcb))
        return false;
    // No read time-out: the pending read of one byte waits for it, and the reads sized to what
    // has come return at once. A write gives up after kWriteTimeoutMs.
    COMMTIMEOUTS timeouts{};
    timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
    return ::SetCommTimeouts(file, &timeouts);
}

// Under Wine, a port whose device cannot keep parity or 7 bits is a Linux pseudo-terminal (the
// tests' fake scales): it keeps 8 bits without parity whatever is asked, as the Linux line
// accepts of one too. A real port behind Wine keeps what is set.
bool underWine() { return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

void tap(CaptureDirection direction, std::string_view bytes)
{
    if (TrafficTap* tap = CurrentTrafficTap(); tap && !bytes.empty())
        tap->Bytes(direction, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// Waits for an overlapped operation begun on `file`; the bytes moved, or -1 when it failed.
long long finish(HANDLE file, OVERLAPPED& io, BOOL started)
{
    DWORD n = 0;
    if (!started && ::GetLastError() != ERROR_IO_PENDING)
        return -1;
    return ::GetOverlappedResult(file, &io, &n, TRUE) ? n : -1;
}
}

// What the port holds now, read at once; false when the line is gone (the adapter pulled).
bool SerialLine::Port::TakeQueued(std::string& into)
{
    for (;;) {
        DWORD errors = 0;
        COMSTAT status{};
        if (!::ClearCommError(file, &errors, &status))
            return false;
        if (status.cbInQue == 0)
            return true;
        char buffer[kReadChunk];
        OVERLAPPED io{};
        io.hEvent = ioEvent;
        const DWORD wanted = std::min<DWORD>(status.cbInQue, kReadChunk);
        const long long n = finish(file, io, ::ReadFile(file, buffer, wanted, nullptr, &io));
        if (n < 0)
            return false;
        into.append(buffer, std::size_t(n));
        if (DWORD(n) < kReadChunk)
            return true;
    }
}

// Takes the pending read's byte, if it has come, with what came after it, and puts a read back
// in wait; false once the line has hung up.
bool SerialLine::Port::Collect(std::string& into)
{
    // Bounded, so that a line that never stops sending still lets the reading be taken.
    for (int turn = 0; turn < 16 && !hungUp; ++turn) {
        if (!pending) {
            ::ResetEvent(readEvent);
            if (!::ReadFile(file, &first, 1, nullptr, &read) && ::GetLastError() != ERROR_IO_PENDING) {
                hungUp = true;
                break;
            }
            pending = true;
        }
        DWORD n = 0;
        if (!::GetOverlappedResult(file, &read, &n, FALSE)) {
            if (::GetLastError() != ERROR_IO_INCOMPLETE)
                hungUp = true; // the adapter pulled: aborted, removed, or a bad command
            break;
        }
        pending = false;
        // A read of one byte without a time-out ends empty only when the line has gone.
        if (n == 0)
            hungUp = true;
        else
            into.push_back(first);
        if (n != 0 && !TakeQueued(into))
            hungUp = true;
    }
    if (!pending)
        ::SetEvent(readEvent); // the next look finds the line as it is, at once
    return !hungUp;
}

SerialLine::SerialLine(std::unique_ptr<Port> port, std::string path) : m_port(std::move(port)), m_path(std::move(path)) {}

SerialLine::~SerialLine() = default;

WaitHandle SerialLine::Waitable() const { return reinterpret_cast<WaitHandle>(m_port->readEvent); }

bool SerialLine::BaudSupported(int baud)
{
    for (const int entry : kBauds)
        if (entry == baud)
            return true;
    return false;
}

SerialLine::Opened SerialLine::Open(const std::string& path, const LineSettings& settings)
{
    if (!BaudSupported(settings.baud))
        return {nullptr, "baud rate " + std::to_string(settings.baud) + " is not supported"};
    auto port = std::make_unique<Port>();
    // No sharing: the port is ours alone until closed.
    port->file = ::CreateFileW(devicePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
    if (port->file == INVALID_HANDLE_VALUE)
        return {nullptr, openError(::GetLastError(), path)};
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (::GetFileType(port->file) != FILE_TYPE_CHAR || !::GetCommState(port->file, &dcb))
        return {nullptr, path + ": not a serial port"};
    if (!configure(port->file, settings)) {
        const DWORD error = ::GetLastError();
        if (!underWine() || !configure(port->file, {settings.baud, {8, 'N', settings.framing.stopBits}}))
            return {nullptr, path + ": the port refuses " + std::to_string(settings.baud) + " " +
                                 FramingText(settings.framing) + ": " + systemMessage(error)};
    }
    port->readEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    port->ioEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!port->readEvent || !port->ioEvent)
        return {nullptr, path + ": " + systemMessage(::GetLastError())};
    port->read.hEvent = port->readEvent;
    ::PurgeComm(port->file, PURGE_RXCLEAR | PURGE_TXCLEAR);
    std::unique_ptr<SerialLine> line(new SerialLine(std::move(port), path));
    std::string none;
    if (!line->Drain(none))
        return {nullptr, path + ": the port went away as it was opened"};
    return {std::move(line), {}};
}

void SerialLine::MarkBadCharacters()
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (::GetCommState(m_port->file, &dcb)) {
        dcb.fErrorChar = TRUE;
        dcb.ErrorChar = 0;
        ::SetCommState(m_port->file, &dcb); // a port that cannot mark them loses nothing
    }
}

bool SerialLine::Send(std::string_view bytes)
{
    if (m_port->hungUp)
        return false;
    tap(CaptureDirection::Sent, bytes);
    OVERLAPPED io{};
    io.hEvent = m_port->ioEvent;
    // A write cut short by its time-out has lost the rest, as a full line would; only a failure
    // says the line is gone.
    return finish(m_port->file, io, ::WriteFile(m_port->file, bytes.data(), DWORD(bytes.size()), nullptr, &io)) >= 0;
}

bool SerialLine::Drain(std::string& into)
{
    std::string bytes;
    const bool up = m_port->Collect(bytes);
    tap(CaptureDirection::Received, bytes);
    into += bytes;
    return up;
}

SerialLine::Input SerialLine::Receive(int timeoutMs, std::string& into)
{
    const std::size_t before = into.size();
    if (!Drain(into))
        return Input::HungUp;
    if (into.size() > before)
        return Input::Data;
    if (::WaitForSingleObject(m_port->readEvent, timeoutMs < 0 ? INFINITE : DWORD(timeoutMs)) != WAIT_OBJECT_0)
        return Input::Silence;
    return Drain(into) ? Input::Data : Input::HungUp;
}

void SerialLine::ClearInput()
{
    ::PurgeComm(m_port->file, PURGE_RXCLEAR);
    // A byte the pending read took before the purge is dropped with the rest.
    std::string dropped;
    if (::WaitForSingleObject(m_port->readEvent, 0) == WAIT_OBJECT_0)
        m_port->Collect(dropped);
}

}
