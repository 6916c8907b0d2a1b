// `driver = serial`: a configuration section to a serial scale, with the protocol's usual line
// settings for what the section leaves out.
#include "opos/drivers/DeviceDrivers.h"

#include "opos/serial/SerialScale.h"

namespace opos {

namespace {
std::string protocolNames(bool streamingOnly = false)
{
    std::string names;
    for (const serial::ProtocolInfo& info : serial::Protocols())
        if (info.streaming || !streamingOnly)
            names += (names.empty() ? "" : ", ") + std::string(info.name);
    return names;
}

// The section's settings; raises the section's DeviceError for a missing or wrong one.
serial::SerialSettings SerialSettingsOf(const DeviceSection& section)
{
    using namespace serial;
    if (!section.Has("device"))
        section.Fail("device", "no device given (device = /dev/serial/by-id/..., or a tty such as /dev/ttyUSB0)");
    if (!section.Has("protocol"))
        section.Fail("protocol", "no protocol given (" + protocolNames() + "; tarabo-scales probe finds it)");
    const std::string protocolName = section.Text("protocol", "");
    const std::optional<Protocol> protocol = ProtocolByName(protocolName);
    if (!protocol)
        section.Fail("protocol", "unknown protocol \"" + protocolName + "\" (known: " + protocolNames() + ")");
    const ProtocolInfo& info = Info(*protocol);
    SerialSettings settings{section.Text("device", ""), *protocol, {info.baud, info.framing}};
    settings.line.baud = section.Number("baud", info.baud, 0, 0x7fffffff);
    if (!SerialLine::BaudSupported(settings.line.baud))
        section.Fail("baud", "baud rate " + std::to_string(settings.line.baud) +
                                 " is not one of 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200");
    const std::string framing = section.Text("framing", FramingText(info.framing));
    const std::optional<Framing> parsedFraming = ParseFraming(framing);
    if (!parsedFraming)
        section.Fail("framing", "\"" + framing + "\" is not a framing such as 7E1 or 8N1 (data bits 5-8, parity N, E or O, stop bits 1 or 2)");
    settings.line.framing = *parsedFraming;
    const std::string unit = section.Text("unit", "kg");
    settings.unit = ParseUnit(unit);
    if (settings.unit == 0)
        section.Fail("unit", "\"" + unit + "\" is not a unit (g, kg, oz or lb)");
    if (section.Has("timeout") && !info.streaming)
        section.Fail("timeout", "only a scale that streams its weight (" + protocolNames(true) + ") takes a timeout; " +
                                    std::string(info.name) + " is asked for each reading");
    settings.silenceMs = section.Number("timeout", info.silenceMs, 50, 600000);
    if (section.Has("checksum") && *protocol != Protocol::ToledoContinuousChecked)
        section.Fail("checksum", "only toledo-continuous-checksum takes a checksum; " + protocolName + " has none to choose");
    const std::string checksum = section.Text("checksum", "complement");
    const std::optional<Checksum> parsedChecksum = ChecksumByName(checksum);
    if (!parsedChecksum)
        section.Fail("checksum", "\"" + checksum + "\" is not a checksum (complement: the frame sums to zero; sum: the check character is the sum of the frame before it)");
    settings.checksum = *parsedChecksum;
    return settings;
}

std::unique_ptr<IScaleDevice> OpenSerialScale(const DeviceSection& section)
{
    return std::make_unique<serial::SerialScale>(SerialSettingsOf(section));
}
}

DeviceDriver SerialDriver()
{
    return {"serial", {"device", "protocol", "baud", "framing", "unit", "timeout", "checksum"}, OpenSerialScale};
}

}
