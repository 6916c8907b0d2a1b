#include "opos/config/ScalesConfig.h"

#include "opos/ResultCodes.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace opos {

namespace {
// Far beyond any path or setting; a longer line is no configuration (a binary file, say).
constexpr std::size_t kLongestLine = 4096;
constexpr std::string_view kBlanks = " \t\n\v\f\r";
constexpr char kSyntax[] = "expected [name], key = value, or a comment";

[[noreturn]] void fail(const std::string& file, int line, const std::string& why)
{
    throw DeviceError(OPOS_E_NOEXIST, file + " line " + std::to_string(line) + ": " + why);
}

// Paths: on Windows both slashes separate and "X:" names a drive, so that C:\x is a full path, \x
// one from the root of the folder's drive, and D:x one on a drive of its own. A path that starts
// with two slashes (\\server\share) has no drive, so it is not a full one either.
#ifdef _WIN32
constexpr char kSeparator = '\\';
bool isSeparator(char c) { return c == '/' || c == '\\'; }
std::size_t driveLength(const std::string& path) { return path.size() >= 2 && path[1] == ':' ? 2 : 0; }
bool isAbsolute(const std::string& path) { return driveLength(path) && path.size() > 2 && isSeparator(path[2]); }
#else
constexpr char kSeparator = '/';
bool isSeparator(char c) { return c == '/'; }
std::size_t driveLength(const std::string&) { return 0; }
bool isAbsolute(const std::string& path) { return path.starts_with('/'); }
#endif

// All but the last name, without the separators before it, bar the root's: "/etc" for
// "/etc//a.conf", "/" for "/a.conf", "" for "a.conf".
std::string folderOf(const std::string& file)
{
    std::size_t root = driveLength(file);
    while (root < file.size() && isSeparator(file[root]))
        ++root;
    std::size_t end = file.size();
    while (end > root && !isSeparator(file[end - 1]))
        --end;
    while (end > root && isSeparator(file[end - 1]))
        --end;
    return file.substr(0, end);
}

// A relative path taken from a folder.
std::string joined(const std::string& folder, const std::string& given)
{
    const std::size_t drive = driveLength(given), folderDrive = driveLength(folder);
    if (drive && given.compare(0, drive, folder, 0, folderDrive) != 0)
        return given;
    const std::string rest = given.substr(drive);
    if (!rest.empty() && isSeparator(rest[0]))
        return folder.substr(0, folderDrive) + rest;
    const bool named = folder.size() > folderDrive && !isSeparator(folder.back());
    return named ? folder + kSeparator + rest : folder + rest;
}

std::string_view trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

std::string lowered(std::string_view s)
{
    std::string lower(s);
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// A ';' after a blank starts a comment, so "a;b" stays a value; '#' only at the start of a line,
// so "#3" can be one.
std::string_view withoutComment(std::string_view line)
{
    for (std::size_t i = 1; i < line.size(); ++i)
        if (line[i] == ';' && kBlanks.find(line[i - 1]) != std::string_view::npos)
            return line.substr(0, i);
    return line;
}

class Parser
{
public:
    explicit Parser(const std::string& file) : m_file(file) {}

    void Line(std::string_view raw)
    {
        ++m_line;
        if (raw.size() > kLongestLine)
            fail(m_file, m_line, "the line is longer than " + std::to_string(kLongestLine) + " characters");
        if (raw.find('\0') != std::string_view::npos)
            fail(m_file, m_line, "the line holds a NUL character");
        const std::string_view line = trimmed(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            return;
        const std::string_view text = trimmed(withoutComment(line));
        if (text[0] == '[')
            return Header(text);
        const auto separator = text.find_first_of("=:");
        if (separator == std::string_view::npos || separator == 0)
            fail(m_file, m_line, kSyntax);
        Value(trimmed(text.substr(0, separator)), trimmed(text.substr(separator + 1)));
    }
    ScalesConfig Sections() { return std::move(m_sections); }

private:
    void Header(std::string_view text)
    {
        const auto close = text.find(']');
        const std::string_view rest = close == std::string_view::npos ? "" : trimmed(text.substr(close + 1));
        if (close == std::string_view::npos || !(rest.empty() || rest[0] == '#'))
            fail(m_file, m_line, kSyntax);
        const std::string name(trimmed(text.substr(1, close - 1)));
        if (name.empty())
            fail(m_file, m_line, "a section needs a logical name between the brackets");
        if (const auto it = m_sections.find(name); it != m_sections.end())
            fail(m_file, m_line, "section [" + name + "] appears twice (first on line " + std::to_string(it->second.line) + ")");
        m_section = &(m_sections[name] = DeviceSection{name, m_file, m_line, {}});
    }

    void Value(std::string_view name, std::string_view value)
    {
        if (!m_section)
            fail(m_file, m_line, "key \"" + std::string(name) + "\" comes before any [section]");
        const std::string key = lowered(name);
        if (const auto it = m_section->values.find(key); it != m_section->values.end())
            fail(m_file, m_line, "key \"" + key + "\" is given twice in [" + m_section->name + "] (first on line " +
                                     std::to_string(it->second.line) + ")");
        m_section->values[key] = ConfigValue{std::string(value), m_line};
    }

    const std::string& m_file;
    int m_line = 0;
    ScalesConfig m_sections;
    DeviceSection* m_section = nullptr; // the one being read
};

std::optional<ConfigSources> g_sourcesOverride;
std::mutex g_sourcesMutex;
}

std::string DeviceSection::Text(const std::string& key, const std::string& fallback) const
{
    const auto it = values.find(key);
    return it == values.end() ? fallback : it->second.text;
}

LONG DeviceSection::Number(const std::string& key, LONG fallback, LONG min, LONG max) const
{
    const auto it = values.find(key);
    if (it == values.end())
        return fallback;
    const std::string& text = it->second.text;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end || errno == ERANGE || value < min || value > max)
        Fail(key, "\"" + text + "\" is not a whole number from " + std::to_string(min) + " to " + std::to_string(max));
    return LONG(value);
}

bool DeviceSection::Flag(const std::string& key, bool fallback) const
{
    const auto it = values.find(key);
    if (it == values.end())
        return fallback;
    for (const char* yes : {"true", "yes", "on", "1"})
        if (it->second.text == yes)
            return true;
    for (const char* no : {"false", "no", "off", "0"})
        if (it->second.text == no)
            return false;
    Fail(key, "\"" + it->second.text + "\" is neither true nor false");
}

std::string DeviceSection::Path(const std::string& key) const
{
    const std::string given = Text(key, "");
    if (isAbsolute(given))
        return given;
    if (line == 0)
        Fail(key, "\"" + given + "\" is not a full path (a registry setting has no folder to start from)");
    return joined(folderOf(file), given);
}

bool ReadDecimal(const std::string& text, double& value)
{
    const bool negative = text.starts_with('-');
    std::size_t i = negative;
    unsigned long long digits = 0;
    long exponent = 0;
    bool point = false, any = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point)
            point = true;
        else if (c < '0' || c > '9')
            break;
        else if (any = true; digits < 1000000000000000000ULL)
            digits = digits * 10 + unsigned(c - '0'), exponent -= point;
        else
            exponent += !point;
    }
    // An exponent counts only with a digit: "1e" is 1 with an "e" left over.
    if (any && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        const bool minus = j < text.size() && text[j] == '-';
        j += j < text.size() && (text[j] == '-' || text[j] == '+');
        const std::size_t first = j;
        long given = 0;
        for (; j < text.size() && text[j] >= '0' && text[j] <= '9'; ++j)
            given = std::min(given * 10 + (text[j] - '0'), 100000L);
        if (j > first)
            exponent += minus ? -given : given, i = j;
    }
    if (!any || i != text.size())
        return false;
    // Both exact as doubles, one division or product rounds once; past that, long double.
    const bool exact = digits < (1ULL << 53) && std::labs(exponent) <= 22;
    long double power = 1;
    for (long k = 0; k < std::min(std::labs(exponent), exact ? 22L : 27L); ++k)
        power *= 10;
    long double result = 0;
    if (exact)
        result = exponent < 0 ? double(digits) / double(power) : double(digits) * double(power);
    else if (digits != 0 && exponent >= -27)
        result = exponent > 27 ? HUGE_VALL : exponent < 0 ? digits / power : digits * power;
    value = double(negative ? -result : result);
    return true;
}

int ReadRest(std::FILE* file, std::size_t limit, std::string& text)
{
    char buffer[4096];
    const std::size_t start = text.size();
    while (text.size() - start <= limit) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
        text.append(buffer, got);
        if (got < sizeof buffer)
            return std::ferror(file) ? errno : 0;
    }
    return 0;
}

void DeviceSection::Fail(const std::string& key, const std::string& why) const
{
    const auto it = values.find(key);
    if (line == 0) // a registry key: its settings are values, and it has no lines
        throw DeviceError(OPOS_E_NOEXIST, file + (it == values.end() ? "" : ", value \"" + key + "\"") + ": " + why);
    if (it == values.end())
        fail(file, line, "[" + name + "]: " + why);
    fail(file, it->second.line, "key \"" + key + "\": " + why);
}

ScalesConfig ParseScalesConfig(std::string_view text, const std::string& file)
{
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF"))
        fail(file, 1, "the file is in UTF-16: save it as UTF-8");
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    Parser parser(file);
    while (!text.empty()) {
        const auto end = text.find('\n');
        parser.Line(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return parser.Sections();
}

ScalesConfig SectionsFromRegistry(const std::vector<RegistryKey>& keys)
{
    ScalesConfig sections;
    for (const RegistryKey& key : keys) {
        const auto isDriver = [](const auto& value) { return lowered(value.first) == "driver" && value.second; };
        if (std::none_of(key.values.begin(), key.values.end(), isDriver))
            continue;
        DeviceSection section{key.name, std::string(kScaleRegistryKey) + "\\" + key.name, 0, {}};
        for (const auto& [name, text] : key.values) {
            if (name.empty())
                continue; // the key's default value names its service object
            if (!text)
                throw DeviceError(OPOS_E_NOEXIST, section.file + ", value \"" + lowered(name) +
                                                      "\": neither a string (REG_SZ) nor a number (REG_DWORD)");
            section.values[lowered(name)] = ConfigValue{*text, 0};
        }
        sections[key.name] = std::move(section);
    }
    return sections;
}

ScalesConfig LoadScalesConfig(const ConfigSources& sources)
{
    ScalesConfig merged = SectionsFromRegistry(sources.registry);
    for (const std::string& file : sources.files) {
        std::string text;
        if (!ReadConfigFile(file, text))
            continue;
        for (auto& [name, section] : ParseScalesConfig(text, file))
            merged[name] = std::move(section);
    }
    return merged;
}

ScalesConfig LoadScalesConfig(const std::vector<std::string>& files) { return LoadScalesConfig(ConfigSources{{}, files}); }

ConfigSources CurrentConfigSources()
{
    {
        std::lock_guard lock(g_sourcesMutex);
        if (g_sourcesOverride)
            return *g_sourcesOverride;
    }
    return {ReadScaleRegistry(), DefaultConfigFiles()};
}

std::vector<std::string> ConfigFiles()
{
    std::lock_guard lock(g_sourcesMutex);
    return g_sourcesOverride ? g_sourcesOverride->files : DefaultConfigFiles();
}

ScalesConfig LoadConfiguredScales() { return LoadScalesConfig(CurrentConfigSources()); }

ConfigFilesOverride::ConfigFilesOverride(std::vector<std::string> files, std::vector<RegistryKey> registry)
{
    std::lock_guard lock(g_sourcesMutex);
    m_previous = std::exchange(g_sourcesOverride, ConfigSources{std::move(registry), std::move(files)});
}

ConfigFilesOverride::~ConfigFilesOverride()
{
    std::lock_guard lock(g_sourcesMutex);
    g_sourcesOverride = std::move(m_previous);
}

}
