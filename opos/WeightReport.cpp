#include "opos/WeightReport.h"

#include "opos/ResultCodes.h"

#include <cstdio>

namespace opos {

namespace {
std::u16string invalidReason(const ScaleReading& reading)
{
    if (reading.status == ScaleStatus::NotUnderstood)
        return u" (" + WeightReport::NotUnderstoodText(reading.answer) + u")";
    switch (reading.status) {
    case ScaleStatus::InMotion: return u" (in motion)";
    case ScaleStatus::StableZero: return u" (empty)";
    case ScaleStatus::UnderZero: return u" (under zero)";
    case ScaleStatus::OverCapacity: return u" (over capacity)";
    default: return u" (fault)";
    }
}
}

const char* WeightReport::UnitSymbol(LONG unit)
{
    switch (unit) {
    case SCAL_WU_GRAM: return "g";
    case SCAL_WU_KILOGRAM: return "Kg";
    case SCAL_WU_OUNCE: return "oz";
    case SCAL_WU_POUND: return "lb";
    default: return "";
    }
}

LONG WeightReport::Answer(const ScaleReading& reading, LONG unit, bool zeroValid, LONG& data,
                          std::optional<std::u16string>& string)
{
    if (reading.status == ScaleStatus::Gone)
        return OPOS_E_OFFLINE;
    const bool valid = reading.status == ScaleStatus::Stable || (zeroValid && reading.status == ScaleStatus::StableZero);
    if (!valid) {
        m_lastReported.reset();
        data = kStatusInvalidWeight;
        string = invalidReason(reading); // the console adds "Invalid Weight" itself
        return OPOS_SUCCESS;
    }
    data = m_lastReported == reading.weight ? kStatusUnchanged : kStatusNewWeight;
    m_lastReported = reading.weight;
    string = FormatWeight(reading.weight, unit);
    return OPOS_SUCCESS;
}

std::u16string WeightReport::FormatWeight(LONG weight, LONG unit)
{
    const long long magnitude = weight < 0 ? -(long long)weight : weight;
    char number[24], text[40];
    std::snprintf(number, sizeof number, "%s%lld.%03lld", weight < 0 ? "-" : "", magnitude / 1000, magnitude % 1000);
    std::snprintf(text, sizeof text, "%6s %s", number, UnitSymbol(unit));
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

std::u16string WeightReport::NotUnderstoodText(const std::string& answer)
{
    std::string hex, text;
    for (const char c : answer) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%s%02X", hex.empty() ? "" : " ", unsigned(static_cast<unsigned char>(c)));
        hex += byte;
        text += c >= 0x20 && c < 0x7f ? c : '.';
    }
    const std::string all = "answer not understood: " + hex + " (" + text + ")";
    return std::u16string(all.begin(), all.end());
}

}
