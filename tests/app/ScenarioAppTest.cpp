// The console with "K350" configured to a scenario file (the example of a sale interrupted by a
// pulled cable), Loop reading once a second on a clock the test moves: each phase in turn.
#include "tests/console/ConsoleHarness.h"
#include "opos/config/ScalesConfig.h"

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST_F(ConsoleTest, consolePlaysAConfiguredScenarioPhaseByPhase)
{
    const fs::path conf = fs::temp_directory_path() / ("tarabo-app-scenario-" + std::to_string(::getpid()) + ".conf");
    std::ofstream(conf) << "[K350]\ndriver = simulated\nscenario = " SALE_CABLE_PULLED_SCENARIO "\n";
    opos::ConfigFilesOverride files({conf.string()});
    opos::ManualClock clock(0);
    opos::ClockOverride useClock(clock);
    UseStandardScale();

    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        EXPECT_EQ(Text(dlg, IDC_STATUS), "Counter scale, cable pulled mid-sale");
        EXPECT_EQ(Text(dlg, IDC_CAPACITY).rfind("Max Weight 6 Kg", 0), 0u) << Text(dlg, IDC_CAPACITY);
        // A read that times out moves this clock by its whole second; the others take no time.
        std::vector<std::string> seen{Text(dlg, IDC_RESULT_NAME)};
        AfxClickItem(dlg, IDC_LOOP);
        while (clock.NowMs() < 22000) {
            clock.AdvanceMs(1000);
            dlg.SendMessage(WM_TIMER, 1, 0);
            const std::string shown = Text(dlg, IDC_RESULT_NAME) + (Text(dlg, IDC_RESULT_NAME) == "OPOS_SUCCESS" ? " " + Text(dlg, IDC_WEIGHT) : "");
            if (shown != seen.back())
                seen.push_back(shown);
        }
        EXPECT_EQ(seen, (std::vector<std::string>{"OPOS_E_TIMEOUT", "OPOS_SUCCESS 0.482", "OPOS_E_OFFLINE", "OPOS_E_TIMEOUT",
                                                  "OPOS_SUCCESS 0.482", "OPOS_E_TIMEOUT"}));
        AfxClickItem(dlg, IDC_LOOP);
        AfxClickItem(dlg, IDC_CLOSE_DEVICE);
        EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), "OPOS_SUCCESS");
    });
    fs::remove(conf);
}

}
