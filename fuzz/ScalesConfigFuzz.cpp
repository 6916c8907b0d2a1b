// Any text as a scales.conf: parsed, and every value read as each kind of setting.
#include "opos/config/ScalesConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        const opos::ScalesConfig config = opos::ParseScalesConfig(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.conf");
        for (const auto& [name, section] : config) {
            for (const auto& [key, value] : section.values) {
                section.Text(key, "");
                section.Path(key);
                double decimal = 0;
                opos::ReadDecimal(value.text, decimal);
                try {
                    section.Number(key, 0, 0, 0x7FFFFFFF);
                } catch (const opos::DeviceError&) {
                }
                try {
                    section.Flag(key, false);
                } catch (const opos::DeviceError&) {
                }
            }
        }
    } catch (const opos::DeviceError&) {
    }
    return 0;
}
