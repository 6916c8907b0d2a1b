// `driver = replay`: a capture played back behind a logical name. A serial capture feeds the same
// SerialScale a real line would, through a line in the process (SerialReplay.cpp): each request
// the scale sends brings the next recorded answer to it. A HID capture is a report source of the
// HidScale (HidReplay.h).
#pragma once

#include "opos/replay/Capture.h"
#include "opos/ScaleDevice.h"

#include <memory>

namespace opos {

struct ReplaySettings
{
    std::string file; // for the description
    bool loop = false;   // start again after the last event
    double speed = 1.0;  // HID reports come this many times faster than recorded
};

// Raises DeviceError (OPOS_E_NOHARDWARE) when the device cannot be set up.
std::unique_ptr<IScaleDevice> OpenReplay(const Capture& capture, const ReplaySettings& settings);

}
