#include "opos/serial/SerialLine.h"
#include "opos/serial/SerialLineWin32.h"

#include "opos/TrafficTap.h"
#include "opos/Utf8.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <utility>

#include <windows.h>

namespace opos::serial {

namespace {
constexpr std::array<int, 8> kBauds{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
// A write that the port cannot take within this is dropped, as a full output queue drops it on Linux.
constexpr DWORD kWriteTimeoutMs = 1000;
// A burst at 115200 baud; more is taken on the next look.
constexpr DWORD kReadChunk = 4096;
// How long an operation that ends by itself (a read of what has come, a write past its time-out, a
// cancelled read) may take before the port counts as gone.
constexpr DWORD kSettleMs = 1000;
// A read of what the port says it holds: the bytes are there, so it ends at once unless the port
// said more than it had.
constexpr DWORD kQueuedReadMs = 300;
}

SerialWin32Calls& SerialLineCalls()
{
    static SerialWin32Calls s_calls;
    return s_calls;
}

// The port opened for overlapped I/O. A read of one byte is kept pending on it, so that its event
// turns signalled when something comes or the line goes away; what has come with that byte is then
// taken with reads sized to what the port holds, which return what is there at once.
struct SerialLine::Port
{
    // An operation's OVERLAPPED and buffer, on the heap: one the port never lets go of keeps them
    // (and its event) for good, so that a late completion writes into memory still ours.
    struct Transfer
    {
        OVERLAPPED io{};
        HANDLE event = nullptr; // manual-reset
        char byte = 0;          // the pending read's
        std::string buffer;     // a sized read's bytes, or a write's

        explicit Transfer(HANDLE e) : event(e) {}
        ~Transfer()
        {
            if (event)
                ::CloseHandle(event);
        }
        OVERLAPPED* Begin()
        {
            io = {};
            io.hEvent = event;
            return &io;
        }
    };

    HANDLE file = INVALID_HANDLE_VALUE;
    std::unique_ptr<Transfer> read; // the pending read; its event stays signalled until it is taken
    std::unique_ptr<Transfer> io;   // the other reads and the writes, each waited for at once
    bool pending = false;
    std::string failure; // why the line is gone; empty while it is up

    bool Collect(std::string& into);
    bool TakeQueued(std::string& into);
    bool StartRead();
    std::optional<DWORD> Finish(std::unique_ptr<Transfer>& transfer, BOOL started, DWORD limitMs, const char* call,
                                bool reading);
    bool Cancel(std::unique_ptr<Transfer>& transfer);
    bool Fail(const char* call, DWORD error);
    static std::unique_ptr<Transfer> NewTransfer();

    ~Port()
    {
        if (pending && read)
            Cancel(read);
        if (file != INVALID_HANDLE_VALUE)
            ::CloseHandle(file);
    }
};

namespace {
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
    // A read returns what the port holds at once, and one on an empty port waits for its first
    // byte (the documented MAXDWORD, MAXDWORD, constant form, the constant as long as it gets):
    // so the pending read of one byte waits for it, and a read sized to what the port says it
    // holds returns what is there even when the driver said more. A write gives up after
    // kWriteTimeoutMs.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = MAXDWORD - 1;
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

}

std::unique_ptr<SerialLine::Port::Transfer> SerialLine::Port::NewTransfer()
{
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event ? std::make_unique<Transfer>(event) : nullptr;
}

bool SerialLine::Port::Fail(const char* call, DWORD error)
{
    if (failure.empty()) {
        const bool pulled = error == ERROR_OPERATION_ABORTED || error == ERROR_GEN_FAILURE || error == ERROR_BAD_COMMAND ||
                            error == ERROR_DEVICE_REMOVED || error == ERROR_DEVICE_NOT_CONNECTED ||
                            error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_HANDLE;
        failure = std::string(pulled ? "the port went away (the scale or its USB-serial adapter unplugged?)"
                                     : "the port failed") +
                  ": " + call + ": " + systemMessage(error);
    }
    return false;
}

// Cancels the operation and waits, bounded, until the system has let go of it. One that it does
// not let go of keeps its OVERLAPPED, buffer and event for good, and the line is gone.
bool SerialLine::Port::Cancel(std::unique_ptr<Transfer>& transfer)
{
    SerialLineCalls().cancelIoEx(file, &transfer->io);
    if (::WaitForSingleObject(transfer->event, kSettleMs) == WAIT_OBJECT_0)
        return true;
    static_cast<void>(transfer.release()); // deliberately: the system may still write into it
    if (failure.empty())
        failure = "the port did not end a cancelled operation within " + std::to_string(kSettleMs) + " ms";
    return false;
}

// Waits up to limitMs for an operation begun on the port (`started`: what ReadFile or WriteFile
// returned); the bytes moved, or nothing once the line is gone (`failure` says why). A read still
// going at the limit is cancelled and ends with what had come: a driver that says it holds more
// than it does, where the time-outs do not end the read at once (Wine's, for one).
std::optional<DWORD> SerialLine::Port::Finish(std::unique_ptr<Transfer>& transfer, BOOL started, DWORD limitMs,
                                              const char* call, bool reading)
{
    if (!started && ::GetLastError() != ERROR_IO_PENDING)
        return Fail(call, ::GetLastError()), std::nullopt;
    const bool inTime = ::WaitForSingleObject(transfer->event, limitMs) == WAIT_OBJECT_0;
    if (!inTime && !Cancel(transfer))
        return std::nullopt;
    DWORD n = 0;
    if (SerialLineCalls().getOverlappedResult(file, &transfer->io, &n, FALSE))
        return n;
    const DWORD error = ::GetLastError();
    if (!inTime && reading && error == ERROR_OPERATION_ABORTED)
        return n;
    if (inTime)
        return Fail(call, error), std::nullopt;
    failure = std::string(call) + " did not end within " + std::to_string(limitMs) + " ms";
    return std::nullopt;
}

// What the port holds now, read at once; false when the line is gone (the adapter pulled).
bool SerialLine::Port::TakeQueued(std::string& into)
{
    for (;;) {
        DWORD errors = 0;
        COMSTAT status{};
        if (!SerialLineCalls().clearCommError(file, &errors, &status))
            return Fail("ClearCommError", ::GetLastError());
        if (status.cbInQue == 0)
            return true;
        const DWORD wanted = std::min<DWORD>(status.cbInQue, kReadChunk);
        io->buffer.resize(wanted);
        const BOOL started = SerialLineCalls().readFile(file, io->buffer.data(), wanted, nullptr, io->Begin());
        const std::optional<DWORD> n = Finish(io, started, kQueuedReadMs, "ReadFile", true);
        if (!n)
            return false;
        into.append(io->buffer.data(), std::min(*n, wanted));
        if (*n < kReadChunk)
            return true;
    }
}

// Puts the read of one byte in wait; false when the port refuses it.
bool SerialLine::Port::StartRead()
{
    ::ResetEvent(read->event);
    if (!SerialLineCalls().readFile(file, &read->byte, 1, nullptr, read->Begin()) && ::GetLastError() != ERROR_IO_PENDING)
        return Fail("ReadFile", ::GetLastError());
    pending = true;
    return true;
}

// Takes the pending read's byte, if it has come, with what came after it, and puts a read back
// in wait; false once the line has hung up.
bool SerialLine::Port::Collect(std::string& into)
{
    // Bounded, so that a line that never stops sending still lets the reading be taken.
    for (int turn = 0; turn < 16 && failure.empty(); ++turn) {
        if (!pending && !StartRead())
            break;
        DWORD n = 0;
        if (!SerialLineCalls().getOverlappedResult(file, &read->io, &n, FALSE)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_IO_INCOMPLETE)
                break;
            pending = false;
            // Windows cancels a thread's reads when the thread ends: the line may be read from
            // another thread than the one that opened it, so a cancelled read on a port still
            // there is only put back in wait.
            DWORD errors = 0;
            COMSTAT status{};
            if (error == ERROR_OPERATION_ABORTED && SerialLineCalls().clearCommError(file, &errors, &status))
                continue;
            Fail("ReadFile", error);
            break;
        }
        pending = false;
        // A read of one byte that waits for it ends empty only when the line has gone.
        if (n == 0) {
            failure = "the line hung up (the scale or its USB-serial adapter unplugged?)";
            break;
        }
        into.push_back(read->byte);
        if (!TakeQueued(into))
            break;
    }
    if (!pending && read)
        ::SetEvent(read->event); // the next look finds the line as it is, at once
    return failure.empty();
}

SerialLine::SerialLine(std::unique_ptr<Port> port, std::string path) : m_port(std::move(port)), m_path(std::move(path)) {}

SerialLine::~SerialLine() = default;

WaitHandle SerialLine::Waitable() const { return reinterpret_cast<WaitHandle>(m_port->read->event); }

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
    port->read = Port::NewTransfer();
    port->io = Port::NewTransfer();
    if (!port->read || !port->io)
        return {nullptr, path + ": " + systemMessage(::GetLastError())};
    ::PurgeComm(port->file, PURGE_RXCLEAR | PURGE_TXCLEAR);
    std::unique_ptr<SerialLine> line(new SerialLine(std::move(port), path));
    std::string none;
    if (!line->Drain(none))
        return {nullptr, path + ": the port went away as it was opened: " + line->Failure()};
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
    Port& port = *m_port;
    if (!port.failure.empty())
        return false;
    tap(CaptureDirection::Sent, bytes);
    // A write cut short by its time-out has lost the rest, as a full line would; only a failure
    // says the line is gone. The bytes are copied, so that a write the port keeps has them.
    port.io->buffer.assign(bytes);
    const BOOL started = SerialLineCalls().writeFile(port.file, port.io->buffer.data(), DWORD(port.io->buffer.size()),
                                                     nullptr, port.io->Begin());
    const bool sent = port.Finish(port.io, started, kWriteTimeoutMs + kSettleMs, "WriteFile", false).has_value();
    m_failure = port.failure;
    return sent;
}

bool SerialLine::Drain(std::string& into)
{
    std::string bytes;
    const bool up = m_port->Collect(bytes);
    m_failure = m_port->failure;
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
    if (::WaitForSingleObject(m_port->read->event, timeoutMs < 0 ? INFINITE : DWORD(timeoutMs)) != WAIT_OBJECT_0)
        return Input::Silence;
    return Drain(into) ? Input::Data : Input::HungUp;
}

void SerialLine::ClearInput()
{
    ::PurgeComm(m_port->file, PURGE_RXCLEAR);
    // A byte the pending read took before the purge is dropped with the rest.
    std::string dropped;
    if (m_port->failure.empty() && ::WaitForSingleObject(m_port->read->event, 0) == WAIT_OBJECT_0)
        m_port->Collect(dropped);
    m_failure = m_port->failure;
}

}
