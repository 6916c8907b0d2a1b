// The capture file: what a scale sent and was sent, as `tarabo-scales record` writes it and
// `driver = replay` plays it back. Line-oriented text, readable and editable by hand; the format
// is in README.md ("Capture files"). Writing and parsing are pure functions over text.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace opos {

using CaptureBytes = std::vector<std::uint8_t>;

// The device as it was opened: a serial scale's line settings, or a HID scale's descriptor.
struct CaptureHeader
{
    std::string tool;   // the recording program and its version
    std::string driver; // serial | hid
    std::string device; // the path it was opened on
    // serial
    std::string protocol, framing, unit;
    int baud = 0;
    // hid
    std::string name;
    std::uint16_t vendor = 0, product = 0;
    CaptureBytes descriptor;
    std::vector<CaptureBytes> features; // each with its report id first
};

enum class CaptureDirection : char {
    Sent = '>',     // a request or output report to the device
    Received = '<', // serial bytes as they came, or one HID input report
    Asked = '?',    // the HID scale's current input report, asked for (empty: it gave none)
};

struct CaptureEvent
{
    std::int64_t ms = 0; // since the recording began
    CaptureDirection direction = CaptureDirection::Received;
    CaptureBytes bytes;
};

struct Capture
{
    CaptureHeader header;
    std::vector<CaptureEvent> events;
};

inline constexpr int kCaptureVersion = 1;

// "FILE line N: why" for a line that is not what the format allows.
class CaptureError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Parses a whole capture; `file` names it in errors. Raises CaptureError.
Capture ParseCapture(std::string_view text, const std::string& file);

// Free text (a device's name, why a report did not decode) as one line of UTF-8: a backslash,
// the control characters and bytes that are not UTF-8 escaped (\\, \n, \r, \t, \xHH), as is a
// space at either end; the parser undoes these in the header's free-text values.
std::string CaptureText(std::string_view text);
// The header's lines, up to and including the line that starts the events.
std::string CaptureHeaderText(const CaptureHeader& header);
// One event line, with the bytes' printable text after a '#' for people.
std::string CaptureEventLine(const CaptureEvent& event);

// "53 49 0d 0a" and "SI.." for a line of a capture or of monitor.
std::string HexText(const std::uint8_t* bytes, std::size_t size);
std::string PrintableText(const std::uint8_t* bytes, std::size_t size);

}
