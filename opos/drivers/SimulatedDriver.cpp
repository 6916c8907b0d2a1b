// `driver = simulated`: the built-in K350 scenario, or a scenario file.
#include "opos/drivers/DeviceDrivers.h"

#include "opos/Clock.h"
#include "opos/ResultCodes.h"
#include "opos/SimulatedK350.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include <sys/stat.h>

namespace opos {

namespace {
constexpr std::size_t kLargestScenario = 1 << 20; // far beyond any weighing story

// A relative path is taken from the configuration file's folder, so a scenario can sit beside it.
std::shared_ptr<const sim::Scenario> loadScenario(const DeviceSection& section)
{
    if (section.Text("scenario", "").empty())
        section.Fail("scenario", "no file given");
    const std::string name = section.Path("scenario");
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenNamedFile(name), std::fclose);
    if (!file)
        section.Fail("scenario", "cannot read " + name + ": " + std::strerror(errno));
    struct stat info{};
    if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode))
        section.Fail("scenario", name + " is not a file");
    std::string text;
    if (const int error = ReadRest(file.get(), kLargestScenario, text))
        section.Fail("scenario", "cannot read " + name + ": " + std::strerror(error));
    if (text.size() > kLargestScenario)
        section.Fail("scenario", name + " is larger than 1 MiB: not a scenario");
    return std::make_shared<const sim::Scenario>(sim::ParseScenario(text, name));
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
