#include "StandardScaleService.h"

#include "Clock.h"
#include "DeviceRegistry.h"
#include "ResultCodes.h"

#include <algorithm>

namespace opos {

namespace {
constexpr std::int64_t kWeightPollMs = 50;
constexpr LONG kForever = -1;
}

StandardScaleService::State StandardScaleService::GetState() const
{
    if (!m_device)
        return State::Closed;
    if (!m_claim || !m_claim->Held())
        return State::Opened;
    return m_enabled ? State::Enabled : State::Claimed;
}

LONG StandardScaleService::Finish(LONG result, LONG extended)
{
    m_resultCode = result;
    m_resultCodeExtended = extended;
    return result;
}

LONG StandardScaleService::StateError(State needed) const
{
    const State state = GetState();
    if (state >= needed)
        return OPOS_SUCCESS;
    if (state == State::Closed)
        return OPOS_E_CLOSED;
    return state == State::Opened ? OPOS_E_NOTCLAIMED : OPOS_E_DISABLED;
}

LONG StandardScaleService::Open(const std::u16string& name)
{
    if (m_device)
        return Finish(OPOS_E_ILLEGAL);
    m_device = name.empty() ? nullptr : CreateDevice(name);
    if (!m_device)
        return Finish(OPOS_E_NOEXIST);
    m_claim = std::make_unique<ClaimLock>(name);
    return Finish(OPOS_SUCCESS);
}

LONG StandardScaleService::Close()
{
    if (!m_device)
        return Finish(OPOS_E_CLOSED);
    DropClaim();
    m_claim.reset();
    m_device.reset();
    return Finish(OPOS_SUCCESS);
}

LONG StandardScaleService::Claim(LONG timeoutMs)
{
    if (!m_device)
        return Finish(OPOS_E_CLOSED);
    if (timeoutMs < kForever)
        return Finish(OPOS_E_ILLEGAL);
    return Finish(m_claim->Acquire(timeoutMs) ? OPOS_SUCCESS : OPOS_E_TIMEOUT);
}

LONG StandardScaleService::Release()
{
    if (const LONG error = StateError(State::Claimed))
        return Finish(error == OPOS_E_NOTCLAIMED ? OPOS_E_ILLEGAL : error);
    DropClaim();
    return Finish(OPOS_SUCCESS);
}

void StandardScaleService::DropClaim()
{
    m_enabled = false;
    if (m_claim)
        m_claim->Release();
}

LONG StandardScaleService::ClearInput() { return Finish(StateError(State::Claimed)); }

LONG StandardScaleService::DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string)
{
    if (const LONG error = StateError(State::Opened))
        return Finish(error);
    return Finish(m_device->DirectIO(command, data, string, CurrentClock().NowMs()));
}

LONG StandardScaleService::ReadWeight(LONG& weight, LONG timeoutMs)
{
    if (const LONG error = StateError(State::Enabled))
        return Finish(error);
    if (timeoutMs < kForever)
        return Finish(OPOS_E_ILLEGAL);
    return WaitForWeight(weight, timeoutMs);
}

LONG StandardScaleService::WaitForWeight(LONG& weight, LONG timeoutMs)
{
    Clock& clock = CurrentClock();
    const std::int64_t deadline = clock.NowMs() + std::max<LONG>(timeoutMs, 0);
    for (;;) {
        const std::int64_t now = clock.NowMs();
        const ScaleReading reading = m_device->ReadingAt(now);
        if (reading.weight > m_device->Capacity())
            return Finish(OPOS_E_EXTENDED, OPOS_ESCAL_OVERWEIGHT);
        if (reading.stable && reading.weight > 0) {
            weight = reading.weight;
            return Finish(OPOS_SUCCESS);
        }
        if (timeoutMs != kForever && now >= deadline)
            return Finish(OPOS_E_TIMEOUT);
        clock.SleepMs(timeoutMs == kForever ? kWeightPollMs : std::min(kWeightPollMs, deadline - now));
    }
}

void StandardScaleService::SetDeviceEnabled(bool enabled)
{
    if (const LONG error = StateError(State::Claimed)) {
        Finish(error);
        return;
    }
    m_enabled = enabled;
    Finish(OPOS_SUCCESS);
}

std::u16string StandardScaleService::GetDescription()
{
    return m_device ? m_device->Description() : std::u16string(kClosedDescription);
}

LONG StandardScaleService::GetMaximumWeight() { return m_device ? m_device->Capacity() : 0; }

LONG StandardScaleService::GetWeightUnit() { return m_device ? m_device->Unit() : 0; }

}
