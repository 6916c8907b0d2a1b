// Where the configuration is on Linux: two files, and no registry.
#include "opos/config/ScalesConfig.h"

#include "opos/ResultCodes.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace opos {

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

std::vector<RegistryKey> ReadScaleRegistry() { return {}; }

std::FILE* OpenNamedFile(const std::string& path, bool write) { return std::fopen(path.c_str(), write ? "wbe" : "rbe"); }

bool ReadConfigFile(const std::string& file, std::string& text)
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

}
