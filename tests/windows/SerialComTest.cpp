// Serial scales on the COM ports of a Wine prefix, each a pseudo-terminal with a fake Toledo scale
// of fake_com_scales at its far end (SerialComTest.sh starts it and runs this program): the
// standard service reads them through the Windows line, overlapped I/O and its event wait.
#include "opos/DeviceRegistry.h"
#include "opos/ResultCodes.h"
#include "opos/StandardScaleService.h"
#include "opos/Utf8.h"
#include "opos/serial/SerialScale.h"

#include <gtest/gtest.h>

using namespace opos;
using namespace opos::serial;

namespace {
// The service over the scale on `port`, opened, claimed and enabled.
class ComPortScale
{
public:
    explicit ComPortScale(const std::string& port)
        : m_installation(u"COMSCALE", [port] {
              const ProtocolInfo& toledo = Info(Protocol::Toledo);
              return std::make_unique<SerialScale>(SerialSettings{port, Protocol::Toledo, {toledo.baud, toledo.framing}});
          })
    {
        opened = service.Open(u"COMSCALE");
        if (opened == OPOS_SUCCESS && service.Claim(1000) == OPOS_SUCCESS)
            service.SetDeviceEnabled(true);
    }
    ~ComPortScale()
    {
        service.Release();
        service.Close();
    }

    DeviceOverride m_installation;
    StandardScaleService service;
    LONG opened;
};
}

TEST(SerialComTest, ReadWeightGivesWhatTheScaleOnTheComPortSays)
{
    const struct {
        const char* port;
        LONG result, extended, weight;
    } cases[] = {
        {"COM9", OPOS_SUCCESS, 0, 1250},
        {"\\\\.\\COM9", OPOS_SUCCESS, 0, 1250},
        {"com10", OPOS_SUCCESS, 0, 1250}, // in motion until asked again a few times
        {"COM10", OPOS_E_TIMEOUT, 0, 0},
        {"COM11", OPOS_E_EXTENDED, OPOS_ESCAL_OVERWEIGHT, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        ComPortScale scale(c.port);
        ASSERT_EQ(scale.opened, OPOS_SUCCESS) << Utf8FromUtf16(scale.service.GetDescription());
        EXPECT_NE(Utf8FromUtf16(scale.service.GetDescription()).find(std::string("on ") + c.port + " (9600 7E1)"), std::string::npos);
        LONG weight = 0;
        // Two requests at most in 150 ms: a scale in motion is not asked a fourth time.
        EXPECT_EQ(scale.service.ReadWeight(weight, c.port == std::string("COM10") ? 150 : 1500), c.result);
        EXPECT_EQ(scale.service.ResultCodeExtended(), c.extended);
        EXPECT_EQ(weight, c.weight);
    }
}

TEST(SerialComTest, AScaleThatHangsUpGoesOffline)
{
    ComPortScale scale("COM12");
    ASSERT_EQ(scale.opened, OPOS_SUCCESS) << Utf8FromUtf16(scale.service.GetDescription());
    LONG weight = 0;
    ASSERT_EQ(scale.service.ReadWeight(weight, 1500), OPOS_SUCCESS);
    EXPECT_EQ(weight, 1250);
    // The second request makes the fake hang up: the read ends offline, well before its time-out.
    EXPECT_EQ(scale.service.ReadWeight(weight, 5000), OPOS_E_OFFLINE);
    EXPECT_EQ(scale.service.ReadWeight(weight, 5000), OPOS_E_OFFLINE);
}

TEST(SerialComTest, APortThatIsNotThereSaysSo)
{
    ComPortScale missing("COM8");
    EXPECT_EQ(missing.opened, OPOS_E_NOHARDWARE);
    const std::string why = Utf8FromUtf16(missing.service.GetDescription());
    EXPECT_NE(why.find("COM8: no such port"), std::string::npos) << why;
    EXPECT_NE(why.find("tarabo-scales list"), std::string::npos) << why;

    const SerialLine::Opened odd = SerialLine::Open("COM9", {300, {8, 'N', 1}});
    EXPECT_FALSE(odd.line);
    EXPECT_EQ(odd.error, "baud rate 300 is not supported");
}
