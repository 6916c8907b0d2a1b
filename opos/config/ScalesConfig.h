// The scales configuration: INI sections that map logical names to devices, read from
// /etc/tarabo/scales.conf and then $XDG_CONFIG_HOME/tarabo/scales.conf (~/.config when unset),
// a later file's section replacing an earlier one's whole. Errors are DeviceErrors with
// OPOS_E_NOEXIST whose text names the file, line and key.
#pragma once

#include "ScaleDevice.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace opos {

struct ConfigValue
{
    std::string text;
    int line = 0;
};

// One logical name's section. The accessors raise a DeviceError naming file, line and key.
struct DeviceSection
{
    std::string name;
    std::string file;
    int line = 0; // of the section header
    std::map<std::string, ConfigValue> values;

    bool Has(const std::string& key) const { return values.count(key) != 0; }
    std::string Text(const std::string& key, const std::string& fallback) const;
    LONG Number(const std::string& key, LONG fallback, LONG min, LONG max) const;
    bool Flag(const std::string& key, bool fallback) const;
    // The error for a key's value ("file line N, key \"k\": why"); a key not given names the section.
    [[noreturn]] void Fail(const std::string& key, const std::string& why) const;
};

using ScalesConfig = std::map<std::string, DeviceSection>;

// Parses one file's text; `file` names it in errors.
ScalesConfig ParseScalesConfig(std::string_view text, const std::string& file);

// The files read, in order, from the environment.
std::vector<std::string> DefaultConfigFiles();
// Reads the files in order (a missing file is skipped, an unreadable one is an error).
ScalesConfig LoadScalesConfig(const std::vector<std::string>& files);

// The files the service reads at Open: DefaultConfigFiles() unless an override is alive.
std::vector<std::string> ConfigFiles();
class ConfigFilesOverride
{
public:
    explicit ConfigFilesOverride(std::vector<std::string> files);
    ~ConfigFilesOverride();
    ConfigFilesOverride(const ConfigFilesOverride&) = delete;
    ConfigFilesOverride& operator=(const ConfigFilesOverride&) = delete;

private:
    std::optional<std::vector<std::string>> m_previous;
};

}
