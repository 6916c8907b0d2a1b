// `driver = replay`: `file` (relative to the configuration file's folder), `loop`, `speed`. A
// capture that cannot be read is 107, one with a bad line 109.
#include "opos/drivers/DeviceDrivers.h"

#include "opos/replay/ReplayScale.h"
#include "opos/ResultCodes.h"

#include <cerrno>
#include <cstring>
#include <limits>

namespace opos {

namespace {
std::string readFile(const std::string& path)
{
    std::FILE* const file = OpenNamedFile(path);
    std::string text;
    const int error = !file ? errno : ReadRest(file, std::numeric_limits<std::size_t>::max(), text);
    if (file)
        std::fclose(file);
    if (error)
        throw DeviceError(OPOS_E_NOHARDWARE, path + ": cannot read the capture: " + std::strerror(error));
    return text;
}

std::unique_ptr<IScaleDevice> OpenReplayScale(const DeviceSection& section)
{
    if (!section.Has("file"))
        section.Fail("file", "no file given (file = a capture written by tarabo-scales record)");
    ReplaySettings settings{section.Path("file"), section.Flag("loop", false), 1.0};
    const std::string speed = section.Text("speed", "1");
    if (!ReadDecimal(speed, settings.speed) || !(settings.speed >= 0.01 && settings.speed <= 1000))
        section.Fail("speed", "\"" + speed + "\" is not a speed from 0.01 to 1000 (1: as recorded, 2: twice as fast)");
    Capture capture;
    try {
        capture = ParseCapture(readFile(settings.file), settings.file);
    } catch (const CaptureError& error) {
        throw DeviceError(OPOS_E_NOEXIST, error.what());
    }
    return OpenReplay(capture, settings);
}
}

DeviceDriver ReplayDriver() { return {"replay", {"file", "loop", "speed"}, OpenReplayScale}; }

}
