// `driver = replay`: a capture played back behind a logical name. A serial capture feeds the same
// SerialScale a real line would, through a pseudo-terminal: each request the scale sends brings
// the next recorded answer to it. A HID capture gives the HidScale its descriptor and feature
// reports from the header and plays the reports into a socket pair with their recorded spacing.
#pragma once

#include "Capture.h"
#include "ScalesConfig.h"

#include <memory>

namespace opos {

inline const std::vector<std::string> kReplayKeys{"file", "loop", "speed"};

struct ReplaySettings
{
    std::string file; // for the description
    bool loop = false;   // start again after the last event
    double speed = 1.0;  // HID reports come this many times faster than recorded
};

// Raises DeviceError (OPOS_E_NOHARDWARE) when the device cannot be set up.
std::unique_ptr<IScaleDevice> OpenReplay(const Capture& capture, const ReplaySettings& settings);

// The driver of the configuration: `file` (relative to the configuration file's folder), `loop`,
// `speed`. A capture that cannot be read is 107, one with a bad line 109.
std::unique_ptr<IScaleDevice> OpenReplayScale(const DeviceSection& section);

}
