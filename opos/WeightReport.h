// Direct IO command 4, the weight status the console decodes, answered alike for every device
// from its current reading.
#pragma once

#include "opos/ScaleDevice.h"

namespace opos {

class WeightReport
{
public:
    static constexpr LONG kCommand = 4;
    static constexpr LONG kStatusInvalidWeight = 0; // empty, in motion, out of range, fault
    static constexpr LONG kStatusNewWeight = 1;
    static constexpr LONG kStatusUnchanged = 21; // same weight as the previous command-4 answer

    // Fills data and string from the reading; OPOS_E_OFFLINE for a device that is gone.
    LONG Answer(const ScaleReading& reading, LONG unit, bool zeroValid, LONG& data, std::optional<std::u16string>& string);

    // "g", "Kg", "oz", "lb"; empty for other units.
    static const char* UnitSymbol(LONG unit);
    // The weight as a display shows it: " 1.250 Kg", " 878.000 g".
    static std::u16string FormatWeight(LONG weight, LONG unit);
    // "answer not understood: 02 31 23 35 0D (.1#5.)": the bytes in hex, then as text with a dot
    // for each byte that does not print.
    static std::u16string NotUnderstoodText(const std::string& answer);

private:
    std::optional<LONG> m_lastReported; // weight of the previous valid answer
};

}
