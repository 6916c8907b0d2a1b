// Builds without the scales configuration (Windows, for now): no name is configured.
#include "ConfiguredDevice.h"

namespace opos {

std::unique_ptr<IScaleDevice> OpenConfiguredDevice(const std::u16string&) { return nullptr; }

}
