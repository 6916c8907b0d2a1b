// The console with "K350" configured to a USB HID scale (a fake one behind a socket pair): Open,
// Loop while the load moves and settles, the cable pulled, Close, and Open again once it is back.
#include "tests/console/ConsoleHarness.h"
#include "tests/opos/HidTestScale.h"

#include "opos/hid/Hidraw.h"

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using hidtest::Bytes;

const Bytes kStable1250g{0x03, 0x04, 0x02, 0x00, 0xE2, 0x04};
const Bytes kMoving{0x03, 0x03, 0x02, 0x00, 0x10, 0x05};
const Bytes kStable3480g{0x03, 0x04, 0x02, 0x00, 0x98, 0x0D};

class HidScaleConsole : public ConsoleTest
{
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        UseStandardScale();
        fs::create_directories(m_dir);
        std::ofstream(m_conf) << "[K350]\ndriver = hid\ndevice = /dev/hidraw-test\n";
    }
    void TearDown() override
    {
        fs::remove_all(m_dir);
        ConsoleTest::TearDown();
    }

    hidtest::FakeHidScale fake;

private:
    fs::path m_dir = fs::temp_directory_path() / ("tarabo-hid-console-" + std::to_string(::getpid()));
    std::string m_conf = (m_dir / "scales.conf").string();
    opos::ConfigFilesOverride m_files{{m_conf}};
    opos::HidrawSystemOverride m_system{{[] { return std::vector<opos::HidrawNode>{}; },
                                         [this](const std::string&) { return fake.Connection(); }}};
    // A read with nothing new to take in times out at once on this clock.
    opos::ManualClock m_clock{0};
    opos::ClockOverride m_clockGuard{m_clock};
};

}

TEST_F(HidScaleConsole, openLoopShowsWeightsAndTimeOutsAsTheLoadMovesUnplugShowsOfflineAndReopeningRecovers)
{
    AfxSetTimerSpeedup(20);
    RunConsole([&](CWeighConsoleDlg& dlg) {
        fake.SetCurrent(kStable1250g);
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        ExpectItems(dlg, {{IDC_RESULT_NAME, "OPOS_SUCCESS"},
                          {IDC_WEIGHT, "1250.000"},
                          {IDC_STATUS, "Test Shipping Scale (USB HID scale 0922:8003, /dev/hidraw-test)"},
                          {IDC_CAPACITY, "Max Weight 15000 g"}});

        AfxClickItem(dlg, IDC_LOOP);
        fake.SetCurrent(kMoving);
        AfxPumpMessages(200);
        ExpectItems(dlg, {{IDC_RESULT_NAME, "OPOS_E_TIMEOUT"}, {IDC_RESULT_HEX, "00000070"}, {IDC_WEIGHT, "1250.000"}});
        fake.SetCurrent(kStable3480g);
        AfxPumpMessages(200);
        ExpectItems(dlg, {{IDC_RESULT_NAME, "OPOS_SUCCESS"}, {IDC_WEIGHT, "3480.000"}});

        fake.Unplug();
        AfxPumpMessages(200);
        ExpectItems(dlg, {{IDC_RESULT_NAME, "OPOS_E_OFFLINE"}, {IDC_RESULT_HEX, "0000006c"}});
        AfxClickItem(dlg, IDC_LOOP);

        AfxClickItem(dlg, IDC_CLOSE_DEVICE);
        ExpectItems(dlg, {{IDC_RESULT_NAME, "OPOS_SUCCESS"}, {IDC_STATUS, ""}, {IDC_WEIGHT, "..."}});
        fake.SetCurrent(kStable1250g);
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        ExpectItems(dlg, {{IDC_RESULT_NAME, "OPOS_SUCCESS"}, {IDC_WEIGHT, "1250.000"}});
        AfxClickItem(dlg, IDC_CLOSE_DEVICE);
        dlg.EndDialog(IDOK);
    });
}
