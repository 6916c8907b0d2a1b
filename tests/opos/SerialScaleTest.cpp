// Serial scales through tarabo-scales and the configuration: the probe against a fake scale at the
// far end of a pseudo-terminal, the ports listed, and the sections that open them. (Each documented
// answer's result through the control: AnswerCorpusTest; what a line does to the answers:
// SerialFamiliesScaleTest.)
#include "tests/support/FakeSerialScale.h"
#include "tests/opos/ScaleTestSupport.h"
#include "scales-tool/ScalesTool.h"
#include "opos/serial/SerialPorts.h"
#include "opos/serial/SerialScale.h"

#include <filesystem>
#include <fstream>

using namespace opos;
using namespace opos::serial;

namespace {
using Pieces = std::vector<std::string>;
}

// The quick probe finding each protocol by its answers: AnswerCorpusTest; here what the tool prints.
TEST(SerialProbe, TaraboScalesQuickProbeFindsTheProtocolThatAnswersAndPrintsItsSection)
{
    const ProtocolInfo& sics = Info(Protocol::Sics);
    FakeSerialScale fake(sics.request.back(), [&](const std::string& request, int, std::int64_t) {
        // What other protocols' requests left in the scale's buffer goes before its own.
        return request.ends_with(sics.request) ? Pieces{"S S      1.250 g\r\n"} : Pieces{};
    });
    StringOut out, err;
    EXPECT_EQ(RunScalesTool({"probe", fake.Path(), "--quick"}, out, err), 0);
    const std::string section = "[K350]\ndriver = serial\ndevice = " + fake.Path() + "\nprotocol = sics\nbaud = " +
                                std::to_string(sics.baud) + "\nframing = " + FramingText(sics.framing) + "\n";
    EXPECT_NE(out.str().find(section), std::string::npos) << out.str();
    FakeSerialScale silent('W', [](const std::string&, int, std::int64_t) { return Pieces{}; });
    EXPECT_EQ(RunScalesTool({"probe", "--quick", silent.Path()}, out, err), 1);
    EXPECT_NE(out.str().find("No scale answered on " + silent.Path()), std::string::npos) << out.str();
}

TEST(SerialProbe, TaraboScalesThoroughProbeShowsTheAnswersBytesAndTheBestSectionWithinItsTimeLimit)
{
    FakeSerialScale fake('W', [](const std::string& request, int, std::int64_t) {
        return request.ends_with("W") ? Pieces{"\x02" "001.25\r"} : Pieces{};
    });
    StringOut out, err;
    EXPECT_EQ(RunScalesTool({"probe", fake.Path(), "--time-limit", "4"}, out, err), 0) << err.str();
    for (const std::string& line : std::vector<std::string>{"  9600 7E1  toledo \"W\": 02 30 30 31 2e 32 35 0d  |.001.25.|  toledo: weight 1.250\n",
                                    " of 40 settings.\n", "What answered, best first:\n  toledo at 9600 7E1, asked: 1 frame(s) understood, 0 not, 0 byte(s) of noise\n"
                                    "  toledo at 9600 8N1, asked",
                                    "[K350]\ndriver = serial\ndevice = " + fake.Path() + "\nprotocol = toledo\nbaud = 9600\nframing = 7E1\n"})
        EXPECT_NE(out.str().find(line), std::string::npos) << line << " in\n" << out.str();
    EXPECT_EQ(RunScalesTool({"probe", fake.Path(), "--time-limit", "0"}, out, err), 2);
}

TEST(SerialPorts, ByIdNamesComeFirstAndPlatformPlaceholdersAreLeftOut)
{
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("tarabo-serial-ports-" + std::to_string(::getpid()));
    const fs::path dev = root / "dev", sys = root / "sys";
    for (const char* dir : {"dev/serial/by-id", "sys/ttyUSB0/device/subsystem", "sys/ttyACM0/device/subsystem",
                            "sys/ttyS0/device", "sys/tty1", "bus/platform"})
        fs::create_directories(root / dir);
    std::ofstream(dev / "ttyUSB0"), std::ofstream(dev / "ttyACM0");
    fs::create_symlink("../../ttyUSB0", dev / "serial/by-id/usb-Scale_Co_Counter_Scale-if00-port0");
    fs::create_directory_symlink(root / "bus/platform", sys / "ttyS0/device/subsystem");
    const std::vector<SerialPort> ports = ListSerialPorts(dev.string(), sys.string());
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].path, (dev / "serial/by-id/usb-Scale_Co_Counter_Scale-if00-port0").string());
    EXPECT_EQ(ports[0].tty, fs::canonical(dev / "ttyUSB0").string());
    EXPECT_EQ(ports[1].path, (dev / "ttyACM0").string());
    EXPECT_EQ(StableSerialPath((dev / "ttyUSB0").string(), dev.string()), ports[0].path);
    fs::remove_all(root);
}

TEST(SerialConfig, SectionsOpenSerialScalesAndBadSettingsOrPortsSayWhy)
{
    const TestConfigFiles files;
    const std::string name = UniqueName("SERIALCONF");
    const auto silence = [](const std::string&, int, std::int64_t) { return Pieces{}; };
    FakeSerialScale fake('\r', silence), held('\r', silence);
    const SerialScale holder(SerialSettings{held.Path(), Protocol::Nci, {}});
    const struct {
        std::string device, settings;
        LONG result;
        const char* description;
    } cases[] = {
        {fake.Path(), "protocol = nci\ncapacity = 30000\n", OPOS_SUCCESS, "NCI SCP-01/02 scale on /dev/pts/"},
        {fake.Path(), "protocol = nci\ncapacity = 30000\nbaud = 19200\nframing = 8o2\n", OPOS_SUCCESS, "(19200 8O2)"},
        {fake.Path(), "", OPOS_E_NOEXIST, "no protocol given (toledo, nci, sics"},
        {fake.Path(), "protocol = dialog06\n", OPOS_E_NOEXIST, "line 4: key \"protocol\": unknown protocol \"dialog06\""},
        {fake.Path(), "protocol = nci\nbaud = 9601\n", OPOS_E_NOEXIST, "key \"baud\": baud rate 9601 is not one of"},
        {fake.Path(), "protocol = nci\nframing = 7X1\n", OPOS_E_NOEXIST, "key \"framing\": \"7X1\" is not a framing"},
        {fake.Path(), "protocol = nci\nunit = stone\n", OPOS_E_NOEXIST, "key \"unit\": \"stone\" is not a unit"},
        {"/dev/tarabo-no-such-tty", "protocol = nci\n", OPOS_E_NOHARDWARE, "no such device"},
        {"/dev/null", "protocol = nci\n", OPOS_E_NOHARDWARE, "not a serial port"},
        {held.Path(), "protocol = nci\n", OPOS_E_NOHARDWARE, "busy"},
    };
    ScaleDriver scale;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device + ": " + c.settings);
        files.Write("[" + name + "]\ndriver = serial\ndevice = " + c.device + "\n" + c.settings);
        EXPECT_EQ(scale.Open(name), c.result);
        EXPECT_NE(scale.Description().str().find(c.description), std::string::npos) << scale.Description().str();
        if (c.result == OPOS_SUCCESS) {
            EXPECT_EQ(scale.MaximumWeight(), 30000);
            EXPECT_EQ(scale.WeightUnit(), SCAL_WU_KILOGRAM) << "the configured unit until the scale says";
            EXPECT_EQ(scale.Close(), OPOS_SUCCESS);
        }
    }
}
