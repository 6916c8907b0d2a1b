// tarabo-scales monitor and record on a streaming fake HID scale: every report shown once, in
// order, with what it decoded to; the same traffic kept as a capture.
#include "tests/opos/HidTestScale.h"
#include "tests/opos/ScaleTestSupport.h"

#include "opos/replay/Capture.h"
#include "opos/hid/Hidraw.h"
#include "scales-tool/ScalesTool.h"

#include <atomic>
#include <sstream>
#include <thread>

using namespace opos;

namespace {

constexpr int kStreamed = 40;

hidtest::Bytes report(int grams) { return {0x03, 0x04, 0x02, 0x00, std::uint8_t(grams), std::uint8_t(grams >> 8)}; }
// Sent after the weights: over capacity, under zero, a fault.
const std::vector<hidtest::Bytes> kFailing{{0x03, 0x06, 0x02, 0x00, 0x98, 0x3A}, {0x03, 0x05, 0x02, 0x00, 0, 0}, {0x03, 0x01, 0x02, 0x00, 0, 0}};

// The value of a JSON line's "key": a string's text, or a number as written.
std::string field(const std::string& line, const std::string& key)
{
    const std::size_t at = line.find("\"" + key + "\":");
    if (at == std::string::npos)
        return "";
    std::size_t start = at + key.size() + 3;
    const bool text = line[start] == '"';
    start += text;
    return line.substr(start, line.find_first_of(text ? "\"" : ",}", start) - start);
}

class MonitorTool : public ::testing::Test
{
protected:
    TestConfigFiles conf;
    hidtest::FakeHidScale fake;
    HidrawSystemOverride system{{[] { return std::vector<HidrawNode>{{"/dev/hidraw1", "Test Shipping Scale", 0x0922, 0x8003, true}}; },
                                 [this](const std::string&) {
                                     opos::HidConnection c = fake.Connection();
                                     fake.Send(report(500)); // stale
                                     fake.Send(report(878));
                                     opened = true;
                                     return c;
                                 }}};
    StringOut out, err;
    std::atomic<bool> opened{false};

    // A name of this test process's own: another one may be reading a scale called SHIP.
    const std::string ship = UniqueName("SHIP");

    MonitorTool() { conf.Write("[" + ship + "]\ndriver = hid\n"); }

    // Runs the tool while the scale streams a report every 2 ms, once it has been opened.
    int RunWhileStreaming(const std::vector<std::string>& args)
    {
        std::thread scale([this] {
            for (int waited = 0; !opened && waited < 400; ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            for (int i = 1; i <= kStreamed + int(kFailing.size()); ++i) {
                fake.Send(i <= kStreamed ? report(1000 + i) : kFailing[std::size_t(i - kStreamed - 1)]);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        const int status = RunScalesTool(args, out, err);
        scale.join();
        return status;
    }

    // The reports the fake sends, in order, as hex.
    static std::vector<std::string> SentReports()
    {
        std::vector<std::string> reports;
        for (int grams : {500, 878})
            reports.push_back(HexText(report(grams).data(), 6));
        for (int i = 1; i <= kStreamed; ++i)
            reports.push_back(HexText(report(1000 + i).data(), 6));
        for (const hidtest::Bytes& failing : kFailing)
            reports.push_back(HexText(failing.data(), 6));
        return reports;
    }
};

}

TEST_F(MonitorTool, JsonShowsEveryReportOnceInOrderWithItsReading)
{
    ASSERT_EQ(RunWhileStreaming({"monitor", "--json", ship, "--for=800"}), 0) << err.str();
    std::istringstream lines(out.str());
    std::vector<std::string> events, received, reads; // reads: each reading's "readWeight" object
    for (std::string line; std::getline(lines, line);) {
        ASSERT_TRUE(line.front() == '{' && line.back() == '}') << line;
        events.push_back(field(line, "event"));
        if (events.back() == "received")
            received.push_back(field(line, "hex"));
        const std::size_t read = line.find("\"readWeight\":");
        if (events.back() == "reading" && read != std::string::npos)
            reads.push_back(line.substr(read + 13, line.size() - read - 14));
    }
    ASSERT_GE(events.size(), 4u) << out.str();
    EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 4), (std::vector<std::string>{"opened", "note", "received", "not-decoded"}));
    EXPECT_EQ(received, SentReports());
    ASSERT_EQ(reads.size(), std::size_t(kStreamed + 1) + kFailing.size()) << out.str();
    const auto success = [](int grams) { return "{\"result\":0,\"name\":\"OPOS_SUCCESS\",\"weight\":" + std::to_string(grams * 1000) + "}"; };
    EXPECT_EQ(reads.front(), success(878));
    EXPECT_EQ(std::vector<std::string>(reads.end() - 4, reads.end()),
              (std::vector<std::string>{success(1000 + kStreamed), "{\"result\":114,\"name\":\"OPOS_E_EXTENDED\",\"extended\":201}",
                                        "{\"result\":114,\"name\":\"OPOS_E_EXTENDED\",\"extended\":202}",
                                        "{\"result\":111,\"name\":\"OPOS_E_FAILURE\"}"}));
}

TEST_F(MonitorTool, RecordKeepsTheTrafficAsACapture)
{
    const std::string file = conf.Path("ship.cap");
    ASSERT_EQ(RunWhileStreaming({"record", ship, file, "--for", "800"}), 0) << err.str();
    std::ifstream in(file);
    const Capture capture = ParseCapture(std::string(std::istreambuf_iterator<char>(in), {}), file);
    EXPECT_EQ(capture.header.tool.find("tarabo-scales "), 0u);
    EXPECT_EQ(capture.header.name, "Test Shipping Scale");
    EXPECT_EQ(capture.header.descriptor, hidtest::kScaleDescriptor);
    EXPECT_EQ(capture.header.features, std::vector<CaptureBytes>{hidtest::kLimit15kg});
    std::vector<std::string> received;
    for (const CaptureEvent& event : capture.events)
        if (event.direction == CaptureDirection::Received)
            received.push_back(HexText(event.bytes.data(), event.bytes.size()));
    EXPECT_EQ(received, SentReports());

    // ... and monitor watches it replayed, its reports due by the clock, giving the same results.
    conf.Write("[" + ship + "]\ndriver = replay\nfile = ship.cap\nspeed = 10\n");
    out.str("");
    ASSERT_EQ(RunScalesTool({"monitor", ship, "--json", "--for", "400"}, out, err), 0) << err.str();
    for (const std::string& read : {"\"weight\":" + std::to_string((1000 + kStreamed) * 1000), std::string("\"extended\":201"),
                                    std::string("\"extended\":202"), std::string("\"name\":\"OPOS_E_FAILURE\"")})
        EXPECT_NE(out.str().find(read), std::string::npos) << read << " in\n" << out.str();
}

TEST_F(MonitorTool, RefusesWhatItCannotWatch)
{
    const struct { std::vector<std::string> args; int status; const char* err; } cases[] = {
        {{"monitor"}, 2, "monitor takes a logical name"},
        {{"monitor", "SHIP", "--for", "soon"}, 2, "monitor takes a logical name"},
        {{"record", "SHIP"}, 2, "record takes a logical name and a file"},
        {{"record", "SHIP", "f.cap", "--json"}, 2, "record takes"},
        {{"monitor", "NONE"}, 1, "Open: OPOS_E_NOEXIST: No scale is configured under the name \"NONE\""},
        {{"monitor", "K350", "--for", "10"}, 1, "has no traffic to watch"},
        {{"record", ship, "/nonexistent/dir/f.cap"}, 1, "/nonexistent/dir/f.cap: cannot write"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
        err.str("");
        EXPECT_EQ(RunScalesTool(c.args, out, err), c.status);
        EXPECT_NE(err.str().find(c.err), std::string::npos) << err.str();
    }
}
