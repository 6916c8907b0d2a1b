#include "opos/DeviceRegistry.h"

#include "opos/Clock.h"
#include "opos/drivers/ConfiguredDevice.h"
#include "opos/SimulatedK350.h"

#include <map>
#include <mutex>

namespace opos {

namespace {
std::mutex g_registryMutex;

std::map<std::u16string, DeviceFactory>& registry()
{
    static std::map<std::u16string, DeviceFactory> s_devices;
    return s_devices;
}

DeviceFactory exchangeFactory(const std::u16string& name, DeviceFactory factory)
{
    std::lock_guard lock(g_registryMutex);
    auto it = registry().find(name);
    DeviceFactory previous = it == registry().end() ? DeviceFactory() : std::move(it->second);
    if (factory)
        registry()[name] = std::move(factory);
    else if (it != registry().end())
        registry().erase(it);
    return previous;
}
}

void InstallDevice(const std::u16string& name, DeviceFactory factory) { exchangeFactory(name, std::move(factory)); }

std::unique_ptr<IScaleDevice> CreateDevice(const std::u16string& name)
{
    DeviceFactory factory;
    {
        std::lock_guard lock(g_registryMutex);
        auto it = registry().find(name);
        if (it != registry().end())
            factory = it->second;
    }
    if (factory)
        return factory();
    if (auto device = OpenConfiguredDevice(name))
        return device;
    if (name == kDefaultScaleName)
        return std::make_unique<SimulatedK350>(CurrentClock().NowMs());
    return nullptr;
}

DeviceOverride::DeviceOverride(std::u16string name, DeviceFactory factory)
    : m_name(std::move(name)), m_previous(exchangeFactory(m_name, std::move(factory)))
{
}

DeviceOverride::~DeviceOverride() { exchangeFactory(m_name, std::move(m_previous)); }

}
