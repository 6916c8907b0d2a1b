// The drivers a configuration section can name. A new kind of device adds its row here.
#include "ConfiguredDevice.h"

#include "Clock.h"
#include "Hidraw.h"
#include "ReplayScale.h"
#include "SerialDriver.h"
#include "SimulatedK350.h"

namespace opos {

const std::vector<DeviceDriver>& DeviceDrivers()
{
    static const std::vector<DeviceDriver> drivers{
        {"simulated", {}, [](const DeviceSection&) { return std::make_unique<SimulatedK350>(CurrentClock().NowMs()); }},
        {"hid", {"device"}, OpenHidScale},
        {"serial", kSerialKeys, OpenSerialScale},
        {"replay", kReplayKeys, OpenReplayScale},
    };
    return drivers;
}

}
