// `driver = simulated`: the built-in K350 scenario, or a scenario file.
#include "opos/drivers/DeviceDrivers.h"

#include "opos/Clock.h"
#include "opos/ResultCodes.h"
#include "opos/SimulatedK350.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace opos {

namespace {
constexpr std::uintmax_t kLargestScenario = 1 << 20; // far beyond any weighing story

// A relative path is taken from the configuration file's folder, so a scenario can sit beside it.
std::shared_ptr<const sim::Scenario> loadScenario(const DeviceSection& section)
{
    namespace fs = std::filesystem;
    if (section.Text("scenario", "").empty())
        section.Fail("scenario", "no file given");
    const fs::path path = section.Path("scenario");
    const std::u8string name8 = path.u8string();
    const std::string name(name8.begin(), name8.end());
    std::ifstream in(path, std::ios::binary);
    if (!in)
        section.Fail("scenario", "cannot read " + name + ": " + std::strerror(errno));
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        section.Fail("scenario", name + " is not a file");
    if (const std::uintmax_t size = fs::file_size(path, error); !error && size > kLargestScenario)
        section.Fail("scenario", name + " is larger than 1 MiB: not a scenario");
    std::ostringstream text;
    text << in.rdbuf();
    return std::make_shared<const sim::Scenario>(sim::ParseScenario(text.str(), name));
}

// Raises the section's DeviceError for a bad key, and the scenario file's (file and line) for a
// bad scenario.
std::unique_ptr<IScaleDevice> OpenSimulatedScale(const DeviceSection& section)
{
    const std::shared_ptr<const sim::Scenario> scenario = section.Has("scenario") ? loadScenario(section) : BuiltInK350Scenario();
    const bool loop = section.Flag("loop", true);
    const std::int64_t startMs = section.Number("start", 0, 0, 0x7FFFFFFF);
    return std::make_unique<ScenarioScale>(scenario, CurrentClock().NowMs(), loop, startMs);
}
}

DeviceDriver SimulatedDriver() { return {"simulated", {"scenario", "loop", "start"}, OpenSimulatedScale}; }

}
