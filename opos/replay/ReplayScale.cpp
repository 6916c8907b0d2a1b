#include "opos/replay/ReplayScale.h"

#include "opos/replay/HidReplay.h"
#include "opos/replay/SerialReplay.h"

namespace opos {

std::unique_ptr<IScaleDevice> OpenReplay(const Capture& capture, const ReplaySettings& settings)
{
    if (capture.header.driver == "serial")
        return OpenSerialReplay(capture, settings);
    return OpenHidReplay(capture, settings);
}

}
