// The parsers of the protocol families in the table of SerialProtocol.cpp, one file each
// (Protocol<Family>.cpp), and the few helpers they share. Pure functions over bytes with the parity bit already
// stripped, with ParseFrame's contract: what to drop, and the frame when a whole one was there.
#pragma once

#include "opos/serial/SerialProtocol.h"

#include <cctype>
#include <string>
#include <utility>

namespace opos::serial {

Parsed ParseToledo(std::string_view bytes);                  // "W": STX weight CR, or STX '?' status CR
Parsed ParseNci(std::string_view bytes);                     // "W CR": LF weight unit CR LF status CR ETX
Parsed ParseSics(std::string_view bytes);                    // MT-SICS "SI", "I2" answers, one line each
Parsed ParseToledoContinuous(std::string_view bytes);        // STX, status A B C, weight [, tare], CR
Parsed ParseToledoContinuousChecked(std::string_view bytes); // the same with the check character after CR
Parsed ParseToledoContinuousSummed(std::string_view bytes);  // the check character the sum of what precedes it
Parsed ParseTextStream(std::string_view bytes);              // "ST,GS,+0001.250kg" lines
Parsed ParseSma(std::string_view bytes);                     // SMA SCP-0499 answers
Parsed ParseScannerScale(std::string_view bytes);            // checkout scanner-scales' S11/S14 answers
Parsed ParseEnqDc1(std::string_view bytes);                  // ACK/NAK, then STX data BCC ETX

namespace parsing {

// A line of a text protocol longer than this, without its end, is noise.
constexpr std::size_t kMaxLine = 64;

inline Frame Kind(FrameKind kind, std::string text = {}) { return Frame{kind, 0, 0, 0, std::move(text), {}}; }
// An answer of a form not known here: no fault of the scale. ParseFrame fills in its bytes.
inline Frame Malformed() { return Kind(FrameKind::NotUnderstood); }
inline Frame TransmissionError()
{
    return Kind(FrameKind::Error, "transmission error: the check character does not match the frame");
}
inline Frame UnknownUnit(std::string_view unit)
{
    return Kind(FrameKind::NotUnderstood, "the scale weighs in \"" + std::string(unit) + "\", which is not g, kg, oz or lb");
}
// A weight; a negative stable weight is a load below zero.
inline Frame Reading(LONG weight, LONG unit, bool stable)
{
    if (stable && weight < 0)
        return Kind(FrameKind::UnderZero);
    return Frame{stable ? FrameKind::Weight : FrameKind::Motion, weight, unit, 0, {}, {}};
}
inline std::string_view Trim(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}
inline std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}
// "001.25 N", "0001.50LB": the number and the letters after it, blanks taken off.
inline std::pair<std::string_view, std::string_view> NumberAndLetters(std::string_view text)
{
    text = Trim(text);
    std::size_t at = text.size();
    while (at > 0 && std::isalpha(static_cast<unsigned char>(text[at - 1])))
        --at;
    return {Trim(text.substr(0, at)), text.substr(at)};
}

}
}
