// Shared by the scale control tests: typed calls through the automation interface, a device
// whose readings the test chooses, and logical names no other test process uses.
#pragma once

#include "Opos.h"

#include <functional>
#include <memory>
#include <string>

// The control as the console reaches it: created by class id, called through typed helpers.
class ScaleDriver
{
public:
    ScaleDriver();
    CHostedControl* control() const { return m_control.get(); }

    LONG Open(const std::string& name);
    LONG Close();
    LONG Claim(LONG timeoutMs);
    LONG Release();
    LONG ClearInput();
    LONG DirectIO(LONG command, LONG& data, BSTR& string);
    LONG ReadWeight(LONG& weight, LONG timeoutMs);
    void SetDeviceEnabled(bool enabled);
    CString Description();
    LONG MaximumWeight();
    LONG WeightUnit();

private:
    std::unique_ptr<CHostedControl> m_control;
};

// A device whose readings follow a function of the clock time.
class FakeScaleDevice : public opos::IScaleDevice
{
public:
    using Readings = std::function<opos::ScaleReading(std::int64_t nowMs)>;
    FakeScaleDevice(Readings readings, LONG capacity) : m_readings(std::move(readings)), m_capacity(capacity) {}

    std::u16string Description() const override { return u"Fake test scale"; }
    LONG Capacity() const override { return m_capacity; }
    LONG Unit() const override { return SCAL_WU_GRAM; }
    opos::ScaleReading ReadingAt(std::int64_t nowMs) override { return m_readings(nowMs); }
    LONG DirectIO(LONG, LONG&, std::optional<std::u16string>&, std::int64_t) override { return OPOS_SUCCESS; }

private:
    Readings m_readings;
    LONG m_capacity;
};

// A logical name private to this test process, so parallel test processes never contend for
// the same claim.
std::string UniqueName(const std::string& base);
std::u16string Wide(const std::string& ascii);
