#include "opos/testing/ScriptedScale.h"

#include "opos/AutomationFailure.h"
#include "opos/Clock.h"
#include "opos/Utf8.h"

namespace opos {

void ScriptedScale::Queue(const std::string& member, Answer a)
{
    std::lock_guard lock(m_mutex);
    m_queues[member].push_back(std::move(a));
}

void ScriptedScale::SetDefault(const std::string& member, Answer a)
{
    std::lock_guard lock(m_mutex);
    m_defaults[member] = std::move(a);
}

void ScriptedScale::ClearCalls()
{
    std::lock_guard lock(m_mutex);
    m_calls.clear();
}

int ScriptedScale::FreedStrings() const
{
    std::lock_guard lock(m_mutex);
    return m_freedStrings;
}

Answer ScriptedScale::Take(const std::string& member, std::string call)
{
    Answer answer;
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
        auto& queue = m_queues[member];
        if (!queue.empty()) {
            answer = std::move(queue.front());
            queue.pop_front();
        } else if (auto it = m_defaults.find(member); it != m_defaults.end()) {
            answer = it->second;
        }
    }
    CurrentClock().SleepMs(answer.delayMs);
    if (answer.raise)
        throw AutomationFailure("Scripted failure of " + member);
    return answer;
}

LONG ScriptedScale::Open(const std::u16string& name)
{
    return Take("Open", "Open(" + Utf8FromUtf16(name) + ")").result;
}

LONG ScriptedScale::Close() { return Take("Close", "Close()").result; }

LONG ScriptedScale::Claim(LONG timeoutMs)
{
    return Take("Claim", "Claim(" + std::to_string(timeoutMs) + ")").result;
}

LONG ScriptedScale::Release() { return Take("Release", "Release()").result; }

LONG ScriptedScale::ClearInput() { return Take("ClearInput", "ClearInput()").result; }

LONG ScriptedScale::DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string)
{
    std::string call = "DirectIO(";
    call.append(std::to_string(command)).append(",").append(std::to_string(data)).append(",");
    if (string)
        call.append("\"").append(Utf8FromUtf16(*string)).append("\"");
    else
        call.append("null");
    call.append(")");
    Answer answer = Take("DirectIO", std::move(call));
    if (string) {
        std::lock_guard lock(m_mutex);
        ++m_freedStrings;
    }
    data = answer.data;
    string = std::move(answer.string);
    return answer.result;
}

LONG ScriptedScale::ReadWeight(LONG& weight, LONG timeoutMs)
{
    const Answer answer =
        Take("ReadWeight", "ReadWeight(" + std::to_string(weight) + "," + std::to_string(timeoutMs) + ")");
    if (answer.result == 0)
        weight = answer.weight;
    return answer.result;
}

void ScriptedScale::SetDeviceEnabled(bool enabled)
{
    Take("SetDeviceEnabled", enabled ? "SetDeviceEnabled(true)" : "SetDeviceEnabled(false)");
}

std::u16string ScriptedScale::GetDescription()
{
    Take("GetDescription", "GetDescription");
    return description;
}

LONG ScriptedScale::GetMaximumWeight()
{
    Take("GetMaximumWeight", "GetMaximumWeight");
    return maximumWeight;
}

LONG ScriptedScale::GetWeightUnit()
{
    Take("GetWeightUnit", "GetWeightUnit");
    return weightUnit;
}

}
