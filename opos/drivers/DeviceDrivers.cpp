// The drivers a configuration section can name, in the order errors list them. A new kind of
// device adds its row here.
#include "opos/drivers/DeviceDrivers.h"

namespace opos {

const std::vector<DeviceDriver>& DeviceDrivers()
{
    static const std::vector<DeviceDriver> drivers{
        SimulatedDriver(),
        HidDriver(),
        SerialDriver(),
        ReplayDriver(),
    };
    return drivers;
}

DeviceDriver UnavailableDriver(const std::string& name) { return {name, {}, nullptr}; }

}
