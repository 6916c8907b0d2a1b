// The serial scale protocols as pure functions over bytes: the table of what differs between
// them (requests, line settings), the parsing of their answers, and what the parsers share.
// Nothing here does I/O, so the parsers are tested on captured frames and fuzzed.
#pragma once

#include "framework/AfxTypes.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace opos::serial {

enum class Protocol { Toledo, Nci, Sics, ToledoContinuous, ToledoContinuousChecked, TextStream, Sma, ScannerScale, EnqDc1 };

// Character framing on the line: "7E1" is 7 data bits, even parity, 1 stop bit.
struct Framing
{
    int dataBits = 8;
    char parity = 'N'; // N, E or O
    int stopBits = 1;
    bool operator==(const Framing&) const = default;
};
std::optional<Framing> ParseFraming(std::string_view text);
std::string FramingText(const Framing& framing);

struct Parsed;

// What differs between the protocols, as data.
struct ProtocolInfo
{
    Protocol protocol;
    std::string_view name;         // as the configuration spells it
    std::string_view title;        // for people
    std::string_view request;      // asks for one reading; the scale answers once
    std::string_view infoRequest;  // asks for the model and capacity; empty when there is none
    int baud;                      // the usual line settings
    Framing framing;
    // The parser (ProtocolParsers.h); null for the first three, which ParseFrame dispatches itself.
    Parsed (*parse)(std::string_view bytes) = nullptr;
    bool streaming = false;        // sends unasked, several frames a second; `request` is empty
    int silenceMs = 0;             // streaming: how long the line may be silent before a read says so
    std::string_view followUp{};    // sent when the scale acknowledges `request` (ENQ, then DC1)
    std::string_view zeroRequest{}; // zeroes the scale (Direct IO 5); empty when there is none
};
std::span<const ProtocolInfo> Protocols();
const ProtocolInfo& Info(Protocol protocol);
std::optional<Protocol> ProtocolByName(std::string_view name);

enum class FrameKind {
    Weight,       // a stable weight (possibly zero)
    Motion,       // the load is still moving
    OverCapacity,
    UnderZero,
    NotReady,     // understood, no reading yet (the scale is busy); ask again
    Acknowledged, // the scale is ready to send: the protocol's followUp asks for the reading
    Fault,        // the scale reports a fault of its own (memory, calibration, zero range)
    Error,        // the scale rejected the request (MT-SICS ES/ET/EL, NCI "?")
    Identity,     // the model and capacity (MT-SICS I2)
    NotUnderstood, // a whole answer of a form not known here: not the scale's fault; `raw` holds it
};

struct Frame
{
    FrameKind kind = FrameKind::Error;
    LONG weight = 0;   // thousandths of the unit: Weight, Motion when the frame has one
    LONG unit = 0;     // SCAL_WU_*; 0 when the frame does not say
    LONG capacity = 0; // Identity: thousandths of `unit`
    std::string text;  // why (Fault, Error), or the model (Identity)
    std::string raw;   // NotUnderstood: the bytes received, parity stripped
};

// What the start of `bytes` (parity bits already stripped) holds: `consumed` bytes to drop
// (noise, a broken frame or a whole frame) and the frame when a whole one was there.
// Nothing consumed and no frame: a frame has begun and needs more bytes.
struct Parsed
{
    std::size_t consumed = 0;
    std::optional<Frame> frame;
};

// How a checked Toledo continuous frame's check character is made. Complement: the 7-bit sum of
// the whole frame, the check character included, is zero (the original output and most
// indicators). Sum: the check character is the 7-bit sum of the characters before it, as some
// indicators that call their output Toledo make it. A section's `checksum` key names it; no
// frame is taken as the one or the other by guessing.
enum class Checksum { Complement, Sum };
std::optional<Checksum> ChecksumByName(std::string_view name);

Parsed ParseFrame(Protocol protocol, std::string_view bytes, Checksum checksum = Checksum::Complement);

// Collects what the line delivers, in whatever pieces, and hands out whole frames. Noise and
// frames cut short are dropped; a partial frame is never taken for a reading.
class FrameReader
{
public:
    explicit FrameReader(Protocol protocol, Checksum checksum = Checksum::Complement)
        : m_protocol(protocol), m_checksum(checksum) {}
    void Feed(std::string_view bytes); // strips the parity bit
    std::optional<Frame> Next();
    void Clear() { m_buffer.clear(); }
    std::size_t Pending() const { return m_buffer.size(); }

private:
    Protocol m_protocol;
    Checksum m_checksum;
    std::string m_buffer;
};

// A decimal weight ("001.25", "  -12.5", "- 12.5") in thousandths, rounded to the nearest;
// nullopt when it is not a number or does not fit.
std::optional<LONG> ParseThousandths(std::string_view text);
// "g", "kg", "oz", "lb" in any case to SCAL_WU_*; 0 when unknown.
LONG ParseUnit(std::string_view text);

}
