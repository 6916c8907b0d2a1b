// The answers real scales send (tests/answers/, each with its source) read as their documents say
// by a configured scale behind the control (a pty or a socket pair standing in for the line) and
// by tarabo-scales probe. (The parsers alone: SerialFrameFilesTest.) The HID scales
// run over each source of reports, hidraw and the Windows HID API.
#include "tests/support/AnswerCorpus.h"
#include "tests/support/FakeSerialScale.h"
#include "tests/opos/HidScaleEnds.h"
#include "tests/opos/ScaleTestSupport.h"

#include "opos/hid/Hidraw.h"
#include "scales-tool/ScalesTool.h"
#include "opos/serial/SerialScale.h"

#include <atomic>
#include <map>

using namespace opos;
using namespace opos::serial;

namespace {
using Pieces = std::vector<std::string>;

const struct
{
    Protocol protocol;
    const char* file;
} kSerialFiles[] = {{Protocol::Toledo, "toledo.txt"}, {Protocol::Nci, "nci.txt"}, {Protocol::Sics, "sics.txt"}};

std::string trace(const answers::Case& c) { return c.where + " (" + c.source + ")"; }
}

namespace {
// The standard service behind the control, over scales a section of the test's scales.conf names.
class ConfiguredScale : public ::testing::Test
{
protected:
    LONG Read(LONG timeoutMs)
    {
        weight = -5;
        return scale.ReadWeight(weight, timeoutMs);
    }

    TestConfigFiles conf;
    std::string name = UniqueName("CORPUS");
    std::shared_ptr<StandardScaleService> service = std::make_shared<StandardScaleService>();
    ServiceOverride serviceGuard{service};
    ScaleDriver scale;
    LONG weight = -5;
};
}

TEST_F(ConfiguredScale, EverySerialAnswerGivesItsResultAndProbeFindsItsProtocol)
{
    for (const auto& [protocol, file] : kSerialFiles) {
        const ProtocolInfo& info = Info(protocol);
        for (const answers::Case& c : answers::Load(file)) {
            SCOPED_TRACE(trace(c));
            // The scale answers its own protocol's request only; MT-SICS's identity request at
            // Open gets the answer to a command the balance does not know.
            FakeSerialScale fake(info.request.back(), [&](const std::string& request, int, std::int64_t) {
                if (request.ends_with("I2\r\n"))
                    return Pieces{"ES\r\n"};
                return request.ends_with(info.request) ? Pieces{c.bytes} : Pieces{};
            });
            std::string error;
            const std::optional<ProbeHit> found = ProbeProtocol(fake.Path(), error);
            EXPECT_EQ(found ? int(found->protocol) : -1, int(protocol)) << error;

            conf.Write("[" + name + "]\ndriver = serial\ndevice = " + fake.Path() + "\nprotocol = " + std::string(info.name) + "\n");
            ASSERT_TRUE(scale.Enable(name)) << scale.Description().str();
            const answers::Outcome expected = answers::OutcomeOf(c.reading);
            EXPECT_EQ(Read(expected.result == OPOS_E_TIMEOUT ? 300 : 3000), expected.result);
            EXPECT_EQ(service->ResultCodeExtended(), expected.extended);
            if (expected.result == OPOS_SUCCESS) {
                EXPECT_EQ(weight, c.reading.thousandths);
                EXPECT_EQ(scale.WeightUnit(), c.reading.unit.empty() ? SCAL_WU_KILOGRAM : answers::UnitOf(c.reading.unit));
            }
            EXPECT_EQ(scale.Description().str().find("not understood"), std::string::npos) << scale.Description().str();
            EXPECT_EQ(scale.Close(), OPOS_SUCCESS);
        }
    }
}

TEST_F(ConfiguredScale, EveryHidScaleStatesItsCapacityEachReportGivesItsWeightAndZeroSendsItsReport)
{
    for (const hidtest::Source& source : hidtest::kSources) {
        const std::unique_ptr<hidtest::ScaleEnd> fake = source.end();
        DeviceOverride device{Wide(name), [&] { return fake->Open(); }};
        hidtest::Bytes descriptor;
        std::optional<LONG> capacity;
        std::string zero; // the id of the zero control's report as documented, "-" for none
        for (const answers::Case& c : answers::Load("hid.txt")) {
            SCOPED_TRACE(std::string(source.name) + " " + trace(c));
            const hidtest::Bytes bytes(c.bytes.begin(), c.bytes.end());
            if (c.tag == "descriptor") {
                fake->Use(descriptor = bytes, {});
                capacity.reset();
                zero = c.reading.words.back();
            } else if (c.tag == "limit") {
                fake->Use(descriptor, bytes);
                capacity = c.reading.thousandths;
            }
            if (c.tag != "report")
                continue;
            ASSERT_TRUE(scale.Enable(name)) << scale.Description().str();
            if (capacity) {
                EXPECT_EQ(scale.MaximumWeight(), *capacity) << "the weight-limit report, its weight a constant field";
            }
            ASSERT_TRUE(fake->Send(bytes)); // the first report after opening is taken as stale
            ASSERT_TRUE(fake->Send(bytes));
            EXPECT_EQ(Read(0), c.reading.kind == "weight" ? OPOS_SUCCESS : OPOS_E_TIMEOUT);
            EXPECT_EQ(weight, c.reading.kind == "weight" ? *c.reading.thousandths : -5);
            EXPECT_EQ(scale.WeightUnit(), answers::UnitOf(c.reading.unit));
            LONG data = 0;
            BSTR text = nullptr;
            EXPECT_EQ(scale.DirectIO(5, data, text), zero == "-" ? OPOS_E_ILLEGAL : OPOS_SUCCESS);
            EXPECT_EQ(zero == "-" ? "-" : std::to_string(fake->Received().at(0)), zero) << "the zero report's id";
            EXPECT_EQ(scale.Close(), OPOS_SUCCESS);
        }
    }
}

TEST_F(ConfiguredScale, AnAnswerNotUnderstoodIsNoFaultAndShowsItsBytesUntilAnAnswerIsUnderstood)
{
    std::atomic<bool> understood = false;
    FakeSerialScale fake('W', [&](const std::string&, int, std::int64_t) {
        return Pieces{understood ? "\x02" "001.25\r" : "\x02" "1#5\r"};
    });
    conf.Write("[" + name + "]\ndriver = serial\ndevice = " + fake.Path() + "\nprotocol = toledo\n");
    ASSERT_TRUE(scale.Enable(name)) << scale.Description().str();
    const std::string shown = "answer not understood: 02 31 23 35 0D (.1#5.)";
    EXPECT_EQ(Read(600), OPOS_E_TIMEOUT) << "it keeps asking, as it would a scale in motion";
    EXPECT_NE(scale.Description().str().find("Toledo 8213 scale on " + fake.Path() + " (9600 7E1); " + shown), std::string::npos)
        << scale.Description().str();
    LONG data = -1;
    BSTR text = nullptr;
    EXPECT_EQ(scale.DirectIO(4, data, text), OPOS_SUCCESS);
    EXPECT_EQ(data, 0);
    EXPECT_EQ(AfxTextFromBstr(text), " (" + shown + ")");
    SysFreeString(text);
    ASSERT_EQ(scale.Close(), OPOS_SUCCESS);
    StringOut out, err;
    EXPECT_EQ(RunScalesTool({"read", name, "--timeout", "400"}, out, err), 1);
    EXPECT_NE(out.str().find("ReadWeight: OPOS_E_TIMEOUT (00000070)\nToledo 8213 scale on " + fake.Path() + " (9600 7E1); " + shown + "\n"),
              std::string::npos) << out.str();

    ASSERT_TRUE(scale.Enable(name)) << scale.Description().str();
    understood = true;
    EXPECT_EQ(Read(2000), OPOS_SUCCESS);
    EXPECT_EQ(weight, 1250);
    EXPECT_EQ(scale.Description().str().find("not understood"), std::string::npos) << scale.Description().str();
}
