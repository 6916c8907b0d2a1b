// The OPOS state model of a scale (closed, opened, claimed, enabled) over a device from the
// device registry. Result codes per method and state are tabled in README.md.
#pragma once

#include "opos/ClaimLock.h"
#include "opos/ResultCodes.h"
#include "opos/ScaleDevice.h"
#include "opos/ScaleService.h"
#include "opos/WeightReport.h"

#include <memory>
#include <optional>

namespace opos {

// What ReadWeight makes of a device's reading: nullopt while it keeps waiting (OPOS_E_TIMEOUT at
// its time-out); else its result, extended result and, on success, the weight.
struct ReadResult
{
    LONG result = OPOS_SUCCESS, extended = 0, weight = 0;
};
std::optional<ReadResult> ReadResultOf(const ScaleReading& reading, bool zeroValid);

class StandardScaleService : public IScaleService
{
public:
    enum class State { Closed, Opened, Claimed, Enabled };

    LONG Open(const std::u16string& name) override;
    LONG Close() override;
    LONG Claim(LONG timeoutMs) override;
    LONG Release() override;
    LONG ClearInput() override;
    LONG DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string) override;
    LONG ReadWeight(LONG& weight, LONG timeoutMs) override;
    void SetDeviceEnabled(bool enabled) override;

    std::u16string GetDescription() override;
    LONG GetMaximumWeight() override;
    LONG GetWeightUnit() override;

    // The outcome of the last method or DeviceEnabled change.
    LONG ResultCode() const { return m_resultCode; }
    LONG ResultCodeExtended() const { return m_resultCodeExtended; }
    State GetState() const;
    // The open device's descriptor (-1: none, or nothing open), for a caller that waits on it itself.
    WaitHandle DeviceWaitable() const { return m_device ? m_device->Waitable() : kNoWait; }
    // When the open device's reading may next change without it sending anything (a replay's next report).
    std::int64_t DeviceNextChangeMs(std::int64_t nowMs) const { return m_device ? m_device->NextChangeMs(nowMs) : IScaleDevice::kNoChange; }

    static constexpr const char16_t* kClosedDescription = u"Tarabo OPOS scale control: no device open";

private:
    LONG Finish(LONG result, LONG extended = 0);
    LONG StateError(State needed) const; // the failure for a call needing at least `needed`
    LONG WaitForWeight(LONG& weight, LONG timeoutMs);
    std::optional<LONG> Outcome(const ScaleReading& reading, LONG& weight); // nullopt: keep waiting
    const ScaleReading& Note(const ScaleReading& reading);
    std::int64_t WaitLimit(std::int64_t now, std::int64_t deadline, bool forever) const;
    void DropClaim();

    std::unique_ptr<IScaleDevice> m_device;
    std::unique_ptr<ClaimLock> m_claim;
    WeightReport m_weightReport;
    std::u16string m_openFailure; // why the last Open failed, shown as the description until the next
    std::u16string m_notUnderstood; // the device's latest answer, while it is one not understood
    bool m_enabled = false;
    LONG m_resultCode = 0;
    LONG m_resultCodeExtended = 0;
};

}
