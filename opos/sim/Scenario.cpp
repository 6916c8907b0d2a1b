#include "opos/sim/Scenario.h"

#include "opos/ResultCodes.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace opos::sim {

namespace {
constexpr std::int64_t kSampleMs = 250;            // a moving load changes reading this often
constexpr std::int64_t kWobble = 35;               // and swings this far around its path
constexpr std::int64_t kLongestPhaseMs = 86400000; // a day

const char kPhaseForms[] = "a phase is DURATION WEIGHT [stable|moving], DURATION WEIGHT -> WEIGHT [stable|moving], "
                           "or DURATION zero|under|over|fault|offline";

struct Parser
{
    std::string file;
    int line = 0;
    Scenario scenario;
    std::map<std::string, int> headerLines;
    int firstPhaseLine = 0;

    [[noreturn]] void Fail(const std::string& why) const
    {
        throw DeviceError(OPOS_E_NOEXIST, file + " line " + std::to_string(line) + ": " + why);
    }
    void Header(std::string_view key, std::string_view value);
    void Phase(std::string_view text);
    std::int64_t Weight(std::string_view word) const;
    std::int64_t Duration(std::string_view word) const;
};

std::string_view trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string_view> words(std::string_view s)
{
    std::vector<std::string_view> result;
    for (std::size_t i = s.find_first_not_of(" \t"); i != std::string_view::npos; i = s.find_first_not_of(" \t", i)) {
        const std::size_t end = std::min(s.find_first_of(" \t", i), s.size());
        result.push_back(s.substr(i, end - i));
        i = end;
    }
    return result;
}

// Up to `maxDigits` digits, then optionally a point and one to three decimals, in thousandths;
// nullopt for anything else.
std::optional<std::int64_t> decimal(std::string_view s, std::size_t maxDigits)
{
    const std::size_t point = s.find('.');
    const std::string_view whole = s.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : s.substr(point + 1);
    const auto digits = [](std::string_view d) { return std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; }); };
    if (whole.empty() || whole.size() > maxDigits || !digits(whole) || fraction.size() > 3 || !digits(fraction) ||
        (point != std::string_view::npos && fraction.empty()))
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : whole)
        value = value * 10 + (c - '0');
    std::int64_t unit = 1000;
    for (char c : fraction) {
        value = value * 10 + (c - '0');
        unit /= 10;
    }
    return value * unit;
}

std::int64_t Parser::Weight(std::string_view word) const
{
    const bool negative = !word.empty() && word[0] == '-';
    const std::optional<std::int64_t> value = decimal(word.substr(negative ? 1 : 0), 6);
    if (!value)
        Fail("\"" + std::string(word) + "\" is not a weight (a number in the unit, up to 999999.999)");
    return negative ? -*value : *value;
}

std::int64_t Parser::Duration(std::string_view word) const
{
    const bool ms = word.size() > 2 && word.substr(word.size() - 2) == "ms";
    const bool s = !ms && word.size() > 1 && word.back() == 's';
    const std::optional<std::int64_t> value = ms || s ? decimal(word.substr(0, word.size() - (ms ? 2 : 1)), 8) : std::nullopt;
    const std::int64_t durationMs = value ? (ms ? *value / 1000 : *value) : 0;
    if (!value || (ms && *value % 1000) || durationMs <= 0 || durationMs > kLongestPhaseMs)
        Fail("\"" + std::string(word) + "\" is not a duration (such as 5s, 2.5s or 250ms, up to a day)");
    return durationMs;
}

void Parser::Header(std::string_view key, std::string_view value)
{
    std::string name(key);
    for (char& c : name)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (firstPhaseLine)
        Fail("\"" + name + "\": the header's keys come before the first phase");
    if (const auto it = headerLines.find(name); it != headerLines.end())
        Fail("key \"" + name + "\" is given twice (first on line " + std::to_string(it->second) + ")");
    headerLines[name] = line;
    const std::string text(value);
    if (name == "description") {
        if (text.empty())
            Fail("the description is empty");
        scenario.description = text;
    } else if (name == "unit") {
        const std::map<std::string, LONG> units{{"g", SCAL_WU_GRAM}, {"kg", SCAL_WU_KILOGRAM}, {"oz", SCAL_WU_OUNCE}, {"lb", SCAL_WU_POUND}};
        const auto unit = units.find(text);
        if (unit == units.end())
            Fail("\"" + text + "\" is not a unit (g, kg, oz or lb)");
        scenario.unit = unit->second;
    } else if (name == "capacity") {
        scenario.capacity = LONG(Weight(text));
        if (scenario.capacity <= 0)
            Fail("the capacity must be above zero");
    } else if (name == "zero-valid") {
        if (text != "true" && text != "false")
            Fail("zero-valid is true or false, not \"" + text + "\"");
        scenario.zeroValid = text == "true";
    } else {
        Fail("unknown key \"" + name + "\" (the header's keys: description, unit, capacity, zero-valid)");
    }
}

void Parser::Phase(std::string_view text)
{
    if (!firstPhaseLine) {
        firstPhaseLine = line;
        if (!scenario.capacity)
            Fail("the header needs a capacity before the first phase (capacity = 15 for 15 kg)");
    }
    std::string spaced; // "1->2" reads as "1 -> 2"
    for (std::size_t i = 0; i < text.size(); ++i)
        spaced += text.substr(i, 2) == "->" ? (++i, std::string(" -> ")) : std::string(1, text[i]);
    const std::vector<std::string_view> w = words(spaced);
    ScenarioPhase phase;
    phase.startMs = scenario.LengthMs();
    phase.endMs = phase.startMs + Duration(w[0]);
    const std::map<std::string_view, PhaseKind> states{{"zero", PhaseKind::Zero}, {"under", PhaseKind::Under}, {"over", PhaseKind::Over},
                                                       {"fault", PhaseKind::Fault}, {"offline", PhaseKind::Offline}};
    std::size_t motion = 0; // the index of a stable/moving word, when there may be one
    const bool state = w.size() >= 2 && states.count(w[1]);
    if (state && w.size() == 2) {
        phase.kind = states.at(w[1]);
    } else if (state) {
        Fail(kPhaseForms); // a state takes no weight and no motion
    } else if (w.size() >= 4 && w[2] == "->") {
        phase.from = Weight(w[1]);
        phase.to = Weight(w[3]);
        phase.stable = false;
        motion = 4;
    } else if (w.size() >= 2) {
        phase.from = phase.to = Weight(w[1]);
        motion = 2;
    }
    if (motion && w.size() == motion + 1 && (w[motion] == "stable" || w[motion] == "moving"))
        phase.stable = w[motion] == "stable";
    else if (phase.kind == PhaseKind::Load && (!motion || w.size() != motion))
        Fail(kPhaseForms);
    scenario.phases.push_back(phase);
}
}

Scenario ParseScenario(std::string_view text, const std::string& file)
{
    Parser parser;
    parser.file = file;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++parser.line;
        if (line.find('\0') != std::string_view::npos)
            parser.Fail("the line holds a NUL character");
        for (std::size_t hash = line.find('#'); hash != std::string_view::npos; hash = line.find('#', hash + 1)) {
            if (hash == 0 || line[hash - 1] == ' ' || line[hash - 1] == '\t') {
                line = line.substr(0, hash);
                break;
            }
        }
        line = trimmed(line);
        if (line.empty())
            continue;
        if (const std::size_t equals = line.find('='); equals != std::string_view::npos)
            parser.Header(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)));
        else
            parser.Phase(line);
    }
    if (parser.scenario.phases.empty()) {
        parser.line = std::max(parser.line, 1);
        parser.Fail("the scenario has no phases (" + std::string(kPhaseForms) + ")");
    }
    if (parser.scenario.unit == 0)
        parser.scenario.unit = SCAL_WU_KILOGRAM;
    if (parser.scenario.description.empty())
        parser.scenario.description = "Tarabo simulated scale (" + file + ")";
    return std::move(parser.scenario);
}

namespace {
const ScenarioPhase& phaseAt(const Scenario& scenario, std::int64_t t)
{
    const auto it = std::upper_bound(scenario.phases.begin(), scenario.phases.end(), t,
                                     [](std::int64_t time, const ScenarioPhase& phase) { return time < phase.endMs; });
    return it == scenario.phases.end() ? scenario.phases.back() : *it;
}

bool changesWithin(const ScenarioPhase& phase) { return phase.kind == PhaseKind::Load && (phase.from != phase.to || !phase.stable); }
}

ScaleReading ScenarioReading(const Scenario& scenario, std::int64_t t)
{
    const ScenarioPhase& phase = phaseAt(scenario, t);
    switch (phase.kind) {
    case PhaseKind::Zero: return {ScaleStatus::StableZero, 0};
    case PhaseKind::Under: return {ScaleStatus::UnderZero, 0};
    case PhaseKind::Over: return {ScaleStatus::OverCapacity, 0};
    case PhaseKind::Fault: return {ScaleStatus::Fault, 0};
    case PhaseKind::Offline: return {ScaleStatus::Gone, 0};
    case PhaseKind::Load: break;
    }
    // The load goes along its path in steps, one a sample; a moving one swings around it.
    const std::int64_t sample = std::max<std::int64_t>(t - phase.startMs, 0) / kSampleMs;
    const std::int64_t samples = std::max<std::int64_t>((phase.endMs - phase.startMs) / kSampleMs, 1);
    std::int64_t weight = phase.from + (phase.to - phase.from) * std::min(sample, samples) / samples;
    if (!phase.stable) {
        weight += sample % 2 ? kWobble : -kWobble;
        if (weight <= 0 && phase.from >= 0 && phase.to >= 0)
            weight = kWobble; // a load on the platter never swings below an empty one
    }
    if (weight > scenario.capacity)
        return {ScaleStatus::OverCapacity, LONG(weight)};
    if (!phase.stable)
        return {ScaleStatus::InMotion, LONG(weight)};
    return {weight == 0 ? ScaleStatus::StableZero : weight < 0 ? ScaleStatus::UnderZero : ScaleStatus::Stable, LONG(weight)};
}

std::int64_t ScenarioNextChange(const Scenario& scenario, std::int64_t t)
{
    const ScenarioPhase& phase = phaseAt(scenario, t);
    if (!changesWithin(phase) || t < phase.startMs)
        return std::max(phase.endMs, t + 1);
    return std::min(t + kSampleMs - (t - phase.startMs) % kSampleMs, phase.endMs);
}

}
