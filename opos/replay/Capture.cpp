#include "opos/replay/Capture.h"

#include "opos/serial/SerialProtocol.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>

namespace opos {

namespace {
constexpr std::string_view kMagic = "tarabo-capture";
constexpr std::string_view kEventsLine = "events:";
constexpr std::int64_t kMaxMs = 1000LL * 3600 * 24 * 366;

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The line without its comment ('#' to the end); text values keep theirs whole.
std::string_view uncommented(std::string_view line)
{
    return trimmed(line.substr(0, std::min(line.find('#'), line.size())));
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Whitespace-separated pairs of hex digits; nullopt with `why` set otherwise.
std::optional<CaptureBytes> parseHex(std::string_view text, std::string& why)
{
    CaptureBytes bytes;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t') {
            ++i;
            continue;
        }
        const int high = hexDigit(text[i]), low = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
        const bool alone = i + 2 >= text.size() || text[i + 2] == ' ' || text[i + 2] == '\t';
        if (high < 0 || low < 0 || !alone) {
            why = "\"" + std::string(text.substr(i, std::min<std::size_t>(8, text.size() - i))) +
                  "\" is not a byte in hex (two digits, bytes separated by spaces)";
            return std::nullopt;
        }
        bytes.push_back(std::uint8_t(high * 16 + low));
        i += 2;
    }
    return bytes;
}

// The free text of a header line as written, its escapes undone; nullopt with `why` set for a NUL.
std::optional<std::string> unescaped(std::string_view text, std::string& why)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const int high = i + 2 < text.size() ? hexDigit(text[i + 2]) : -1, low = i + 3 < text.size() ? hexDigit(text[i + 3]) : -1;
        if (text[i] != '\\') {
            out += text[i];
        } else if (next == '\\' || next == 'n' || next == 'r' || next == 't') {
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : '\\';
            ++i;
        } else if (next == 'x' && high >= 0 && low >= 0) {
            if (high == 0 && low == 0) {
                why = "\"\\x00\" is a NUL character, which no text holds";
                return std::nullopt;
            }
            out += char(high * 16 + low);
            i += 3;
        } else {
            out += '\\'; // a lone backslash stands for itself
        }
    }
    return out;
}

template <class T>
std::optional<T> parseNumber(std::string_view text)
{
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

class Parser
{
public:
    explicit Parser(const std::string& file) : m_file(file) {}
    Capture Run(std::string_view text);

private:
    [[noreturn]] void Fail(const std::string& why) const
    {
        throw CaptureError(m_file + " line " + std::to_string(m_line) + ": " + why);
    }
    void FirstLine(std::string_view line);
    void HeaderLine(std::string_view line);
    void EventLine(std::string_view line);
    void CheckHeader();
    CaptureBytes Hex(std::string_view text)
    {
        std::string why;
        std::optional<CaptureBytes> bytes = parseHex(text, why);
        if (!bytes)
            Fail(why);
        return *bytes;
    }

    std::string m_file;
    int m_line = 0;
    enum class Part { First, Header, Events } m_part = Part::First;
    std::map<std::string, int> m_keys; // given, with their lines
    Capture m_capture;
};

Capture Parser::Run(std::string_view text)
{
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view raw = text.substr(start, end - start);
        ++m_line;
        start = end + 1;
        if (raw.find('\0') != std::string_view::npos)
            Fail("a NUL character (this is not a text file)");
        const std::string_view line = trimmed(raw);
        if (line.empty() || line.front() == '#')
            continue;
        switch (m_part) {
        case Part::First: FirstLine(uncommented(line)); break;
        case Part::Header: HeaderLine(line); break;
        case Part::Events: EventLine(uncommented(line)); break;
        }
    }
    if (m_part == Part::First)
        Fail("empty: not a capture (it starts with \"tarabo-capture 1\")");
    if (m_part == Part::Header)
        Fail("the header ends without an \"events:\" line");
    return m_capture;
}

void Parser::FirstLine(std::string_view line)
{
    if (line.substr(0, kMagic.size()) != kMagic)
        Fail("not a capture: the first line is \"tarabo-capture " + std::to_string(kCaptureVersion) + "\"");
    const std::optional<int> version = parseNumber<int>(trimmed(line.substr(kMagic.size())));
    if (!version || *version < 1)
        Fail("\"" + std::string(line) + "\" does not give the format's version");
    if (*version > kCaptureVersion)
        Fail("format version " + std::to_string(*version) + " is newer than this program reads (" +
             std::to_string(kCaptureVersion) + ")");
    m_part = Part::Header;
}

void Parser::HeaderLine(std::string_view line)
{
    if (line == kEventsLine) {
        CheckHeader();
        m_part = Part::Events;
        return;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        Fail("\"" + std::string(line) + "\" is not \"key: value\" (the header ends with \"events:\")");
    const std::string key(trimmed(line.substr(0, colon)));
    const std::string_view value = trimmed(line.substr(colon + 1));
    if (key != "feature" && !m_keys.emplace(key, m_line).second)
        Fail("\"" + key + "\" is given twice (also on line " + std::to_string(m_keys[key]) + ")");
    CaptureHeader& h = m_capture.header;
    // Free text keeps a '#'; words and numbers may have a comment after them.
    const std::map<std::string, std::string*> texts{{"tool", &h.tool}, {"device", &h.device}, {"name", &h.name}};
    const std::map<std::string, std::string*> words{
        {"driver", &h.driver}, {"protocol", &h.protocol}, {"framing", &h.framing}, {"unit", &h.unit}};
    if (texts.count(key)) {
        std::string why;
        const std::optional<std::string> text = unescaped(value, why);
        if (!text)
            Fail(why);
        *texts.at(key) = *text;
    } else if (words.count(key))
        *words.at(key) = uncommented(value);
    else if (key == "baud") {
        const std::optional<int> baud = parseNumber<int>(uncommented(value));
        if (!baud || *baud <= 0)
            Fail("baud \"" + std::string(value) + "\" is not a number of bits per second");
        h.baud = *baud;
    } else if (key == "ids") {
        unsigned vendor = 0, product = 0;
        char rest = 0;
        if (std::sscanf(std::string(uncommented(value)).c_str(), "%4x:%4x%c", &vendor, &product, &rest) != 2)
            Fail("ids \"" + std::string(value) + "\" are not vendor:product in hex (0922:8003)");
        h.vendor = std::uint16_t(vendor), h.product = std::uint16_t(product);
    } else if (key == "descriptor")
        h.descriptor = Hex(uncommented(value));
    else if (key == "feature") {
        h.features.push_back(Hex(uncommented(value)));
        if (h.features.back().empty())
            Fail("a feature report needs at least its id");
    } else
        Fail("unknown key \"" + key + "\" (known: tool, driver, device, protocol, baud, framing, unit, name, ids, descriptor, feature)");
}

void Parser::CheckHeader()
{
    CaptureHeader& h = m_capture.header;
    const auto need = [&](const char* key) {
        if (!m_keys.count(key))
            Fail(std::string("the header has no \"") + key + "\" (driver " + h.driver + ")");
    };
    if (h.driver == "serial") {
        need("protocol");
        if (!serial::ProtocolByName(h.protocol))
            Fail("unknown protocol \"" + h.protocol + "\" (line " + std::to_string(m_keys["protocol"]) + ")");
        if (!h.framing.empty() && !serial::ParseFraming(h.framing))
            Fail("\"" + h.framing + "\" is not a framing such as 7E1 (line " + std::to_string(m_keys["framing"]) + ")");
        if (!h.unit.empty() && serial::ParseUnit(h.unit) == 0)
            Fail("\"" + h.unit + "\" is not a unit: g, kg, oz or lb (line " + std::to_string(m_keys["unit"]) + ")");
    } else if (h.driver == "hid") {
        need("descriptor");
    } else {
        Fail(m_keys.count("driver") ? "driver \"" + h.driver + "\" cannot be replayed (serial or hid)"
                                    : std::string("the header has no \"driver\" (serial or hid)"));
    }
}

void Parser::EventLine(std::string_view line)
{
    const std::size_t space = line.find_first_of(" \t");
    const std::optional<std::int64_t> ms = parseNumber<std::int64_t>(line.substr(0, space));
    if (!ms || *ms < 0 || *ms > kMaxMs)
        Fail("\"" + std::string(line.substr(0, std::min<std::size_t>(space, 20))) + "\" is not the milliseconds since the start");
    if (!m_capture.events.empty() && *ms < m_capture.events.back().ms)
        Fail("the time goes back (" + std::to_string(*ms) + " ms after " + std::to_string(m_capture.events.back().ms) + ")");
    const std::string_view rest = space == std::string_view::npos ? std::string_view() : trimmed(line.substr(space));
    const char direction = rest.empty() ? ' ' : rest.front();
    const bool hid = m_capture.header.driver == "hid";
    if (direction != '>' && direction != '<' && !(hid && direction == '?'))
        Fail(std::string("no direction: > (sent), < (received)") + (hid ? " or ? (asked for)" : "") + " after the time");
    if (rest.size() > 1 && rest[1] != ' ' && rest[1] != '\t')
        Fail("the direction stands alone, followed by the bytes");
    CaptureEvent event{*ms, CaptureDirection(direction), Hex(rest.substr(1))};
    if (event.bytes.empty() && event.direction != CaptureDirection::Asked)
        Fail("no bytes after the direction");
    m_capture.events.push_back(std::move(event));
}
}

Capture ParseCapture(std::string_view text, const std::string& file) { return Parser(file).Run(text); }

std::string HexText(const std::uint8_t* bytes, std::size_t size)
{
    std::string text;
    char pair[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, i ? " %02x" : "%02x", bytes[i]);
        text += pair;
    }
    return text;
}

std::string PrintableText(const std::uint8_t* bytes, std::size_t size)
{
    std::string text;
    for (std::size_t i = 0; i < size; ++i)
        text += bytes[i] >= 0x20 && bytes[i] < 0x7f ? char(bytes[i]) : '.';
    return text;
}

namespace {
// The length of the well-formed UTF-8 sequence that starts at text[i], 0 when there is none.
std::size_t utf8Length(std::string_view text, std::size_t i)
{
    const unsigned char lead = std::uint8_t(text[i]);
    const std::size_t length = lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    const unsigned char second = std::uint8_t(text[i + 1]);
    // The second byte's range rules out overlong forms, surrogates and code points past U+10FFFF.
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (second < low || second > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((std::uint8_t(text[i + k]) & 0xC0) != 0x80)
            return 0;
    return length;
}
}

std::string CaptureText(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = std::uint8_t(text[i]);
        const bool edge = c == ' ' && (i == 0 || i + 1 == text.size()); // trimmed otherwise
        if (const std::size_t length = c >= 0x80 ? utf8Length(text, i) : 0) {
            out += text.substr(i, length);
            i += length - 1;
        } else if (c == '\\')
            out += "\\\\";
        else if (c == '\n' || c == '\r' || c == '\t')
            out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
        else if (c < 0x20 || c >= 0x7f || edge) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else
            out += char(c);
    }
    return out;
}

std::string CaptureHeaderText(const CaptureHeader& h)
{
    std::string text = std::string(kMagic) + " " + std::to_string(kCaptureVersion) + "\n";
    const auto line = [&](const char* key, const std::string& value) {
        if (!value.empty())
            text += std::string(key) + ": " + value + "\n";
    };
    line("tool", CaptureText(h.tool));
    line("driver", h.driver);
    line("device", CaptureText(h.device));
    if (h.driver == "serial") {
        line("protocol", h.protocol);
        line("baud", std::to_string(h.baud));
        line("framing", h.framing);
        line("unit", h.unit);
    } else {
        line("name", CaptureText(h.name));
        char ids[16];
        std::snprintf(ids, sizeof ids, "%04x:%04x", h.vendor, h.product);
        line("ids", ids);
        line("descriptor", HexText(h.descriptor.data(), h.descriptor.size()));
        for (const CaptureBytes& feature : h.features)
            line("feature", HexText(feature.data(), feature.size()));
    }
    return text + std::string(kEventsLine) + "\n";
}

std::string CaptureEventLine(const CaptureEvent& event)
{
    const std::string hex = HexText(event.bytes.data(), event.bytes.size());
    std::string text = std::to_string(event.ms) + " " + char(event.direction) + (hex.empty() ? "" : " " + hex);
    if (!event.bytes.empty())
        text += "  # " + PrintableText(event.bytes.data(), event.bytes.size());
    return text + "\n";
}

}
