// A serial port in raw mode, the thin I/O layer under the serial protocols: open exclusively
// with the line settings, send a request, wait for bytes with a time-out, notice a hang-up, and
// give the port back at close as it was found (a failed open leaves it untouched).
// SerialLinePosix.cpp (a tty through termios) and SerialLineWin32.cpp (a COM port, overlapped).
#pragma once

#include "opos/serial/SerialProtocol.h"
#include "opos/Clock.h"

#include <memory>
#include <string>
#include <string_view>

namespace opos::serial {

struct LineSettings
{
    int baud = 9600;
    Framing framing;
};

// What a serial scale talks through: a port (SerialLine), or a capture played back in the
// process (opos/replay/SerialReplay.cpp), so that the protocol code runs the same on both.
class Line
{
public:
    virtual ~Line() = default;
    // Turns ready when bytes have come or the line has hung up.
    virtual WaitHandle Waitable() const = 0;
    // False when the line is gone or refuses the bytes.
    virtual bool Send(std::string_view bytes) = 0;
    enum class Input { Data, Silence, HungUp };
    // Waits up to timeoutMs (-1: no limit) for bytes and appends what has come to `into`.
    virtual Input Receive(int timeoutMs, std::string& into) = 0;
    // Appends what has come without waiting; false when the line has hung up.
    virtual bool Drain(std::string& into) = 0;
    // Drops what has come and not yet been read.
    virtual void ClearInput() = 0;
    // Why the line is gone, for the technician; empty while it is up (or where nothing says).
    virtual std::string Failure() const { return {}; }
};

class SerialLine : public Line
{
public:
    struct Opened
    {
        std::unique_ptr<SerialLine> line; // null when the port could not be opened
        std::string error;                // then why, in words a technician can act on
    };
    static Opened Open(const std::string& path, const LineSettings& settings);
    static bool BaudSupported(int baud);

    ~SerialLine() override;
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    // Turns ready when bytes have come or the line has hung up: the tty's descriptor, or on Windows
    // the event of the read kept pending on the port.
    WaitHandle Waitable() const;
    const std::string& Path() const { return m_path; }

    // From now on a character that fails the parity or framing check arrives as a NUL, so that a
    // wrong framing shows as noise instead of passing for the right one (the probe's search).
    void MarkBadCharacters();

    // False when the line is gone (a USB adapter pulled) or refuses the bytes; bytes that do not
    // fit the full output queue are dropped, as a line would lose them.
    bool Send(std::string_view bytes);

    // Waits up to timeoutMs (-1: no limit) for bytes and appends what has come to `into`.
    Input Receive(int timeoutMs, std::string& into);

    // Appends what has come without waiting; false when the line has hung up.
    bool Drain(std::string& into);

    // Drops what the port has received and not yet been read.
    void ClearInput();

    std::string Failure() const override { return m_failure; }

private:
    struct Port; // the platform's side: a descriptor, or a handle with its pending read
    SerialLine(std::unique_ptr<Port> port, std::string path);

    std::unique_ptr<Port> m_port;
    std::string m_path;
    std::string m_failure;
};

}
