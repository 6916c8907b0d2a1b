#include "opos/Clock.h"

#include "opos/RealClock.h"

#include <atomic>

namespace opos {

namespace {
RealClock g_realClock;
std::atomic<Clock*> g_current{&g_realClock};
}

Clock& CurrentClock() { return *g_current.load(); }

ClockOverride::ClockOverride(Clock& clock) : m_previous(g_current.exchange(&clock)) {}

ClockOverride::~ClockOverride() { g_current.store(m_previous); }

}
