// Keeps what a device exchanges as a capture (tarabo-scales record; the round-trip tests): the
// header when the device opens, then a line per event, with what the device made of it as a
// comment for people.
#pragma once

#include "opos/TrafficTap.h"

#include <chrono>
#include <functional>
#include <string_view>

namespace opos {

class CaptureRecorder : public TrafficTap
{
public:
    // The capture's text goes to `write`, a piece at a time; `tool` names the recording program in
    // the header.
    using Writer = std::function<void(std::string_view)>;
    CaptureRecorder(Writer write, std::string tool);

    void Opened(const CaptureHeader& device) override;
    void Bytes(CaptureDirection direction, const std::uint8_t* bytes, std::size_t size) override;
    void Decoded(const ScaleReading& reading, LONG unit) override;
    void NotDecoded(std::string_view why) override;

    // Whether a device has opened (a device without traffic, such as the simulated scale, never does).
    bool Started() const { return m_started; }
    std::int64_t Ms() const;

private:
    Writer m_write;
    std::string m_tool;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    bool m_started = false;
};

}
