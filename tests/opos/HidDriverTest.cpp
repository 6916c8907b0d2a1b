// The hid driver of the scales configuration: which node `device` picks, the settings that
// fill in what a scale cannot tell, and the nodes as sysfs lists them.
#include "tests/opos/HidTestScale.h"
#include "tests/opos/ScaleTestSupport.h"

#include "opos/hid/Hidraw.h"

#include <filesystem>
#include <fstream>

using namespace opos;
using hidtest::FakeHidScale;
namespace fs = std::filesystem;

namespace {

class HidDriver : public ::testing::Test
{
protected:
    TestConfigFiles conf;
    ManualClock clock{0};
    ClockOverride clockGuard{clock};
    FakeHidScale fake{hidtest::kReorderedDescriptor, {}};
    std::vector<HidrawNode> nodes{{"/dev/hidraw0", "Mouse", 0x046d, 0xc077, false},
                                  {"/dev/hidraw1", "Scanner keyboard", 0x0922, 0x8003, false},
                                  {"/dev/hidraw2", "Test Shipping Scale", 0x0922, 0x8003, true}};
    std::vector<std::string> opened;
    HidrawSystemOverride system{{[this] { return nodes; }, [this](const std::string& path) {
                                     opened.push_back(path);
                                     return fake.Connection();
                                 }}};
    std::string name = UniqueName("HIDCONF");
    ScaleDriver scale;

    LONG OpenWith(const std::string& settings)
    {
        conf.Write("[" + name + "]\ndriver = hid\n" + settings);
        return scale.Open(name);
    }
    std::string Description() { return scale.Description().str(); }
};

}

TEST_F(HidDriver, DeviceChoosesTheNodeByPathIdsOrAsTheOnlyScale)
{
    const struct { const char* settings; std::vector<bool> scales; LONG result; const char* openedOrWhy; const char* said = ""; } cases[] = {
        {"", {false, false, true}, OPOS_SUCCESS, "/dev/hidraw2"},
        {"device = auto\n", {false, false, true}, OPOS_SUCCESS, "/dev/hidraw2"},
        {"device = /dev/hidraw7\n", {false, false, false}, OPOS_SUCCESS, "/dev/hidraw7"},
        {"device = 0922:8003\n", {false, false, true}, OPOS_SUCCESS, "/dev/hidraw2", ", the POS scale among 2 HID collections 0922:8003"},
        {"device = 046d:c077\n", {false, false, true}, OPOS_SUCCESS, "/dev/hidraw0"},
        {"device = 0922:8003\n", {false, false, false}, OPOS_E_NOHARDWARE, "none of the 2 HID collections 0922:8003 (/dev/hidraw1"},
        {"device = 0922:8003\n", {false, true, true}, OPOS_E_NOEXIST, "0922:8003 finds several HID POS scales"},
        {"device = 0922:9999\n", {false, false, true}, OPOS_E_NOHARDWARE, "no HID device 0922:9999 is connected"},
        {"device = auto\n", {false, false, false}, OPOS_E_NOHARDWARE, "no USB HID POS scale is connected"},
        {"device = auto\n", {true, false, true}, OPOS_E_NOEXIST, "line 3: key \"device\": auto finds several HID POS scales "
                                                                 "(/dev/hidraw0 046d:c077, /dev/hidraw2 0922:8003): name one"},
        {"device = hidraw1\n", {false, false, true}, OPOS_E_NOEXIST, "line 3: key \"device\": \"hidraw1\" is neither"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        for (std::size_t i = 0; i < nodes.size(); ++i)
            nodes[i].scale = c.scales[i];
        opened.clear();
        EXPECT_EQ(OpenWith(c.settings), c.result);
        if (c.result == OPOS_SUCCESS) {
            EXPECT_EQ(opened, std::vector<std::string>{c.openedOrWhy});
            EXPECT_TRUE(Description().ends_with(")" + std::string(c.said))) << Description();
        } else
            EXPECT_NE(Description().find(c.openedOrWhy), std::string::npos) << Description();
        scale.Close();
    }
}

TEST_F(HidDriver, CapacityFillsInWhatTheScaleCannotTellAndZeroValidMakesAnEmptyPlatterAWeight)
{
    const struct { const char* settings; LONG capacity, result, weight; const char* status; } cases[] = {
        {"capacity = 6000\nzero-valid = true\n", 6000, OPOS_SUCCESS, 0, " 0.000 g"},
        {"device = auto\n", 0, OPOS_E_TIMEOUT, -5, " (empty)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        ASSERT_EQ(OpenWith(c.settings), OPOS_SUCCESS);
        EXPECT_EQ(scale.MaximumWeight(), c.capacity);
        ASSERT_EQ(scale.Claim(0), OPOS_SUCCESS);
        scale.SetDeviceEnabled(true);
        ASSERT_TRUE(fake.Send({0x04, 0x00, 0x00, 0x00, 0x02, 0x00, 0x02}));
        ASSERT_TRUE(fake.Send({0x04, 0x00, 0x00, 0x00, 0x02, 0x00, 0x02}));
        LONG weight = -5, data = -1;
        EXPECT_EQ(scale.ReadWeight(weight, 1000), c.result);
        EXPECT_EQ(weight, c.weight);
        BSTR text = nullptr;
        EXPECT_EQ(scale.DirectIO(4, data, text), OPOS_SUCCESS);
        EXPECT_EQ(AfxTextFromBstr(text), c.status);
        SysFreeString(text);
        scale.Close();
    }
}

TEST(Hidraw, NodesComeFromSysfsInNumberOrderAndOpeningSaysWhyItCannot)
{
    const fs::path sysfs = fs::temp_directory_path() / ("tarabo-sysfs-" + std::to_string(::getpid()));
    const auto node = [&](const char* node, const char* uevent, const hidtest::Bytes& descriptor) {
        fs::create_directories(sysfs / node / "device");
        std::ofstream(sysfs / node / "device" / "uevent") << uevent;
        std::ofstream(sysfs / node / "device" / "report_descriptor", std::ios::binary)
            .write(reinterpret_cast<const char*>(descriptor.data()), std::streamsize(descriptor.size()));
    };
    node("hidraw10", "DRIVER=hid-generic\nHID_ID=0003:00000922:00008003\nHID_NAME=Test Shipping Scale\n", hidtest::kScaleDescriptor);
    node("hidraw2", "HID_ID=0003:0000046D:0000C077\nHID_NAME=Mouse\n", hidtest::kMouseDescriptor);
    std::vector<std::string> nodes;
    for (const HidrawNode& n : ListHidrawNodes(sysfs.string()))
        nodes.push_back(n.path + " " + std::to_string(n.vendor) + ":" + std::to_string(n.product) + " " + n.name + (n.scale ? " scale" : ""));
    fs::remove_all(sysfs);
    EXPECT_EQ(nodes, (std::vector<std::string>{"/dev/hidraw2 1133:49271 Mouse", "/dev/hidraw10 2338:32771 Test Shipping Scale scale"}));

    const struct { std::string path; const char* why; } failures[] = {
        {"/dev/hidraw-none", "/dev/hidraw-none: no such device: is the scale plugged in?"},
        {"/dev/null", "/dev/null: not a hidraw device"},
    };
    for (const auto& f : failures) {
        try {
            ADD_FAILURE() << f.path << " opened: " << OpenHidrawNode(f.path).path;
        } catch (const DeviceError& e) {
            EXPECT_EQ(e.Result(), OPOS_E_NOHARDWARE);
            EXPECT_EQ(std::string(e.what()).find(f.why), 0u) << e.what();
        }
    }
}
