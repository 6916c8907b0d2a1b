// `driver = replay`: `file` (relative to the configuration file's folder), `loop`, `speed`. A
// capture that cannot be read is 107, one with a bad line 109.
#include "opos/drivers/DeviceDrivers.h"

#include "opos/replay/ReplayScale.h"
#include "opos/ResultCodes.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
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

// A decimal number as std::from_chars reads one ("2", "0.5", ".5", "1e1", "-3"), read here rather
// than by from_chars, whose floating-point parser would add tens of KiB to the control for this one
// setting. Its first 19 digits count; one of up to 15 digits with an exponent up to 22 (any that a
// person types) rounds once to the nearest double, as there, and a longer one may be a bit off.
bool readDecimal(const std::string& text, double& value)
{
    const bool negative = text.starts_with('-');
    std::size_t i = negative;
    unsigned long long digits = 0;
    long exponent = 0;
    bool point = false, any = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point)
            point = true;
        else if (c < '0' || c > '9')
            break;
        else if (any = true; digits < 1000000000000000000ULL)
            digits = digits * 10 + unsigned(c - '0'), exponent -= point;
        else
            exponent += !point;
    }
    // An exponent counts only with a digit: "1e" is 1 with an "e" left over.
    if (any && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        const bool minus = j < text.size() && text[j] == '-';
        j += j < text.size() && (text[j] == '-' || text[j] == '+');
        const std::size_t first = j;
        long given = 0;
        for (; j < text.size() && text[j] >= '0' && text[j] <= '9'; ++j)
            given = std::min(given * 10 + (text[j] - '0'), 100000L);
        if (j > first)
            exponent += minus ? -given : given, i = j;
    }
    if (!any || i != text.size())
        return false;
    // Both exact as doubles, one division or product rounds once; past that, long double.
    const bool exact = digits < (1ULL << 53) && std::labs(exponent) <= 22;
    long double power = 1;
    for (long k = 0; k < std::min(std::labs(exponent), exact ? 22L : 27L); ++k)
        power *= 10;
    long double result = 0;
    if (exact)
        result = exponent < 0 ? double(digits) / double(power) : double(digits) * double(power);
    else if (digits != 0 && exponent >= -27)
        result = exponent > 27 ? HUGE_VALL : exponent < 0 ? digits / power : digits * power;
    value = double(negative ? -result : result);
    return true;
}

std::unique_ptr<IScaleDevice> OpenReplayScale(const DeviceSection& section)
{
    if (!section.Has("file"))
        section.Fail("file", "no file given (file = a capture written by tarabo-scales record)");
    ReplaySettings settings{section.Path("file"), section.Flag("loop", false), 1.0};
    const std::string speed = section.Text("speed", "1");
    if (!readDecimal(speed, settings.speed) || !(settings.speed >= 0.01 && settings.speed <= 1000))
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
