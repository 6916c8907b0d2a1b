// tarabo-scales as a technician at a terminal sees it: what it prints and its exit status.
#include "tests/opos/HidTestScale.h"
#include "tests/opos/ScaleTestSupport.h"

#include "opos/hid/Hidraw.h"
#include "scales-tool/ScalesTool.h"


using namespace opos;

namespace {

class ScalesTool : public ::testing::Test
{
protected:
    TestConfigFiles conf;
    hidtest::FakeHidScale fake;
    HidrawSystemOverride system{{[] { return std::vector<HidrawNode>{{"/dev/hidraw1", "Test Shipping Scale", 0x0922, 0x8003, true},
                                                                     {"/dev/hidraw0", "Mouse", 0x046d, 0xc077, false}}; },
                                 [this](const std::string&) {
                                     opos::HidConnection c = fake.Connection();
                                     // The stale first report and one weight (7.8 oz) are waiting when it opens.
                                     fake.Send({0x03, 0x04, 0x02, 0x00, 0xF4, 0x01});
                                     fake.Send({0x03, 0x04, 0x0B, 0xFF, 0x4E, 0x00});
                                     return c;
                                 }}};
    StringOut out, err;

    ScalesTool() { conf.Write("[SHIP]\ndriver = hid\ndevice = auto\n[K350]\ndriver = hdi\n"); }
};

}

TEST_F(ScalesTool, PrintsTheWeightOrTheResultByNameAndInHexAndExitsZeroOnlyOnAWeight)
{
    const struct { std::vector<std::string> args; int status; const char* out; const char* err; } cases[] = {
        {{"read", "SHIP"}, 0, "Test Shipping Scale (USB HID scale 0922:8003, /dev/hidraw-test)\n7.800 oz\n", ""},
        {{"read", "NONE", "--timeout", "0"}, 1, "Open: OPOS_E_NOEXIST (0000006d)\nNo scale is configured under the name \"NONE\"\n", ""},
        {{"read"}, 2, "", "tarabo-scales: read takes a logical name"},
        {{"read", "SHIP", "--timeout", "soon"}, 2, "", "tarabo-scales: --timeout: \"soon\" is not milliseconds (-1: no limit) from -1 to 3600000\n"
                                                     "tarabo-scales: read takes a logical name (and --timeout MS); tarabo-scales --help shows how\n"},
        {{"weigh"}, 2, "", "tarabo-scales: unknown command \"weigh\"; tarabo-scales --help lists them\n"},
        {{}, 2, "", "tarabo-scales: a command is needed"},
        {{"--help"}, 0, "Usage: tarabo-scales list", ""},
        {{"read", "--help"}, 0, "Usage: tarabo-scales list", ""},
        // Options before or after the name, with = or apart; one mistake named, not the whole usage.
        {{"read", "--timeout=0", "SHIP"}, 0, "Test Shipping Scale", ""},
        {{"read", "--timeout", "010", "SHIP"}, 0, "Test Shipping Scale", ""},
        {{"read", "SHIP", "--timeout=3600001"}, 2, "", "--timeout: \"3600001\""},
        {{"read", "SHIP", "OTHER"}, 2, "", "OTHER"},
        {{"read", "SHIP", "--json"}, 2, "", "--json"},
        {{"list"}, 1, "USB HID POS scales:\n  /dev/hidraw1  0922:8003  Test Shipping Scale  (no access: see tarabo-scales(1))\n"
                      "Logical names:\n  K350  driver=hdi", "line 5: key \"driver\": unknown driver"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "(nothing)" : c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
        out.str("");
        err.str("");
        EXPECT_EQ(RunScalesTool(c.args, out, err), c.status);
        EXPECT_EQ(out.str().find(c.out), 0u) << out.str();
        EXPECT_NE(err.str().find(c.err), std::string::npos) << err.str();
        if (!*c.err) {
            EXPECT_EQ(err.str(), "");
        }
    }
}
