#include "opos/drivers/ConfiguredDevice.h"

#include "opos/ResultCodes.h"
#include "opos/Utf8.h"

#include <algorithm>

namespace opos {

namespace {
const std::vector<std::string> kCommonKeys{"driver", "capacity", "zero-valid"};

// The driver's device with the section's common settings on top; a `zero-valid` the section
// leaves out is the device's own (a scenario's header may set it).
class SectionDevice : public IScaleDevice
{
public:
    SectionDevice(std::unique_ptr<IScaleDevice> device, LONG capacity, std::optional<bool> zeroValid)
        : m_device(std::move(device)), m_capacity(capacity), m_zeroValid(zeroValid)
    {
    }
    std::u16string Description() const override { return m_device->Description(); }
    LONG Capacity() const override { return m_device->Capacity() > 0 ? m_device->Capacity() : m_capacity; }
    LONG Unit() const override { return m_device->Unit(); }
    bool ZeroValid() const override { return m_zeroValid.value_or(m_device->ZeroValid()); }
    WaitHandle Waitable() const override { return m_device->Waitable(); }
    std::int64_t NextChangeMs(std::int64_t nowMs) const override { return m_device->NextChangeMs(nowMs); }
    void Request(std::int64_t nowMs) override { m_device->Request(nowMs); }
    ScaleReading ReadingAt(std::int64_t nowMs) override { return m_device->ReadingAt(nowMs); }
    void ClearInput() override { m_device->ClearInput(); }
    LONG DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string, std::int64_t nowMs) override
    {
        return m_device->DirectIO(command, data, string, nowMs);
    }

private:
    std::unique_ptr<IScaleDevice> m_device;
    LONG m_capacity;
    std::optional<bool> m_zeroValid;
};

std::string joined(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : ", ") + word;
    return text;
}
}

const DeviceDriver& CheckSection(const DeviceSection& section)
{
    if (!section.Has("driver"))
        section.Fail("driver", "no driver given (driver = simulated, hid, ...)");
    const std::string driverName = section.Text("driver", "");
    const auto& drivers = DeviceDrivers();
    const auto driver = std::find_if(drivers.begin(), drivers.end(), [&](const DeviceDriver& d) { return d.name == driverName; });
    if (driver == drivers.end()) {
        std::vector<std::string> names;
        for (const DeviceDriver& d : drivers)
            names.push_back(d.name);
        section.Fail("driver", "unknown driver \"" + driverName + "\" (known: " + joined(names) + ")");
    }
    if (!driver->open) {
        std::vector<std::string> names;
        for (const DeviceDriver& d : drivers)
            if (d.open)
                names.push_back(d.name);
        section.Fail("driver", "driver \"" + driverName + "\" is not available in this build (available: " + joined(names) + ")");
    }
    for (const auto& [key, value] : section.values) {
        const auto known = [&](const std::vector<std::string>& keys) { return std::count(keys.begin(), keys.end(), key) != 0; };
        if (!known(kCommonKeys) && !known(driver->keys))
            section.Fail(key, "not a setting of driver \"" + driverName + "\" (its settings: " +
                                  joined(kCommonKeys) + (driver->keys.empty() ? "" : ", " + joined(driver->keys)) + ")");
    }
    section.Number("capacity", 0, 0, 0x7FFFFFFF);
    section.Flag("zero-valid", false);
    return *driver;
}

std::unique_ptr<IScaleDevice> OpenSectionDevice(const DeviceSection& section)
{
    const DeviceDriver& driver = CheckSection(section);
    const LONG capacity = section.Number("capacity", 0, 0, 0x7FFFFFFF);
    std::optional<bool> zeroValid;
    if (section.Has("zero-valid"))
        zeroValid = section.Flag("zero-valid", false);
    return std::make_unique<SectionDevice>(driver.open(section), capacity, zeroValid);
}

std::unique_ptr<IScaleDevice> OpenConfiguredDevice(const std::u16string& name)
{
    const ScalesConfig config = LoadConfiguredScales();
    const auto it = config.find(Utf8FromUtf16(name));
    return it == config.end() ? nullptr : OpenSectionDevice(it->second);
}

}
