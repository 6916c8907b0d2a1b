// A HID scale's end of the cable behind each source of its reports (a hidraw node, the Windows
// HID API), so that a suite runs its cases over every source.
#pragma once

#include "tests/opos/HidApiFake.h"
#include "tests/opos/HidTestScale.h"

#include "opos/hid/HidApiScale.h"

#include <functional>

namespace hidtest {

class HidApiEnd : public ScaleEnd
{
public:
    static constexpr const char* kPath = R"(\\?\hid#vid_0922&pid_8003#scale)";
    std::unique_ptr<opos::IScaleDevice> Open() override
    {
        Unplug();
        m_c = m_api.Plug({.path = kPath, .name = "Test Shipping Scale", .vendor = 0x0922, .product = 0x8003,
                          .descriptor = m_descriptor, .limit = m_limit, .current = m_current});
        return opos::OpenHidApiScale(m_api, kPath);
    }
    void Use(Bytes descriptor, Bytes limit) override { m_descriptor = std::move(descriptor), m_limit = std::move(limit); }
    void SetCurrent(Bytes report) override { (m_c ? m_c->current : m_current) = std::move(report); }
    bool Send(const Bytes& report) override { return m_c->Send(report), true; }
    Bytes Received() override { return m_c->sent.empty() ? Bytes{} : m_c->sent.back(); }
    void Unplug() override
    {
        if (m_c)
            m_c->Pull();
    }

private:
    hidtest::FakeHidApi m_api;
    std::shared_ptr<hidtest::FakeHidCollection> m_c;
    Bytes m_descriptor = hidtest::kScaleDescriptor, m_limit = hidtest::kLimit15kg, m_current;
};

struct Source
{
    const char* name;
    std::function<std::unique_ptr<ScaleEnd>()> end;
    std::string path, goneWhy, noScaleWhy;
};
const Source kSources[] = {
    {"hidraw", []() -> std::unique_ptr<ScaleEnd> { return std::make_unique<FakeHidScale>(); }, "/dev/hidraw-test", "the scale was unplugged", "report descriptor"},
    {"hidapi", [] { return std::make_unique<HidApiEnd>(); }, HidApiEnd::kPath, "disconnected", "HID collection"},
};

}
