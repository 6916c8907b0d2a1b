#include "opos/serial/SerialPorts.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace opos::serial {

namespace {
std::string resolved(const fs::path& path)
{
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    return error ? path.string() : target.string();
}

std::vector<SerialPort> byIdLinks(const std::string& devRoot)
{
    std::vector<SerialPort> ports;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(devRoot) / "serial/by-id", error))
        ports.push_back({entry.path().string(), resolved(entry.path()), {}});
    std::sort(ports.begin(), ports.end(), [](const SerialPort& a, const SerialPort& b) { return a.path < b.path; });
    return ports;
}
}

std::vector<SerialPort> ListSerialPorts(const std::string& devRoot, const std::string& sysRoot)
{
    std::vector<SerialPort> ports = byIdLinks(devRoot);
    std::vector<std::string> others;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(sysRoot, error)) {
        const fs::path device = entry.path() / "device";
        if (!fs::exists(device / "subsystem") || fs::canonical(device / "subsystem", error).filename() == "platform")
            continue;
        const std::string tty = (fs::path(devRoot) / entry.path().filename()).string();
        if (std::none_of(ports.begin(), ports.end(), [&](const SerialPort& p) { return p.tty == resolved(tty); }))
            others.push_back(tty);
    }
    std::sort(others.begin(), others.end());
    for (const std::string& tty : others)
        ports.push_back({tty, tty, {}});
    return ports;
}

std::string StableSerialPath(const std::string& path, const std::string& devRoot)
{
    const std::string target = resolved(path);
    for (const SerialPort& port : byIdLinks(devRoot))
        if (port.tty == target)
            return port.path;
    return path;
}

}
