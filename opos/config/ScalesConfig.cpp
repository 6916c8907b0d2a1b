#include "ScalesConfig.h"

#include "ResultCodes.h"

#include <ini.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace opos {

namespace {
// inih reads through this so that every handler call knows its line, and so a line too long
// for inih's buffer is one error rather than a stray second line.
struct ParseState
{
    std::string_view rest;
    std::string file;
    int line = 0;
    ScalesConfig sections;
    std::string section; // the one being read
    std::string error;   // the first one
    int errorLine = 0;

    void Error(int atLine, const std::string& why)
    {
        if (error.empty() || atLine < errorLine) {
            error = why;
            errorLine = atLine;
        }
    }
    void Header(std::string_view text);
};

std::string_view trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

void ParseState::Header(std::string_view text)
{
    const std::string_view line = trimmed(text);
    const auto close = line.find(']');
    if (line.empty() || line[0] != '[' || close == std::string_view::npos)
        return; // not a header; inih reports malformed ones
    const std::string name(line.substr(1, close - 1)); // exactly as inih takes it
    section = name;
    if (name.empty() || name.size() >= 50)
        return Error(this->line, "a section needs a logical name of 1 to 49 characters between the brackets");
    if (const auto it = sections.find(name); it != sections.end())
        return Error(this->line, "section [" + name + "] appears twice (first on line " + std::to_string(it->second.line) + ")");
    sections[name] = DeviceSection{name, file, this->line, {}};
}

char* readLine(char* buffer, int size, void* stream)
{
    auto& state = *static_cast<ParseState*>(stream);
    if (state.rest.empty())
        return nullptr;
    const auto end = state.rest.find('\n');
    const std::string_view line = state.rest.substr(0, end == std::string_view::npos ? state.rest.size() : end + 1);
    state.rest.remove_prefix(line.size());
    ++state.line;
    if (line.size() >= std::size_t(size) || line.find('\0') != std::string_view::npos) {
        state.Error(state.line, line.size() >= std::size_t(size) ? "the line is longer than " + std::to_string(size - 2) + " characters"
                                                                   : "the line holds a NUL character");
        buffer[0] = '\0'; // seen by inih as a blank line
        return buffer;
    }
    std::memcpy(buffer, line.data(), line.size());
    buffer[line.size()] = '\0';
    state.Header(line);
    return buffer;
}

int onValue(void* user, const char* section, const char* name, const char* value)
{
    auto& state = *static_cast<ParseState*>(user);
    if (!*section || state.sections.count(section) == 0) {
        state.Error(state.line, "key \"" + std::string(name) + "\" comes before any [section]");
        return 1;
    }
    std::string key(name);
    for (char& c : key)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    DeviceSection& target = state.sections[section];
    if (const auto it = target.values.find(key); it != target.values.end()) {
        state.Error(state.line, "key \"" + key + "\" is given twice in [" + target.name + "] (first on line " +
                                    std::to_string(it->second.line) + ")");
        return 1;
    }
    target.values[key] = ConfigValue{value, state.line};
    return 1;
}

[[noreturn]] void fail(const std::string& file, int line, const std::string& why)
{
    throw DeviceError(OPOS_E_NOEXIST, file + " line " + std::to_string(line) + ": " + why);
}

// False when the file does not exist; a file that exists but cannot be read is an error.
bool readFile(const std::string& file, std::string& text)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR))
        return false;
    struct stat info{};
    const int error = fd < 0 ? errno : ::fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
    char buffer[4096];
    ssize_t got = 0;
    while (!error && (got = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, std::size_t(got));
    const int readError = error ? error : got < 0 ? errno : 0;
    if (fd >= 0)
        ::close(fd);
    if (readError)
        throw DeviceError(OPOS_E_NOEXIST, "cannot read " + file + ": " + std::strerror(readError));
    return true;
}

std::optional<std::vector<std::string>> g_filesOverride;
std::mutex g_filesMutex;
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

void DeviceSection::Fail(const std::string& key, const std::string& why) const
{
    const auto it = values.find(key);
    if (it == values.end())
        fail(file, line, "[" + name + "]: " + why);
    fail(file, it->second.line, "key \"" + key + "\": " + why);
}

ScalesConfig ParseScalesConfig(std::string_view text, const std::string& file)
{
    ParseState state;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    state.rest = text;
    state.file = file;
    const int syntaxLine = ini_parse_stream(readLine, &state, onValue, &state);
    if (syntaxLine > 0)
        state.Error(syntaxLine, "expected [name], key = value, or a comment");
    if (!state.error.empty())
        fail(file, state.errorLine, state.error);
    return std::move(state.sections);
}

std::vector<std::string> DefaultConfigFiles()
{
    std::vector<std::string> files{"/etc/tarabo/scales.conf"};
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (xdg && *xdg == '/')
        files.push_back(std::string(xdg) + "/tarabo/scales.conf");
    else if (home && *home)
        files.push_back(std::string(home) + "/.config/tarabo/scales.conf");
    return files;
}

ScalesConfig LoadScalesConfig(const std::vector<std::string>& files)
{
    ScalesConfig merged;
    for (const std::string& file : files) {
        std::string text;
        if (!readFile(file, text))
            continue;
        for (auto& [name, section] : ParseScalesConfig(text, file))
            merged[name] = std::move(section);
    }
    return merged;
}

std::vector<std::string> ConfigFiles()
{
    std::lock_guard lock(g_filesMutex);
    return g_filesOverride ? *g_filesOverride : DefaultConfigFiles();
}

ConfigFilesOverride::ConfigFilesOverride(std::vector<std::string> files)
{
    std::lock_guard lock(g_filesMutex);
    m_previous = std::exchange(g_filesOverride, std::move(files));
}

ConfigFilesOverride::~ConfigFilesOverride()
{
    std::lock_guard lock(g_filesMutex);
    g_filesOverride = std::move(m_previous);
}

}
