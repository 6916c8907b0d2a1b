// `driver = replay` for a serial capture: the SerialScale a port would have, on a line in the
// process that answers each request with the next recorded answer to it, so that the protocol
// code runs unchanged and alike on Linux and Windows.
#pragma once

#include "opos/replay/ReplayScale.h"

namespace opos {

// Raises DeviceError (OPOS_E_NOHARDWARE) when the line cannot be set up.
std::unique_ptr<IScaleDevice> OpenSerialReplay(const Capture& capture, const ReplaySettings& settings);

}
