// The Windows HID path through its seam (HidApi.h), on any platform: a fake API that reads each
// collection's report descriptor as Windows' HID parser does. Real scales' reports read the same
// through the API's usage values as through the descriptor, and the collections are listed and
// opened with the reason when they cannot be (the scale itself, other layouts and bad reports
// over both sources: HidScaleTest.cpp).
#include "tests/support/AnswerCorpus.h"
#include "tests/opos/HidApiFake.h"
#include "tests/opos/HidTestScale.h"
#include "tests/opos/ScaleTestSupport.h"

#include "opos/hid/HidApiScale.h"

#include <tuple>

using namespace opos;
using hidtest::Bytes;

namespace {

auto fieldsOf(const ScaleReport& r) { return std::make_tuple(r.status, r.unit, r.exponent, r.weight); }

// A collection with the descriptor, for decoding one report through its usage values.
struct ApiSide
{
    explicit ApiSide(const Bytes& descriptor)
        : collection(std::make_shared<hidtest::FakeHidCollection>()), parser(descriptor)
    {
        collection->descriptor = descriptor;
        device = std::make_unique<hidtest::FakeHidApiDevice>(collection);
    }
    std::shared_ptr<hidtest::FakeHidCollection> collection;
    hidtest::DescribedCollection parser;
    std::unique_ptr<hidtest::FakeHidApiDevice> device;
};

}

TEST(HidApiCorpus, EveryRealScaleReportReadsTheSameThroughTheHidApiAsThroughItsDescriptor)
{
    HidScaleLayout byDescriptor;
    HidApiLayout byApi;
    std::unique_ptr<ApiSide> api;
    for (const answers::Case& c : answers::Load("hid.txt")) {
        SCOPED_TRACE(c.where + ": " + c.source);
        const Bytes bytes(c.bytes.begin(), c.bytes.end());
        std::string why;
        if (c.tag == "descriptor") {
            HidDescriptor descriptor;
            ASSERT_TRUE(ParseHidDescriptor(bytes.data(), bytes.size(), descriptor, why) && FindScaleLayout(descriptor, byDescriptor, why));
            const auto id = [](const auto& report) { return report ? std::to_string(report->reportId) : std::string("-"); };
            std::string documented; // data <id> limit <id> zero <id>
            for (const std::string& word : c.reading.words)
                documented += (documented.empty() ? "" : " ") + word;
            EXPECT_EQ("data " + std::to_string(byDescriptor.data.reportId) + " limit " + id(byDescriptor.weightLimit) + " zero " +
                          id(byDescriptor.zero), documented);
            api = std::make_unique<ApiSide>(bytes);
            HidCaps caps;
            ASSERT_TRUE(api->device->Caps(caps));
            ASSERT_TRUE(FindHidApiLayout(caps, byApi, why)) << why;
            EXPECT_EQ(byApi.data.reportId, byDescriptor.data.reportId);
            EXPECT_EQ(byApi.weightLimit ? byApi.weightLimit->reportId : -1, byDescriptor.weightLimit ? byDescriptor.weightLimit->reportId : -1);
            EXPECT_EQ(byApi.zero ? byApi.zero->reportId : -1, byDescriptor.zero ? byDescriptor.zero->reportId : -1);
            continue;
        }
        ASSERT_TRUE(api) << "a report before its descriptor";
        const bool limit = c.tag == "limit";
        ASSERT_EQ(bool(byApi.weightLimit), bool(byDescriptor.weightLimit));
        ScaleReport viaDescriptor, viaApi;
        ASSERT_TRUE(DecodeScaleReport(limit ? *byDescriptor.weightLimit : byDescriptor.data, bytes.data(), bytes.size(), viaDescriptor, why)) << why;
        const Bytes apiForm = api->parser.ApiForm(limit ? HidReportType::Feature : HidReportType::Input, bytes);
        ASSERT_TRUE(DecodeHidApiReport(*api->device, limit ? *byApi.weightLimit : byApi.data, apiForm, viaApi, why)) << why;
        EXPECT_EQ(fieldsOf(viaApi), fieldsOf(viaDescriptor));
        const std::optional<LONG> thousandths = Thousandths(viaApi.weight, viaApi.exponent, viaApi.unit, OposUnit(viaApi.unit));
        if (limit || c.reading.kind == "weight") {
            EXPECT_EQ(thousandths, c.reading.thousandths) << "as documented";
        }
    }
}

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
