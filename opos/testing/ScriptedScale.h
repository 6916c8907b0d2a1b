// A scale service that answers from a script and records every call, for testing what sits in
// front of the control.
#pragma once

#include "opos/ScaleService.h"

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace opos {

struct Answer // one scripted answer to one call
{
    LONG result = 0;                      // the method's result code
    LONG weight = 0;                      // ReadWeight's by-reference weight (set only when result == 0)
    LONG data = 0;                        // DirectIO's by-reference data
    std::optional<std::u16string> string{}; // DirectIO's by-reference string (nullopt = null BSTR)
    int delayMs = 0;                      // the call blocks this long (through the current opos clock)
    bool raise = false;                   // the call raises an automation failure instead
};

class ScriptedScale : public IScaleService
{
public:
    // Next answer for a member: "Open", "Close", "Claim", "Release", "ClearInput", "DirectIO",
    // "ReadWeight", "SetDeviceEnabled", "GetDescription", "GetMaximumWeight", "GetWeightUnit".
    void Queue(const std::string& member, Answer a);
    // The answer when the member's queue is empty (initially all zero: success, 0).
    void SetDefault(const std::string& member, Answer a);

    // Property values, changeable at any time. A property read takes an answer like a method;
    // only its `raise` and `delayMs` matter.
    std::u16string description = u"Scripted scale";
    LONG maximumWeight = 0;
    LONG weightUnit = 0;

    // Every call received, in order: "Open(K350)", "Close()", "Claim(1000)", "Release()",
    // "ClearInput()", "ReadWeight(0,1000)" (incoming weight, time-out), "DirectIO(4,0,null)"
    // (incoming data and string: null or the text in quotes), "SetDeviceEnabled(true)",
    // "GetDescription", "GetMaximumWeight", "GetWeightUnit". Read it while no call is running.
    const std::vector<std::string>& Calls() const { return m_calls; }
    void ClearCalls();
    // Non-null strings DirectIO received by reference: each was the caller's, which the control
    // took over and freed.
    int FreedStrings() const;

    LONG Open(const std::u16string& name) override;
    LONG Close() override;
    LONG Claim(LONG timeoutMs) override;
    LONG Release() override;
    LONG ClearInput() override;
    LONG DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string) override;
    LONG ReadWeight(LONG& weight, LONG timeoutMs) override;
    void SetDeviceEnabled(bool enabled) override;
    std::u16string GetDescription() override;
    LONG GetMaximumWeight() override;
    LONG GetWeightUnit() override;

private:
    // Records the call, then delays or raises as its answer says.
    Answer Take(const std::string& member, std::string call);

    mutable std::mutex m_mutex;
    std::map<std::string, std::deque<Answer>> m_queues;
    std::map<std::string, Answer> m_defaults;
    std::vector<std::string> m_calls;
    int m_freedStrings = 0;
};

}
