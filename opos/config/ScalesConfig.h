// The scales configuration: INI sections that map logical names to devices, read from
// /etc/tarabo/scales.conf and then $XDG_CONFIG_HOME/tarabo/scales.conf (~/.config when unset); on
// Windows from the registry's OPOS keys, then %ProgramData%\Tarabo\scales.conf and
// %APPDATA%\Tarabo\scales.conf. A later section replaces an earlier one's whole. Errors are
// DeviceErrors with OPOS_E_NOEXIST whose text names the file, line and key (or registry key and value).
#pragma once

#include "opos/ScaleDevice.h"

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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
    std::string file; // or, for a section from the registry, its key
    int line = 0;     // of the section header; 0 for a registry key, which has no lines
    std::map<std::string, ConfigValue> values;

    bool Has(const std::string& key) const { return values.count(key) != 0; }
    std::string Text(const std::string& key, const std::string& fallback) const;
    LONG Number(const std::string& key, LONG fallback, LONG min, LONG max) const;
    bool Flag(const std::string& key, bool fallback) const;
    // The key's path (UTF-8, as the file gives it): a relative one is taken from the file's folder;
    // the registry has no folder, so there it must be absolute.
    std::string Path(const std::string& key) const;
    // The error for a key's value ("file line N, key \"k\": why"); a key not given names the section.
    [[noreturn]] void Fail(const std::string& key, const std::string& why) const;
};

using ScalesConfig = std::map<std::string, DeviceSection>;

// Parses one file's text; `file` names it in errors.
ScalesConfig ParseScalesConfig(std::string_view text, const std::string& file);

// A subkey of kScaleRegistryKey as the registry gives it: the logical name and the values, by
// name; a value that is neither a string nor a number stands as nullopt.
struct RegistryKey
{
    std::string name;
    std::vector<std::pair<std::string, std::optional<std::string>>> values;
};
inline constexpr char kScaleRegistryKey[] = "HKLM\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\Scale";

// The sections of the keys that hold a `driver` value; the others are other service objects'.
ScalesConfig SectionsFromRegistry(const std::vector<RegistryKey>& keys);

struct ConfigSources
{
    std::vector<RegistryKey> registry;
    std::vector<std::string> files;
};

// The files read, in order, from the environment; and the registry's keys (none off Windows).
std::vector<std::string> DefaultConfigFiles();
std::vector<RegistryKey> ReadScaleRegistry();
// The registry's sections, then each file's in order (a missing file is skipped, an unreadable
// one is an error), a later section replacing an earlier one whole.
ScalesConfig LoadScalesConfig(const ConfigSources& sources);
ScalesConfig LoadScalesConfig(const std::vector<std::string>& files);
// Reads a whole file; false when it does not exist, a DeviceError when it cannot be read.
bool ReadConfigFile(const std::string& file, std::string& text);
// A decimal number as std::from_chars reads one ("2", "0.5", ".5", "1e1", "-3"), read here rather
// than by from_chars, whose floating-point parser would add tens of KiB to the control for the one
// setting that takes such a number (the replay's speed). Its first 19 digits count; one of up to 15
// digits with an exponent up to 22 (any that a person types) rounds once to the nearest double, as
// there, and a longer one may be a bit off.
bool ReadDecimal(const std::string& text, double& value);
// A file that a section names (a scenario, a capture), opened as std::fopen(path, "rb") opens it
// ("wb" to write one), its UTF-8 name made wide for the system on Windows: null, with errno set,
// when it cannot be.
std::FILE* OpenNamedFile(const std::string& path, bool write = false);
// The rest of an open file appended to `text`, the reading stopped once there are more than
// `limit` bytes (so that a longer file shows as one); errno's value when a read fails, else 0.
int ReadRest(std::FILE* file, std::size_t limit, std::string& text);

// What the service reads at Open: the registry and DefaultConfigFiles() unless an override is
// alive; ConfigFiles() are the files alone.
ConfigSources CurrentConfigSources();
std::vector<std::string> ConfigFiles();
ScalesConfig LoadConfiguredScales();
// Tests name their own files and registry keys; the machine's are not read meanwhile.
class ConfigFilesOverride
{
public:
    explicit ConfigFilesOverride(std::vector<std::string> files, std::vector<RegistryKey> registry = {});
    ~ConfigFilesOverride();
    ConfigFilesOverride(const ConfigFilesOverride&) = delete;
    ConfigFilesOverride& operator=(const ConfigFilesOverride&) = delete;

private:
    std::optional<ConfigSources> m_previous;
};

}
