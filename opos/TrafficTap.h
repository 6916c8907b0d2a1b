// What a device sends and receives, for whoever watches (tarabo-scales monitor and record): the
// serial line and scale and the HID scale tell the tap in force, if any. Unset, it costs one
// load of a pointer per event.
#pragma once

#include "opos/replay/Capture.h"
#include "opos/ScaleDevice.h"

#include <string_view>

namespace opos {

class TrafficTap
{
public:
    virtual ~TrafficTap() = default;
    // A device was opened: what it is and its settings, as a capture's header gives them.
    virtual void Opened(const CaptureHeader& device) = 0;
    virtual void Bytes(CaptureDirection direction, const std::uint8_t* bytes, std::size_t size) = 0;
    // What the device made of what came: the reading it now holds (unit SCAL_WU_*) ...
    virtual void Decoded(const ScaleReading& reading, LONG unit) = 0;
    // ... or why nothing came of it.
    virtual void NotDecoded(std::string_view why) = 0;
};

// The tap in force; nullptr unless a TrafficTapOverride lives.
TrafficTap* CurrentTrafficTap();

class TrafficTapOverride
{
public:
    explicit TrafficTapOverride(TrafficTap& tap);
    ~TrafficTapOverride();
    TrafficTapOverride(const TrafficTapOverride&) = delete;
    TrafficTapOverride& operator=(const TrafficTapOverride&) = delete;

private:
    TrafficTap* m_previous;
};

}
