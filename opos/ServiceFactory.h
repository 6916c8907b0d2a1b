// The process-wide source of services for new scale controls.
#pragma once

#include "opos/ScaleService.h"

#include <functional>
#include <memory>

namespace opos {

// A new service for a new control: the standard one unless a ServiceOverride is alive.
std::shared_ptr<IScaleService> CreateScaleService();

// While alive, every control created gets this one service object; restores the previous
// source when it goes.
class ServiceOverride
{
public:
    explicit ServiceOverride(std::shared_ptr<IScaleService> service);
    ~ServiceOverride();
    ServiceOverride(const ServiceOverride&) = delete;
    ServiceOverride& operator=(const ServiceOverride&) = delete;

private:
    std::function<std::shared_ptr<IScaleService>()> m_previous;
};

}
