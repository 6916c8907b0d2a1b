#include "opos/StandardScaleService.h"

#include "opos/Clock.h"
#include "opos/DeviceRegistry.h"
#include "opos/ResultCodes.h"
#include "opos/Utf8.h"

#include <algorithm>

namespace opos {

namespace {
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
    m_openFailure.clear();
    try {
        m_device = name.empty() ? nullptr : CreateDevice(name);
    } catch (const DeviceError& error) {
        m_openFailure = Utf16FromUtf8(error.what());
        return Finish(error.Result());
    }
    if (!m_device) {
        m_openFailure = u"No scale is configured under the name \"" + name + u"\"";
        return Finish(OPOS_E_NOEXIST);
    }
    m_claim = std::make_unique<ClaimLock>(name);
    m_weightReport = {};
    return Finish(OPOS_SUCCESS);
}

LONG StandardScaleService::Close()
{
    if (!m_device)
        return Finish(OPOS_E_CLOSED);
    DropClaim();
    m_claim.reset();
    m_device.reset();
    m_notUnderstood.clear();
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

LONG StandardScaleService::ClearInput()
{
    if (const LONG error = StateError(State::Claimed))
        return Finish(error);
    m_device->ClearInput();
    return Finish(OPOS_SUCCESS);
}

LONG StandardScaleService::DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string)
{
    if (const LONG error = StateError(State::Opened))
        return Finish(error);
    const std::int64_t now = CurrentClock().NowMs();
    if (command == WeightReport::kCommand) {
        const ScaleReading reading = Note(m_device->ReadingAt(now));
        return Finish(m_weightReport.Answer(reading, m_device->Unit(), m_device->ZeroValid(), data, string));
    }
    return Finish(m_device->DirectIO(command, data, string, now));
}

LONG StandardScaleService::ReadWeight(LONG& weight, LONG timeoutMs)
{
    if (const LONG error = StateError(State::Enabled))
        return Finish(error);
    if (timeoutMs < kForever)
        return Finish(OPOS_E_ILLEGAL);
    return WaitForWeight(weight, timeoutMs);
}

// Looks at the device's latest reading, then sleeps on its descriptor (or, for a device that
// follows the clock, until its reading may change) until something settles or time runs out.
LONG StandardScaleService::WaitForWeight(LONG& weight, LONG timeoutMs)
{
    Clock& clock = CurrentClock();
    const bool forever = timeoutMs == kForever;
    const std::int64_t deadline = clock.NowMs() + std::max<LONG>(timeoutMs, 0);
    m_device->Request(clock.NowMs());
    for (;;) {
        const std::int64_t now = clock.NowMs();
        if (const std::optional<LONG> result = Outcome(Note(m_device->ReadingAt(now)), weight))
            return *result;
        if (!forever && now >= deadline)
            return Finish(OPOS_E_TIMEOUT);
        clock.Wait(m_device->Waitable(), WaitLimit(now, deadline, forever));
    }
}

std::int64_t StandardScaleService::WaitLimit(std::int64_t now, std::int64_t deadline, bool forever) const
{
    std::int64_t limit = forever ? -1 : deadline - now;
    const std::int64_t change = m_device->NextChangeMs(now);
    if (change != IScaleDevice::kNoChange) {
        const std::int64_t untilChange = std::max<std::int64_t>(change - now, 1);
        limit = limit < 0 ? untilChange : std::min(limit, untilChange);
    }
    return limit;
}

std::optional<ReadResult> ReadResultOf(const ScaleReading& reading, bool zeroValid)
{
    switch (reading.status) {
    case ScaleStatus::Stable: return ReadResult{OPOS_SUCCESS, 0, reading.weight};
    case ScaleStatus::StableZero:
        if (!zeroValid)
            return std::nullopt;
        return ReadResult{OPOS_SUCCESS, 0, 0};
    case ScaleStatus::InMotion:
    case ScaleStatus::NotUnderstood: return std::nullopt; // no reading yet; the scale is asked again
    case ScaleStatus::UnderZero: return ReadResult{OPOS_E_EXTENDED, OPOS_ESCAL_UNDERWEIGHT};
    case ScaleStatus::OverCapacity: return ReadResult{OPOS_E_EXTENDED, OPOS_ESCAL_OVERWEIGHT};
    case ScaleStatus::Fault: return ReadResult{OPOS_E_FAILURE};
    case ScaleStatus::Gone: return ReadResult{OPOS_E_OFFLINE};
    }
    return std::nullopt;
}

std::optional<LONG> StandardScaleService::Outcome(const ScaleReading& reading, LONG& weight)
{
    const std::optional<ReadResult> read = ReadResultOf(reading, m_device->ZeroValid());
    if (!read)
        return std::nullopt;
    if (read->result == OPOS_SUCCESS)
        weight = read->weight;
    return Finish(read->result, read->extended);
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

// An answer not understood is no fault of the scale, so a read only waits on; the description
// shows what came, for the technician, until an answer is understood.
const ScaleReading& StandardScaleService::Note(const ScaleReading& reading)
{
    m_notUnderstood = reading.status == ScaleStatus::NotUnderstood ? WeightReport::NotUnderstoodText(reading.answer) : u"";
    return reading;
}

std::u16string StandardScaleService::GetDescription()
{
    if (m_device)
        return m_device->Description() + (m_notUnderstood.empty() ? u"" : u"; " + m_notUnderstood);
    return m_openFailure.empty() ? std::u16string(kClosedDescription) : m_openFailure;
}

LONG StandardScaleService::GetMaximumWeight() { return m_device ? m_device->Capacity() : 0; }

LONG StandardScaleService::GetWeightUnit() { return m_device ? m_device->Unit() : 0; }

}
