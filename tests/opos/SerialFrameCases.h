// The serial frames of tests/opos/serial-frames (README.md there): each protocol's documented
// frames with the reading they must give, shared by the parsers' test and the end-to-end one.
#pragma once

#include "ResultCodes.h"
#include "SerialProtocol.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <cctype>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace serialcases {

using namespace opos::serial;

struct FrameCase
{
    Protocol protocol;
    std::string bytes;
    std::string expected; // canonical, as Canonical() writes frames
    std::string kind;     // the expectation's first word
    std::string where;    // file:line
};

inline std::string UnitName(LONG unit)
{
    static const std::map<LONG, std::string> names{
        {SCAL_WU_GRAM, "g"}, {SCAL_WU_KILOGRAM, "kg"}, {SCAL_WU_OUNCE, "oz"}, {SCAL_WU_POUND, "lb"}};
    const auto found = names.find(unit);
    return found == names.end() ? "-" : found->second;
}

// A frame as "weight 1250 kg" (thousandths), "motion 0 -", "over", "transmission-error", ...
inline std::string Canonical(const Frame& frame)
{
    switch (frame.kind) {
    case FrameKind::Weight: return "weight " + std::to_string(frame.weight) + " " + UnitName(frame.unit);
    case FrameKind::Motion: return "motion " + std::to_string(frame.weight) + " " + UnitName(frame.unit);
    case FrameKind::OverCapacity: return "over";
    case FrameKind::UnderZero: return "under";
    case FrameKind::NotReady: return "not-ready";
    case FrameKind::Acknowledged: return "ack";
    case FrameKind::Fault: return "fault";
    case FrameKind::Identity: return "identity";
    case FrameKind::NotUnderstood: return "not-understood";
    case FrameKind::Error:
        return frame.text.find("transmission error") != std::string::npos ? "transmission-error" : "error";
    default: return "other";
    }
}

inline std::string DecodeBytes(const std::string& text)
{
    static const std::map<std::string, char> names{{"STX", 0x02}, {"ETX", 0x03}, {"CR", 0x0d}, {"LF", 0x0a},
                                                   {"SOH", 0x01}, {"EOT", 0x04}, {"ENQ", 0x05}, {"ACK", 0x06},
                                                   {"NAK", 0x15}, {"DC1", 0x11}};
    std::string bytes;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const std::size_t close = text[at] == '<' ? text.find('>', at) : std::string::npos;
        const std::string name = close == std::string::npos ? "" : text.substr(at + 1, close - at - 1);
        if (names.count(name)) {
            bytes += names.at(name);
        } else if (name.size() == 2 && std::isxdigit(static_cast<unsigned char>(name[0])) &&
                   std::isxdigit(static_cast<unsigned char>(name[1]))) {
            bytes += char(std::stoi(name, nullptr, 16));
        } else {
            bytes += text[at];
            continue;
        }
        at = close;
    }
    return bytes;
}

// "weight 1.250 kg" to "weight 1250 kg"; "motion" to "motion 0 -".
inline std::string CanonicalExpectation(const std::string& text)
{
    std::istringstream in(text);
    std::string kind, number, unit;
    in >> kind >> number >> unit;
    if (kind != "weight" && kind != "motion")
        return kind;
    const std::optional<LONG> thousandths = ParseThousandths(number.empty() ? "0" : number);
    return kind + " " + (thousandths ? std::to_string(*thousandths) : "?") + " " + (unit.empty() ? "-" : unit);
}

// Every case of every file; a file, line or case that does not read fails the calling test.
inline std::vector<FrameCase> LoadFrameCases()
{
    std::vector<FrameCase> cases;
    for (const auto& entry : std::filesystem::directory_iterator(SERIAL_FRAMES_DIR)) {
        if (entry.path().extension() != ".txt")
            continue;
        const std::string name = entry.path().stem().string();
        const std::optional<Protocol> protocol = ProtocolByName(name);
        EXPECT_TRUE(protocol) << entry.path() << " is named after no protocol";
        std::ifstream in(entry.path());
        std::string line, source;
        for (int number = 1; std::getline(in, line); ++number) {
            const std::string where = name + ".txt:" + std::to_string(number);
            if (line.starts_with("source: ")) {
                source = line;
                continue;
            }
            if (line.empty() || line.starts_with("#"))
                continue;
            const std::size_t arrow = line.rfind("\" => ");
            EXPECT_TRUE(line.starts_with("\"") && arrow != std::string::npos && arrow > 0) << where << ": not a case";
            EXPECT_FALSE(source.empty()) << where << ": a case without a source";
            if (!protocol || arrow == std::string::npos || arrow == 0)
                continue;
            const std::string expected = line.substr(arrow + 5);
            cases.push_back({*protocol, DecodeBytes(line.substr(1, arrow - 1)), CanonicalExpectation(expected),
                             expected.substr(0, expected.find(' ')), where});
        }
    }
    EXPECT_FALSE(cases.empty()) << "no frames in " << SERIAL_FRAMES_DIR;
    return cases;
}

}
