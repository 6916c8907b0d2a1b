// Any text as a scenario file: parsed, and a parsed one played at each phase's edges and past its end.
#include "opos/sim/Scenario.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        const opos::sim::Scenario scenario = opos::sim::ParseScenario(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.scenario");
        for (const opos::sim::ScenarioPhase& phase : scenario.phases) {
            for (const std::int64_t t : {phase.startMs, phase.startMs + 249, (phase.startMs + phase.endMs) / 2, phase.endMs - 1}) {
                opos::sim::ScenarioReading(scenario, t);
                if (opos::sim::ScenarioNextChange(scenario, t) <= t)
                    std::abort(); // a reading's next change lies ahead, or a wait would spin
            }
        }
        opos::sim::ScenarioReading(scenario, scenario.LengthMs() + 1);
    } catch (const opos::DeviceError&) {
    }
    return 0;
}
