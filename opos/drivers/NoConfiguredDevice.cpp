// Builds without the scales configuration (Windows, for now): no name is configured.
#include "ConfiguredDevice.h"

namespace opos {

std::unique_ptr<IScaleDevice> OpenConfiguredDevice(const std::u16string&) { return nullptr; }

// Tests keep a machine's configuration out of their way; with none to read there is nothing to do.
ConfigFilesOverride::ConfigFilesOverride(std::vector<std::string>) {}
ConfigFilesOverride::~ConfigFilesOverride() = default;

}
