// The drivers a configuration section can name. A new kind of device adds its row here.
#include "ConfiguredDevice.h"

#include "Hidraw.h"
#include "ReplayScale.h"
#include "SerialDriver.h"
#include "SimulatedDriver.h"

namespace opos {

const std::vector<DeviceDriver>& DeviceDrivers()
{
    static const std::vector<DeviceDriver> drivers{
        {"simulated", kSimulatedKeys, OpenSimulatedScale},
        {"hid", {"device"}, OpenHidScale},
        {"serial", kSerialKeys, OpenSerialScale},
        {"replay", kReplayKeys, OpenReplayScale},
    };
    return drivers;
}

}
