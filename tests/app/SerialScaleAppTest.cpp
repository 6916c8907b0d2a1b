// The console with "K350" configured to a serial counter scale: the fake at the far end of a
// pseudo-terminal, the standard control behind the console, real time.
#include "tests/console/ConsoleHarness.h"
#include "tests/support/FakeSerialScale.h"
#include "opos/config/ScalesConfig.h"

#include <atomic>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST_F(ConsoleTest, consoleWeighsOnAConfiguredSerialScaleAndShowsAPulledCableAsOffline)
{
    enum Load { Stable, Moving, Over };
    std::atomic<Load> load = Stable;
    FakeSerialScale scale('\n', [&](const std::string& request, int, std::int64_t) -> std::vector<std::string> {
        if (request == "I2\r\n")
            return {"I2 A \"Counter 15.000 kg\"\r\n"};
        switch (load.load()) {
        case Stable: return {"S S      1.250 kg\r\n"};
        case Moving: return {"S D      1.180 kg\r\n"};
        case Over: return {"S +\r\n"};
        }
        return {};
    });
    const fs::path conf = fs::temp_directory_path() / ("tarabo-app-serial-" + std::to_string(::getpid()) + ".conf");
    std::ofstream(conf) << "[K350]\ndriver = serial\ndevice = " << scale.Path() << "\nprotocol = sics\n";
    opos::ConfigFilesOverride files({conf.string()});
    UseStandardScale();

    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        EXPECT_EQ(Text(dlg, IDC_STATUS).find("MT-SICS scale Counter on /dev/pts/"), 0u) << Text(dlg, IDC_STATUS);
        ExpectItems(dlg, {{IDC_RESULT_NAME, "OPOS_SUCCESS"}, {IDC_WEIGHT, "1.250"}, {IDC_CAPACITY, "Max Weight 15 Kg"}});

        load = Moving;
        AfxClickItem(dlg, IDC_READ_WEIGHT);
        EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), "OPOS_E_TIMEOUT");

        AfxClickItem(dlg, IDC_LOOP);
        const struct { Load load; const char* result; } ticks[] = {{Stable, "OPOS_SUCCESS"}, {Over, "OPOS_E_EXTENDED"}, {Stable, "OPOS_SUCCESS"}};
        for (const auto& tick : ticks) {
            load = tick.load;
            dlg.SendMessage(WM_TIMER, 1, 0);
            EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), tick.result);
        }
        scale.HangUp();
        dlg.SendMessage(WM_TIMER, 1, 0);
        EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), "OPOS_E_OFFLINE");
        AfxClickItem(dlg, IDC_LOOP);

        AfxClickItem(dlg, IDC_CLOSE_DEVICE);
        EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), "OPOS_SUCCESS");
    });
    fs::remove(conf);
}

}
