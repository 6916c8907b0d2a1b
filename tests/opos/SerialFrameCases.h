// The documented frames of the protocol families that stream or were added to the first three
// (tests/answers/<protocol>.txt): each with the reading it must give, shared by the parsers' test
// and the end-to-end one.
#pragma once

#include "tests/support/AnswerCorpus.h"
#include "opos/ResultCodes.h"
#include "opos/serial/SerialProtocol.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
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
    std::string source;   // the document it comes from, with notes
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

// Every case of the families' files in tests/answers (the first three protocols' files are
// AnswerCorpusTest's), or with `edge`, of the first three's made-up edge cases in
// tests/answers/edge; a file or line that does not read fails the calling test.
inline std::vector<FrameCase> LoadFrameCases(bool edge = false)
{
    std::vector<FrameCase> cases;
    for (const ProtocolInfo& info : Protocols()) {
        if (bool(info.parse) == edge)
            continue;
        const std::string file = (edge ? "edge/" : "") + std::string(info.name) + ".txt";
        try {
            for (const answers::Case& c : answers::Load(file)) {
                const answers::Reading& r = c.reading; // "weight 1.250 kg" as "weight 1250 kg", "motion" as "motion 0 -"
                const bool weighs = r.kind == "weight" || r.kind == "motion";
                const std::string expected = !weighs ? r.kind : r.kind + " " + std::to_string(r.thousandths.value_or(0)) + " " + (r.unit.empty() ? "-" : r.unit);
                cases.push_back({info.protocol, c.bytes, expected, r.kind, c.where, c.source});
            }
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
    }
    EXPECT_FALSE(cases.empty()) << "no frames in " << TARABO_ANSWERS_DIR;
    return cases;
}

}
