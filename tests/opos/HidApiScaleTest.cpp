// The Windows HID path through its seam (HidApi.h), on any platform: a fake API that reads each
// collection's report descriptor as Windows' HID parser does: the collections are listed and
// opened with the reason when they cannot be (the scale itself over both sources: HidScaleTest.cpp,
// real scales' reports: AnswerCorpusTest.cpp).
#include "tests/opos/HidApiFake.h"
#include "tests/opos/HidTestScale.h"
#include "tests/opos/ScaleTestSupport.h"

#include "opos/hid/HidApiScale.h"

using namespace opos;
using hidtest::Bytes;

namespace {

class HidApiScaleService : public ::testing::Test
{
protected:
    ManualClock clock{0};
    ClockOverride clockGuard{clock};
    hidtest::FakeHidApi api;
    std::shared_ptr<hidtest::FakeHidCollection> mouse =
        api.Plug({.path = R"(\\?\hid#vid_046d&pid_c077#mouse)", .name = "Mouse", .vendor = 0x046d, .product = 0xc077,
                  .descriptor = hidtest::kMouseDescriptor, .heldBySystem = true});
    std::shared_ptr<hidtest::FakeHidCollection> plain =
        api.Plug({.path = R"(\\?\hid#vid_1234&pid_0001#pad)", .name = "Pad", .vendor = 0x1234, .product = 0x0001,
                  .descriptor = hidtest::kMouseDescriptor});
    std::shared_ptr<hidtest::FakeHidCollection> scale =
        api.Plug({.path = R"(\\?\hid#vid_0922&pid_8003#scale)", .name = "Test Shipping Scale", .vendor = 0x0922,
                  .product = 0x8003, .descriptor = hidtest::kScaleDescriptor, .limit = hidtest::kLimit15kg});
    std::string path = scale->path;
    std::string name = UniqueName("WINHID");
    DeviceOverride device{Wide(name), [this] { return OpenHidApiScale(api, path); }};
    ScaleDriver driver;
    LONG weight = -5;
};

}

TEST_F(HidApiScaleService, ListsEveryCollectionWithItsIdsAndOnlyTheScaleAsOne)
{
    const std::vector<HidrawNode> nodes = ListHidApiDevices(api);
    ASSERT_EQ(nodes.size(), 3u);
    const auto row = [](const HidrawNode& n) { return std::make_tuple(n.path, n.name, n.vendor, n.product, n.scale); };
    EXPECT_EQ(row(nodes[0]), row({mouse->path, "Mouse", 0x046d, 0xc077, false})) << "held by the system, yet listed";
    EXPECT_EQ(row(nodes[2]), row({scale->path, "Test Shipping Scale", 0x0922, 0x8003, true}));
    scale->Pull();
    EXPECT_EQ(ListHidApiDevices(api).size(), 2u) << "a pulled scale is not listed";
}

TEST_F(HidApiScaleService, ACollectionThatIsNoScaleOrIsHeldIsNoHardwareWithWhy)
{
    const struct { std::string path, description; } rows[] = {
        {plain->path, plain->path + " (Pad) is not a HID POS scale: its HID collection has no scale data report "
                                    "(usage page 0x8D: status, unit and weight)"},
        {mouse->path, mouse->path + ": access denied"},
        {R"(\\?\hid#gone)", R"(\\?\hid#gone: no such device)"},
    };
    for (const auto& r : rows) {
        path = r.path;
        EXPECT_EQ(driver.Open(name), OPOS_E_NOHARDWARE);
        EXPECT_EQ(driver.Description(), r.description);
    }
}
