// The answers real scales send, as tests/answers/ keeps them with their sources: one case a line,
// fields apart by " | ". Serial files: "bytes" | reading | source. The HID file: tag | hex | reading
// | source. A reading is its kind, then a number and a unit where it has them.
#pragma once

#include "opos/ResultCodes.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace answers {

struct Reading
{
    std::string kind;                      // weight, motion, over, under, busy, fault, error, zero, capacity, data
    std::optional<std::int64_t> thousandths; // the number, in thousandths
    std::string unit;                      // g, kg, oz, lb; empty when the answer does not say
    std::vector<std::string> words;        // everything, for the HID descriptor line
};

struct Case
{
    std::string tag;   // HID: descriptor, limit or report; empty for serial
    std::string bytes;
    Reading reading;
    std::string source;
    std::string where; // file:line, for failure messages
};

inline std::string unquote(const std::string& field, const std::string& where)
{
    if (field.size() < 2 || field.front() != '"' || field.back() != '"')
        throw std::runtime_error(where + ": the bytes are not in quotes");
    std::string out;
    for (std::size_t i = 1; i + 1 < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        const char e = field.at(++i);
        if (e == 'x') {
            out += char(std::stoi(field.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += e == 'r' ? '\r' : e == 'n' ? '\n' : e;
        }
    }
    return out;
}

inline std::string unhex(const std::string& field)
{
    std::istringstream in(field);
    std::string out, byte;
    while (in >> byte)
        out += char(std::stoi(byte, nullptr, 16));
    return out;
}

inline std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> out;
    std::size_t at = 0;
    for (std::size_t bar; (bar = line.find(" | ", at)) != std::string::npos; at = bar + 3)
        out.push_back(line.substr(at, bar - at));
    out.push_back(line.substr(at));
    return out;
}

inline Reading reading(const std::string& text)
{
    Reading r;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        r.words.push_back(word);
    if (r.words.empty())
        return r;
    r.kind = r.words[0];
    if (r.words.size() > 1 && r.kind != "data")
        r.thousandths = std::llround(std::stod(r.words[1]) * 1000);
    if (r.words.size() > 2 && r.kind != "data")
        r.unit = r.words[2];
    return r;
}

inline LONG UnitOf(const std::string& unit)
{
    static const std::map<std::string, LONG> units{{"", 0}, {"g", SCAL_WU_GRAM}, {"kg", SCAL_WU_KILOGRAM}, {"oz", SCAL_WU_OUNCE}, {"lb", SCAL_WU_POUND}};
    return units.at(unit);
}

struct Outcome
{
    LONG result, extended; // ReadWeight's, with zero-valid left at its default
};

// What ReadWeight gives for a reading.
inline Outcome OutcomeOf(const Reading& r)
{
    static const std::map<std::string, Outcome> outcomes{
        {"weight", {OPOS_SUCCESS, 0}}, {"motion", {OPOS_E_TIMEOUT, 0}}, {"busy", {OPOS_E_TIMEOUT, 0}}, {"none", {OPOS_E_TIMEOUT, 0}},
        {"over", {OPOS_E_EXTENDED, OPOS_ESCAL_OVERWEIGHT}}, {"under", {OPOS_E_EXTENDED, OPOS_ESCAL_UNDERWEIGHT}},
        {"fault", {OPOS_E_FAILURE, 0}}, {"error", {OPOS_E_FAILURE, 0}},
    };
    Outcome o = outcomes.at(r.kind);
    if (r.kind == "weight" && r.thousandths == 0)
        o.result = OPOS_E_TIMEOUT; // a stable zero is no weight unless the section says zero-valid
    return o;
}

// The lines of tests/answers/<name> that are cases (not blank, not a comment), as their fields
// and where they are (file:line); throws when the file is missing or a line has not `count` fields.
inline std::vector<std::pair<std::string, std::vector<std::string>>> Rows(const std::string& name, std::size_t count)
{
    const std::string path = std::string(TARABO_ANSWERS_DIR) + "/" + name;
    std::ifstream file(path);
    if (!file)
        throw std::runtime_error(path + ": cannot be read");
    std::vector<std::pair<std::string, std::vector<std::string>>> rows;
    int number = 0;
    for (std::string line; std::getline(file, line);) {
        const std::string where = name + ":" + std::to_string(++number);
        if (line.empty() || line[0] == '#')
            continue;
        rows.emplace_back(where, fields(line));
        if (rows.back().second.size() != count)
            throw std::runtime_error(where + ": not a case");
    }
    return rows;
}

// The cases of tests/answers/<name>.
inline std::vector<Case> Load(const std::string& name)
{
    const bool hid = name.ends_with("hid.txt");
    std::vector<Case> cases;
    for (const auto& [where, f] : Rows(name, hid ? 4u : 3u)) {
        Case c;
        c.where = where;
        c.tag = hid ? f[0] : "";
        c.bytes = hid ? unhex(f[1]) : unquote(f[0], where);
        c.reading = reading(f[hid ? 2 : 1]);
        c.source = f.back();
        cases.push_back(std::move(c));
    }
    return cases;
}

// Files that are not what they claim, in tests/answers/bad-files/<name>: each one's text, quoted
// as the serial answers are, and the error it gives.
struct BadFile
{
    std::string where, text, error;
};
inline std::vector<BadFile> LoadBadFiles(const std::string& name)
{
    std::vector<BadFile> files;
    for (const auto& [where, f] : Rows("bad-files/" + name, 2))
        files.push_back({where, unquote(f[0], where), f[1]});
    return files;
}

}
