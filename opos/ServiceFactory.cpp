#include "opos/ServiceFactory.h"

#include "opos/StandardScaleService.h"

#include <mutex>
#include <utility>

namespace opos {

namespace {
using Factory = std::function<std::shared_ptr<IScaleService>()>;

std::mutex g_factoryMutex;

Factory& currentFactory()
{
    static Factory s_factory = [] { return std::make_shared<StandardScaleService>(); };
    return s_factory;
}
}

std::shared_ptr<IScaleService> CreateScaleService()
{
    Factory factory;
    {
        std::lock_guard lock(g_factoryMutex);
        factory = currentFactory();
    }
    return factory();
}

ServiceOverride::ServiceOverride(std::shared_ptr<IScaleService> service)
{
    std::lock_guard lock(g_factoryMutex);
    m_previous = std::exchange(currentFactory(), [service] { return service; });
}

ServiceOverride::~ServiceOverride()
{
    std::lock_guard lock(g_factoryMutex);
    currentFactory() = std::move(m_previous);
}

}
