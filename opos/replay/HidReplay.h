// A HID capture played back as a report source of the one HidScale, in the program itself: the
// descriptor, name, ids and feature reports come from the header, each input report is due at its
// recorded time on the clock (sooner with speed), and the current report asked for is the next
// one recorded as asked. No descriptor, socket or timer of the system's, so it is the same on
// every platform.
#pragma once

#include "opos/replay/ReplayScale.h"

namespace opos {

// Raises DeviceError (OPOS_E_NOHARDWARE) when the capture's descriptor describes no scale.
std::unique_ptr<IScaleDevice> OpenHidReplay(const Capture& capture, const ReplaySettings& settings);

}
