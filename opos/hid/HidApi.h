// What Tarabo asks of the Windows HID API (SetupAPI's device list, hid.dll's HidD_* and HidP_*
// functions, overlapped reads), in plain types so that the layer above it builds and is tested
// anywhere: HidApiWin32.cpp is the real one, tests serve a described scale's reports.
#pragma once

#include "opos/Clock.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace opos {

enum class HidReportType { Input, Output, Feature };

// A value as HidP_GetValueCaps describes it (a range by its first usage).
struct HidValueCap
{
    HidReportType type = HidReportType::Input;
    std::uint8_t reportId = 0;
    std::uint16_t page = 0, usage = 0;
    std::uint16_t linkPage = 0, linkUsage = 0; // the collection around it
    std::uint16_t bitSize = 0, count = 0;
    std::int32_t logicalMin = 0, logicalMax = 0;
};

// Buttons and array selectors as HidP_GetButtonCaps describes them.
struct HidButtonCap
{
    HidReportType type = HidReportType::Input;
    std::uint8_t reportId = 0;
    std::uint16_t page = 0, usageMin = 0, usageMax = 0;
    std::uint16_t linkPage = 0, linkUsage = 0;
};

// HidP_GetCaps and the value and button caps of every report type.
struct HidCaps
{
    std::uint16_t page = 0, usage = 0;                  // the top-level collection
    std::uint16_t inputBytes = 0, outputBytes = 0, featureBytes = 0; // report lengths, id byte included
    std::vector<HidValueCap> values;
    std::vector<HidButtonCap> buttons;
};

using HidBytes = std::vector<std::uint8_t>;

// One opened HID collection. Reports start with their id byte (0 when the device numbers none).
class HidApiDevice
{
public:
    virtual ~HidApiDevice() = default;
    virtual bool Attributes(std::uint16_t& vendor, std::uint16_t& product) = 0; // HidD_GetAttributes
    virtual std::string ProductName() = 0;  // HidD_GetProductString, UTF-8; empty when none
    virtual bool Caps(HidCaps& caps) = 0;   // HidD_GetPreparsedData, HidP_GetCaps, HidP_Get*Caps

    // A value's raw bits (HidP_GetUsageValue); false when the report does not carry it.
    virtual bool UsageValue(HidReportType type, std::uint16_t page, std::uint16_t usage, const HidBytes& report,
                            std::uint32_t& value) = 0;
    // The buttons pressed and array selectors chosen in a report (HidP_GetUsages).
    virtual bool Usages(HidReportType type, std::uint16_t page, const HidBytes& report, std::vector<std::uint16_t>& usages) = 0;
    // A report of that id with one button set and everything else idle (HidP_InitializeReportForID,
    // HidP_SetUsages); false when the report has no such button.
    virtual bool ReportWithButton(HidReportType type, std::uint8_t reportId, std::uint16_t page, std::uint16_t usage,
                                  HidBytes& report) = 0;

    // Signalled when a read has finished: an input report is in, or the device is gone.
    virtual WaitHandle Waitable() const = 0;
    enum class Read { Report, Nothing, Gone };
    // An input report when one is in, without waiting (a read stays pending for the next);
    // Gone, with why, when the device was pulled or the read failed.
    virtual Read ReadReport(HidBytes& report, std::string& why) = 0;
    // report[0] names the report; filled in on success (HidD_GetFeature, HidD_GetInputReport).
    virtual bool GetFeature(HidBytes& report) = 0;
    virtual bool GetInput(HidBytes& report) = 0;
    virtual bool SetFeature(const HidBytes& report) = 0; // HidD_SetFeature
    virtual bool SetOutput(const HidBytes& report) = 0;  // HidD_SetOutputReport
};

class HidApi
{
public:
    virtual ~HidApi() = default;
    // The device paths of the HID interface class present (SetupDiGetClassDevs ...), UTF-8.
    virtual std::vector<std::string> DevicePaths() = 0;
    // Opened for overlapped reading and writing, or with no access, which is enough for the
    // attributes and caps of a device the system holds (keyboards, mice); nullptr with why.
    virtual std::unique_ptr<HidApiDevice> Open(const std::string& path, bool forReading, std::string& why) = 0;
};

}
