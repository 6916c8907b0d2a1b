#include "opos/serial/SerialPorts.h"

#include "opos/DeviceLibrariesWin32.h"
#include "opos/Utf8.h"

#include <algorithm>
#include <cstdlib>

namespace opos::serial {

namespace {
// Ports that announce the COM port interface, and the Ports class, which holds the ones that do not.
const GUID kComPortInterface = {0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};
const GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

std::string utf8(const wchar_t* text)
{
    return Utf8FromUtf16(std::u16string(reinterpret_cast<const char16_t*>(text)));
}

bool isComName(const std::string& name)
{
    return name.size() > 3 && name.compare(0, 3, "COM") == 0 && name.find_first_not_of("0123456789", 3) == std::string::npos;
}

void add(std::vector<SerialPort>& ports, const std::string& name, const std::string& friendly)
{
    if (!isComName(name))
        return; // a printer port of the Ports class
    auto known = std::find_if(ports.begin(), ports.end(), [&](const SerialPort& p) { return p.path == name; });
    if (known == ports.end())
        ports.push_back({name, name, friendly});
    else if (known->friendly.empty())
        known->friendly = friendly;
}

void addDevices(std::vector<SerialPort>& ports, const GUID& guid, DWORD flags)
{
    const SetupApiFunctions* const setup = SetupApi();
    if (!setup)
        return; // the ports' own map still lists them
    const HDEVINFO set = setup->SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | flags);
    if (set == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; setup->SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        wchar_t name[64] = {};
        const HKEY key = setup->SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        DWORD type = 0, size = sizeof name - sizeof name[0];
        const LONG read = ::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
        ::RegCloseKey(key);
        if (read != ERROR_SUCCESS || type != REG_SZ)
            continue;
        wchar_t friendly[256] = {};
        if (!setup->SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, nullptr, reinterpret_cast<BYTE*>(friendly),
                                                 sizeof friendly - sizeof friendly[0], nullptr))
            friendly[0] = 0;
        add(ports, utf8(name), utf8(friendly));
    }
    setup->SetupDiDestroyDeviceInfoList(set);
}

// The serial ports' own map, which every port driver fills and Wine makes from its dosdevices.
void addDeviceMap(std::vector<SerialPort>& ports)
{
    HKEY key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t value[256], data[64] = {};
        DWORD valueSize = 256, type = 0, dataSize = sizeof data - sizeof data[0];
        const LONG read = ::RegEnumValueW(key, i, value, &valueSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
        if (read == ERROR_NO_MORE_ITEMS)
            break;
        if (read == ERROR_SUCCESS && type == REG_SZ)
            add(ports, utf8(data), "");
    }
    ::RegCloseKey(key);
}
}

std::vector<SerialPort> ListSerialPorts(const std::string&, const std::string&)
{
    std::vector<SerialPort> ports;
    addDevices(ports, kComPortInterface, DIGCF_DEVICEINTERFACE);
    addDevices(ports, kPortsClass, 0);
    addDeviceMap(ports);
    std::sort(ports.begin(), ports.end(), [](const SerialPort& a, const SerialPort& b) {
        return std::atoi(a.path.c_str() + 3) < std::atoi(b.path.c_str() + 3);
    });
    return ports;
}

std::string StableSerialPath(const std::string& path, const std::string&) { return path; }

}
