// A USB HID POS scale behind the standard service, over each source of its reports (a hidraw
// node, the Windows HID API): what ReadWeight, the properties and Direct IO show for the reports
// real scales send, for other layouts, garbage, and a pulled cable. One scale reads them all, so
// every case runs over every source. Then the collections the HID API lists and opens, with the
// reason when one is no scale or cannot be opened.
#include "tests/opos/HidScaleEnds.h"
#include "tests/opos/ScaleTestSupport.h"

using namespace opos;
using hidtest::Bytes;

namespace {

class HidScaleService : public ::testing::TestWithParam<hidtest::Source>
{
protected:
    ManualClock clock{0};
    ClockOverride clockGuard{clock};
    std::string name = UniqueName("HID");
    std::unique_ptr<hidtest::ScaleEnd> fake = GetParam().end();
    DeviceOverride device{Wide(name), [this] { return fake->Open(); }};
    ScaleDriver scale;

    // Opens the scale and gets its stale first report out of the way.
    void Plug()
    {
        ASSERT_TRUE(scale.Enable(name)) << scale.Description().str();
        ASSERT_TRUE(fake->Send({0x03, 0x04, 0x02, 0x00, 0xF4, 0x01})); // 500 g, from before the open
    }
    LONG Read(LONG timeoutMs = 0)
    {
        weight = -5;
        return scale.ReadWeight(weight, timeoutMs);
    }
    LONG weight = -5;
};

INSTANTIATE_TEST_SUITE_P(Sources, HidScaleService, ::testing::ValuesIn(hidtest::kSources), [](const auto& info) { return info.param.name; });

}

TEST_P(HidScaleService, EachReportGivesItsResultWeightAndUnit)
{
    for (const answers::Case& c : answers::Load("edge/hid.txt")) {
        SCOPED_TRACE(c.where + " (" + c.source + ")");
        Plug();
        ASSERT_TRUE(fake->Send(Bytes(c.bytes.begin(), c.bytes.end())));
        const LONG result = answers::OutcomeOf(c.reading).result;
        EXPECT_EQ(Read(), result);
        EXPECT_EQ(weight, result == OPOS_SUCCESS ? *c.reading.thousandths : -5);
        EXPECT_EQ(scale.WeightUnit(), answers::UnitOf(c.reading.unit));
        ASSERT_EQ(scale.Close(), OPOS_SUCCESS);
    }
}

TEST_P(HidScaleService, TheFirstReportIsStaleClearInputForgetsAndAUnitSwitchConvertsTheCapacity)
{
    ASSERT_TRUE(scale.Enable(name));
    ASSERT_TRUE(fake->Send({0x03, 0x04, 0x02, 0x00, 0xF4, 0x01}));
    EXPECT_EQ(Read(1000), OPOS_E_TIMEOUT) << "the stale first report is dropped";
    EXPECT_EQ(clock.NowMs(), 1000);
    ASSERT_TRUE(fake->Send({0x03, 0x04, 0x02, 0x00, 0x6E, 0x03}));
    EXPECT_EQ(scale.ClearInput(), OPOS_SUCCESS);
    EXPECT_EQ(Read(0), OPOS_E_TIMEOUT) << "cleared input is not read again";
    ASSERT_TRUE(fake->Send({0x03, 0x04, 0x0B, 0xFF, 0x4E, 0x00}));
    EXPECT_EQ(Read(0), OPOS_SUCCESS) << "the scale was switched to ounces";
    EXPECT_EQ(scale.MaximumWeight(), 529109) << "the capacity follows: 15000 g in thousandths of an ounce";
    LONG data = -1;
    BSTR text = nullptr;
    EXPECT_EQ(scale.DirectIO(4, data, text), OPOS_SUCCESS);
    EXPECT_EQ(data, 1);
    EXPECT_EQ(AfxTextFromBstr(text), " 7.800 oz");
    SysFreeString(text);
}

TEST_P(HidScaleService, AScaleThatReportsOnlyChangesIsReadOnceTheLoadSettles)
{
    fake->SetCurrent({0x03, 0x02, 0x02, 0x00, 0x00, 0x00}); // the empty platter, when asked
    ASSERT_TRUE(scale.Enable(name));
    EXPECT_EQ(Read(0), OPOS_E_TIMEOUT);
    ASSERT_TRUE(fake->Send({0x03, 0x04, 0x02, 0x00, 0x6E, 0x03})); // its one report as the load settles
    EXPECT_EQ(Read(0), OPOS_SUCCESS);
    EXPECT_EQ(weight, 878000);
}

TEST_P(HidScaleService, AnUnplugEndsTheWaitAtOnceAndTheDescriptionSaysWhy)
{
    Plug();
    fake->Unplug();
    EXPECT_EQ(Read(1000), OPOS_E_OFFLINE);
    EXPECT_EQ(clock.NowMs(), 0) << "the hang-up ended the wait";
    const std::string description = scale.Description().str();
    EXPECT_TRUE(description.starts_with("Test Shipping Scale (USB HID scale 0922:8003, " + GetParam().path + "): "));
    EXPECT_NE(description.find(GetParam().goneWhy), std::string::npos) << description;
}

TEST_P(HidScaleService, DirectIOFiveZeroesAScaleThatHasAZeroControl)
{
    Plug();
    LONG data = -1;
    BSTR text = nullptr;
    EXPECT_EQ(scale.DirectIO(5, data, text), OPOS_SUCCESS);
    EXPECT_EQ(fake->Received(), Bytes({0x02, 0x01})) << "the Zero Scale output report";
    EXPECT_EQ(scale.DirectIO(6, data, text), OPOS_E_ILLEGAL);
    fake->Unplug();
    EXPECT_EQ(scale.DirectIO(5, data, text), OPOS_E_OFFLINE);
    ASSERT_EQ(scale.Close(), OPOS_SUCCESS);
    fake->Use(hidtest::kReorderedDescriptor, {});
    Plug();
    EXPECT_EQ(scale.DirectIO(5, data, text), OPOS_E_ILLEGAL) << "this scale has no zero control";
    EXPECT_EQ(text, nullptr);
}

TEST_P(HidScaleService, OtherLayoutsAreFoundByUsageAndADescriptorWithoutAScaleIsNoHardware)
{
    fake->Use(hidtest::kReorderedDescriptor, {});
    ASSERT_TRUE(scale.Enable(name));
    EXPECT_EQ(scale.MaximumWeight(), 0) << "no weight-limit report: the scale cannot tell";
    ASSERT_TRUE(fake->Send({0x04, 0x00, 0x00, 0x00, 0x02, 0x00, 0x04}));
    ASSERT_TRUE(fake->Send({0x04, 0x6E, 0x03, 0xAA, 0x02, 0x00, 0x04}));
    EXPECT_EQ(Read(), OPOS_SUCCESS);
    EXPECT_EQ(weight, 878000);
    ASSERT_EQ(scale.Close(), OPOS_SUCCESS);

    fake->Use(hidtest::kUnitListDescriptor, {}); // units as a list of usages: index 2 is the second, pounds
    ASSERT_TRUE(scale.Enable(name));
    ASSERT_TRUE(fake->Send({0x06, 0x04, 0x01, 0xFD, 0xDC, 0x05}));
    ASSERT_TRUE(fake->Send({0x06, 0x04, 0x02, 0xFE, 0x11, 0x03}));
    EXPECT_EQ(Read(), OPOS_SUCCESS);
    EXPECT_EQ(weight, 7850);
    EXPECT_EQ(scale.WeightUnit(), SCAL_WU_POUND);
    ASSERT_EQ(scale.Close(), OPOS_SUCCESS);

    fake->Use(hidtest::kMouseDescriptor, {});
    EXPECT_EQ(scale.Open(name), OPOS_E_NOHARDWARE);
    EXPECT_EQ(scale.Description(), GetParam().path + " (Test Shipping Scale) is not a HID POS scale: its " + GetParam().noScaleWhy +
                                       " has no scale data report (usage page 0x8D: status, unit and weight)");
}

TEST(HidApiScaleService, ListsEveryCollectionOnlyTheScaleAsOneAndOneHeldOrGoneIsNoHardwareWithWhy)
{
    hidtest::FakeHidApi api;
    const auto mouse = api.Plug({.path = R"(\\?\hid#vid_046d&pid_c077#mouse)", .name = "Mouse", .vendor = 0x046d, .product = 0xc077,
                                 .descriptor = hidtest::kMouseDescriptor, .heldBySystem = true});
    const auto scale = api.Plug({.path = hidtest::HidApiEnd::kPath, .name = "Test Shipping Scale", .vendor = 0x0922,
                                 .product = 0x8003, .descriptor = hidtest::kScaleDescriptor, .limit = hidtest::kLimit15kg});
    const auto row = [](const HidrawNode& n) { return std::make_tuple(n.path, n.name, n.vendor, n.product, n.scale); };
    const std::vector<HidrawNode> nodes = ListHidApiDevices(api);
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(row(nodes[0]), row({mouse->path, "Mouse", 0x046d, 0xc077, false})) << "held by the system, yet listed";
    EXPECT_EQ(row(nodes[1]), row({scale->path, "Test Shipping Scale", 0x0922, 0x8003, true}));
    scale->Pull();
    EXPECT_EQ(ListHidApiDevices(api).size(), 1u) << "a pulled scale is not listed";
    for (const std::string& path : {mouse->path, scale->path}) {
        try {
            ADD_FAILURE() << path << " opened: " << bool(OpenHidApiScale(api, path));
        } catch (const DeviceError& e) {
            EXPECT_EQ(e.Result(), OPOS_E_NOHARDWARE);
            EXPECT_EQ(e.what(), path + (path == mouse->path ? ": access denied" : ": no such device"));
        }
    }
}
