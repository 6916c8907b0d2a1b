// Shared by the scale control tests: typed calls through the automation interface, a device
// whose readings the test chooses, logical names no other test process uses, and fixtures.
#pragma once

#include "opos/Opos.h"
#include "opos/config/ScalesConfig.h"
#include "opos/WeightReport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include <unistd.h>

namespace dispid = opos::dispid;

// The control as the console reaches it: created by class id, called through typed helpers.
class ScaleDriver
{
public:
    CHostedControl* control() const { return m_control.get(); }

    LONG Open(const std::string& name) { return Method(dispid::Open, VTS_BSTR, name.c_str()); }
    LONG Close() { return Method(dispid::Close, VTS_NONE); }
    LONG Claim(LONG timeoutMs) { return Method(dispid::Claim, VTS_I4, timeoutMs); }
    LONG Release() { return Method(dispid::Release, VTS_NONE); }
    LONG ClearInput() { return Method(dispid::ClearInput, VTS_NONE); }
    LONG DirectIO(LONG cmd, LONG& data, BSTR& s) { return Method(dispid::DirectIO, VTS_I4 VTS_PI4 VTS_PBSTR, cmd, &data, &s); }
    LONG ReadWeight(LONG& weight, LONG timeoutMs) { return Method(dispid::ReadWeight, VTS_PI4 VTS_I4, &weight, timeoutMs); }
    void SetDeviceEnabled(bool on) { AfxSetProperty(m_control.get(), dispid::DeviceEnabled, VT_BOOL, LONG(on)); }
    CString Description()
    {
        CString text;
        AfxGetProperty(m_control.get(), dispid::Description, VT_BSTR, &text);
        return text;
    }
    LONG MaximumWeight() { return Long(dispid::MaximumWeight); }
    LONG WeightUnit() { return Long(dispid::WeightUnit); }
    // Opens the named scale, then claims it, then enables it, stopping after `steps` of these;
    // false when a step fails.
    bool Enable(const std::string& name, int steps = 3)
    {
        return (steps < 1 || Open(name) == OPOS_SUCCESS) && (steps < 2 || Claim(0) == OPOS_SUCCESS) &&
               (steps < 3 || (SetDeviceEnabled(true), true));
    }

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

// A logical name private to this test process, so parallel test processes never contend for
// the same claim.
inline std::string UniqueName(const std::string& base) { return base + "-test-" + std::to_string(::getpid()); }
inline std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// Scales configuration files of the test's own, in a temporary folder removed afterwards, read in
// order by every Open while the object lives.
class TestConfigFiles
{
public:
    explicit TestConfigFiles(const std::vector<std::string>& names = {"scales.conf"})
        : m_dir(std::filesystem::temp_directory_path() / ("tarabo-test-conf-" + std::to_string(::getpid()))),
          m_override(Paths(m_dir, names))
    {
        std::filesystem::create_directories(m_dir);
    }
    ~TestConfigFiles() { std::filesystem::remove_all(m_dir); }
    std::string Path(const std::string& name = "scales.conf") const { return (m_dir / name).string(); }
    void Write(const std::string& text, const std::string& name = "scales.conf") const
    {
        std::ofstream(Path(name), std::ios::binary) << text;
    }

private:
    static std::vector<std::string> Paths(const std::filesystem::path& dir, const std::vector<std::string>& names)
    {
        std::vector<std::string> paths;
        for (const std::string& name : names)
            paths.push_back((dir / name).string());
        return paths;
    }
    std::filesystem::path m_dir;
    opos::ConfigFilesOverride m_override;
};

// A 15 kg device whose readings follow a function of the clock time, looked at every 50 ms.
class FakeScaleDevice : public opos::IScaleDevice
{
public:
    using Readings = std::function<opos::ScaleReading(std::int64_t nowMs)>;
    static constexpr LONG kCapacity = 15000;
    explicit FakeScaleDevice(Readings readings) : m_readings(std::move(readings)) {}

    std::u16string Description() const override { return u"Fake test scale"; }
    LONG Capacity() const override { return kCapacity; }
    LONG Unit() const override { return SCAL_WU_GRAM; }
    std::int64_t NextChangeMs(std::int64_t nowMs) const override { return nowMs + 50; }
    opos::ScaleReading ReadingAt(std::int64_t nowMs) override { return m_readings(nowMs); }
    LONG DirectIO(LONG, LONG&, std::optional<std::u16string>&, std::int64_t) override { return OPOS_SUCCESS; }

private:
    Readings m_readings;
};

// The standard service over a fake device, on a clock the test moves.
class FakeScaleTest : public ::testing::Test
{
protected:
    opos::ManualClock clock{0};
    opos::ClockOverride clockGuard{clock};
    std::string name = UniqueName("FAKE");
    FakeScaleDevice::Readings readings = [](std::int64_t) { return opos::ScaleReading{opos::ScaleStatus::Stable, 1250}; };
    opos::DeviceOverride device{Wide(name), [this] { return std::make_unique<FakeScaleDevice>(readings); }};
    std::shared_ptr<opos::StandardScaleService> service = std::make_shared<opos::StandardScaleService>();
    opos::ServiceOverride serviceGuard{service};
    ScaleDriver scale;
};

// The scripted service behind the control, on a clock the test moves.
class ScriptedScaleTest : public ::testing::Test
{
protected:
    opos::ManualClock clock{0};
    opos::ClockOverride clockGuard{clock};
    std::shared_ptr<opos::ScriptedScale> script = std::make_shared<opos::ScriptedScale>();
    opos::ServiceOverride guard{script};
    ScaleDriver scale;
    long liveAtStart = AfxLiveBstrCount();
};
