// Shared by the scale control tests: typed calls through the automation interface, a device
// whose readings the test chooses, and logical names no other test process uses.
#pragma once

#include "Opos.h"

#include <functional>
#include <memory>
#include <string>

#include <unistd.h>

// The control as the console reaches it: created by class id, called through typed helpers.
class ScaleDriver
{
public:
    CHostedControl* control() const { return m_control.get(); }

    LONG Open(const std::string& name) { return Method(opos::dispid::Open, VTS_BSTR, name.c_str()); }
    LONG Close() { return Method(opos::dispid::Close, VTS_NONE); }
    LONG Claim(LONG timeoutMs) { return Method(opos::dispid::Claim, VTS_I4, timeoutMs); }
    LONG Release() { return Method(opos::dispid::Release, VTS_NONE); }
    LONG ClearInput() { return Method(opos::dispid::ClearInput, VTS_NONE); }
    LONG DirectIO(LONG command, LONG& data, BSTR& string)
    {
        return Method(opos::dispid::DirectIO, VTS_I4 VTS_PI4 VTS_PBSTR, command, &data, &string);
    }
    LONG ReadWeight(LONG& weight, LONG timeoutMs)
    {
        return Method(opos::dispid::ReadWeight, VTS_PI4 VTS_I4, &weight, timeoutMs);
    }
    void SetDeviceEnabled(bool enabled)
    {
        AfxSetProperty(m_control.get(), opos::dispid::DeviceEnabled, VT_BOOL, LONG(enabled ? TRUE : FALSE));
    }
    CString Description()
    {
        CString text;
        AfxGetProperty(m_control.get(), opos::dispid::Description, VT_BSTR, &text);
        return text;
    }
    LONG MaximumWeight() { return Long(opos::dispid::MaximumWeight); }
    // Opens the named scale, then claims it, then enables it, stopping after `steps` of these;
    // false when a step fails.
    bool Enable(const std::string& name, int steps = 3)
    {
        if ((steps >= 1 && Open(name) != OPOS_SUCCESS) || (steps >= 2 && Claim(0) != OPOS_SUCCESS))
            return false;
        if (steps >= 3)
            SetDeviceEnabled(true);
        return true;
    }
    LONG WeightUnit() { return Long(opos::dispid::WeightUnit); }

private:
    template <class... Args>
    LONG Method(DISPID id, afx_detail::CheckedParams<std::type_identity_t<Args>...> params, Args... args)
    {
        LONG result = -1;
        AfxInvokeHelper<LONG, Args...>(m_control.get(), id, DISPATCH_METHOD, VT_I4, &result, params, args...);
        return result;
    }
    LONG Long(DISPID id)
    {
        LONG value = -1;
        AfxGetProperty(m_control.get(), id, VT_I4, &value);
        return value;
    }

    std::unique_ptr<CHostedControl> m_control = AfxCreateControlInstance(opos::kScaleControlClsid);
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
inline std::string UniqueName(const std::string& base) { return base + "-test-" + std::to_string(::getpid()); }
inline std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }
