// tarabo-scales.exe built before the service library reads scales.conf on Windows: no file is
// read, so no name is configured and "K350" stays the simulated scale.
#include "opos/ResultCodes.h"
#include "opos/drivers/ConfiguredDevice.h"

namespace opos {

std::string DeviceSection::Text(const std::string&, const std::string& fallback) const { return fallback; }
std::vector<std::string> ConfigFiles() { return {}; }
ScalesConfig LoadScalesConfig(const std::vector<std::string>&) { return {}; }
const DeviceDriver& CheckSection(const DeviceSection& section)
{
    throw DeviceError(OPOS_E_NOEXIST, section.name + ": no scales configuration on this build");
}

}
