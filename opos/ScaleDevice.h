// A weighing device behind the standard service: the simulated scale, or real hardware.
// Contract in README.md ("Device interface").
#pragma once

#include "framework/AfxTypes.h"
#include "opos/Clock.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace opos {

// What a scale says about its load with each reading.
enum class ScaleStatus {
    Stable,       // a settled weight (above zero)
    InMotion,     // the load is still moving, or nothing has been received yet
    StableZero,   // settled at zero: an empty platter
    UnderZero,    // settled below zero
    OverCapacity, // above what the scale can weigh
    Fault,        // the scale reports a fault, or needs calibrating or re-zeroing
    Gone,         // unplugged, a read error or a hang-up: nothing more will come
    NotUnderstood, // the scale answered in a form not known here: no reading, and not its fault
};

struct ScaleReading
{
    ScaleReading(ScaleStatus status = ScaleStatus::InMotion, LONG weight = 0, std::string answer = {})
        : status(status), weight(weight), answer(std::move(answer))
    {
    }
    ScaleStatus status;
    LONG weight; // thousandths of the device's unit; meaningful for Stable and InMotion
    std::string answer; // NotUnderstood: the bytes the scale sent
};

// Raised by a device's constructor (or a driver) when it cannot be opened: `result` is the
// OPOS result Open returns, what() says why in UTF-8 (a file, line and key, or a device and why).
class DeviceError : public std::runtime_error
{
public:
    DeviceError(LONG result, const std::string& why) : std::runtime_error(why), m_result(result) {}
    LONG Result() const { return m_result; }

private:
    LONG m_result;
};

class IScaleDevice
{
public:
    virtual ~IScaleDevice() = default;
    virtual std::u16string Description() const = 0;
    virtual LONG Capacity() const = 0; // thousandths of the unit; 0 when unknown
    virtual LONG Unit() const = 0;     // SCAL_WU_*; may change with a reading (a scale switched units)
    // Whether a stable zero is a weight ReadWeight returns (else it keeps waiting).
    virtual bool ZeroValid() const { return false; }

    // What turns ready when the device has sent something (or hung up): a descriptor on POSIX, an
    // event or file handle on Windows; kNoWait for a device whose readings follow the clock alone.
    virtual WaitHandle Waitable() const { return kNoWait; }
    // The clock time the reading may next change without the device sending anything (a request
    // to send again, a silence to report); a wait ends then at the latest. By default a device
    // with something to wait on has no such time, and one without may change at any time.
    virtual std::int64_t NextChangeMs(std::int64_t nowMs) const { return Waitable() == kNoWait ? nowMs : kNoChange; }
    static constexpr std::int64_t kNoChange = INT64_MAX;
    // A read begins: a device that answers only when asked sends its request here.
    virtual void Request(std::int64_t /*nowMs*/) {}
    // Takes in, without blocking, whatever the descriptor holds, and returns the latest reading.
    virtual ScaleReading ReadingAt(std::int64_t nowMs) = 0;
    // Forgets readings received so far: the next settled reading must come after this call.
    virtual void ClearInput() {}

    // A device-specific command; returns an OPOS result code.
    virtual LONG DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string, std::int64_t nowMs) = 0;
};

}
