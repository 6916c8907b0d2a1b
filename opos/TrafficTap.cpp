#include "opos/TrafficTap.h"

#include <atomic>

namespace opos {

namespace {
std::atomic<TrafficTap*> g_tap{nullptr};
}

TrafficTap* CurrentTrafficTap() { return g_tap.load(std::memory_order_relaxed); }

TrafficTapOverride::TrafficTapOverride(TrafficTap& tap) : m_previous(g_tap.exchange(&tap)) {}

TrafficTapOverride::~TrafficTapOverride() { g_tap.store(m_previous); }

}
