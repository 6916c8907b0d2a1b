// The thin layer under doctor on Windows: the facts from the system (the port's open, SetupAPI's
// devices and their problem codes, the OPOS keys and the service objects' classes in the
// registry's two views) and the command that prints the findings.
#include "scales-tool/DoctorWindows.h"

#include "opos/DeviceRegistry.h"
#include "opos/ScaleDevice.h"
#include "opos/Utf8.h"
#include "opos/config/ScalesConfig.h"
#include "opos/serial/SerialPorts.h"

#include <cctype>
#include <iterator>

#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>

namespace doctor::windows {

namespace {
std::wstring wide(const std::string& text)
{
    const std::u16string utf16 = opos::Utf16FromUtf8(text);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string utf8(const wchar_t* text) { return opos::Utf8FromUtf16(std::u16string(reinterpret_cast<const char16_t*>(text))); }

std::string property(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD which)
{
    wchar_t text[256] = {};
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, which, nullptr, reinterpret_cast<BYTE*>(text), sizeof text - sizeof text[0], nullptr))
        return {};
    return utf8(text);
}

std::string portName(HDEVINFO set, SP_DEVINFO_DATA& device)
{
    const HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    wchar_t name[64] = {};
    DWORD type = 0, size = sizeof name - sizeof name[0];
    const LONG read = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_SZ ? utf8(name) : std::string();
}

// Every present device with a problem code, and the device whose port is `port`.
void gatherDevices(PortFacts& facts)
{
    const HDEVINFO set = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        ULONG status = 0, problem = 0;
        if (CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) != CR_SUCCESS)
            problem = 0;
        else if (!(status & DN_HAS_PROBLEM))
            problem = 0;
        const bool isPort = _stricmp(portName(set, device).c_str(), facts.port.c_str()) == 0;
        if (problem == 0 && !isPort)
            continue;
        wchar_t id[512] = {};
        SetupDiGetDeviceInstanceIdW(set, &device, id, DWORD(std::size(id) - 1), nullptr);
        std::string name = property(set, device, SPDRP_FRIENDLYNAME);
        if (name.empty())
            name = property(set, device, SPDRP_DEVICEDESC);
        const DeviceFacts facts1{name, utf8(id), problem};
        if (isPort)
            facts.device = facts1;
        else
            facts.troubled.push_back(facts1);
    }
    SetupDiDestroyDeviceInfoList(set);
}

// "COM3" from "COM3" or "\\.\COM3".
std::string comName(std::string path)
{
    if (path.starts_with("\\\\.\\"))
        path.erase(0, 4);
    for (char& c : path)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return path;
}

PortFacts gatherPort(const std::string& path, const std::string& name)
{
    PortFacts facts;
    facts.name = name, facts.port = comName(path);
    const HANDLE port = CreateFileW(wide("\\\\.\\" + facts.port).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const DWORD error = GetLastError();
    if (port != INVALID_HANDLE_VALUE)
        CloseHandle(port);
    else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        facts.open = PortOpen::Missing;
    else if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
        facts.open = PortOpen::InUse;
    else
        facts.open = PortOpen::Failed, facts.error = error;
    for (const opos::serial::SerialPort& present : opos::serial::ListSerialPorts())
        facts.present.push_back(present.path);
    gatherDevices(facts);
    return facts;
}

bool keyExists(HKEY root, const std::wstring& path, REGSAM view)
{
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::wstring defaultValue(HKEY root, const std::wstring& path, REGSAM view)
{
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return {};
    wchar_t text[512] = {};
    DWORD size = sizeof text - sizeof text[0];
    const LSTATUS read = RegGetValueW(key, nullptr, nullptr, RRF_RT_REG_SZ, nullptr, text, &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS ? text : std::wstring();
}

// The ProgID's class has a DLL registered in this view.
bool registered(const std::wstring& progId, REGSAM view)
{
    const std::wstring clsid = defaultValue(HKEY_CLASSES_ROOT, progId + L"\\CLSID", view);
    return !clsid.empty() && !defaultValue(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid + L"\\InprocServer32", view).empty();
}

// The control is 32-bit: it reads the 32-bit view (WOW6432Node on 64-bit Windows).
OposFacts gatherOpos(const std::string& name)
{
    OposFacts facts;
    facts.name = name;
    const std::wstring path = L"SOFTWARE\\OLEforRetail\\ServiceOPOS\\Scale\\" + wide(name);
    facts.inControlView = keyExists(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY);
    facts.inOtherView = keyExists(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY);
    HKEY key;
    if (facts.inControlView && RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &key) == ERROR_SUCCESS) {
        facts.ours = RegQueryValueExW(key, L"driver", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    const std::wstring progId = defaultValue(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY);
    facts.serviceObject = opos::Utf8FromUtf16(std::u16string(progId.begin(), progId.end()));
    facts.registered = !progId.empty() && registered(progId, KEY_WOW64_32KEY);
    facts.registeredOtherView = !progId.empty() && registered(progId, KEY_WOW64_64KEY);
    return facts;
}

bool report(const std::string& heading, const std::vector<Finding>& findings, TextSink& out)
{
    out << heading << "\n";
    bool ok = true;
    for (const Finding& finding : findings) {
        out << (finding.problem ? "  PROBLEM: " : "  ") << finding.text << "\n";
        if (!finding.fix.empty())
            out << "    fix: " << finding.fix << "\n";
        ok = ok && !finding.problem;
    }
    return ok;
}

bool reportPort(const std::string& path, const std::string& name, TextSink& out)
{
    return report((name.empty() ? "" : name + ": ") + comName(path) + " (serial port)", DiagnosePort(gatherPort(path, name)), out);
}

bool isPort(const std::string& arg)
{
    const std::string name = comName(arg);
    return name.size() > 3 && name.starts_with("COM") && name.find_first_not_of("0123456789", 3) == std::string::npos;
}
}

}

int RunDoctorCommand(const std::vector<std::string>& args, TextSink& out, TextSink& err)
{
    using namespace doctor::windows;
    if (args.size() > 1)
        return -1;
    if (!args.empty() && isPort(args[0]))
        return reportPort(args[0], "", out) ? 0 : 1;
    opos::ScalesConfig config;
    try {
        config = opos::LoadScalesConfig(opos::ConfigFiles());
    } catch (const opos::DeviceError& error) {
        err << "tarabo-scales: " << error.what() << "\n";
        return 1;
    }
    if (!args.empty() && !config.count(args[0])) {
        if (args[0] == opos::Utf8FromUtf16(opos::kDefaultScaleName)) {
            out << args[0] << ": the built-in simulated scale opens no device\n";
            return 0;
        }
        // Not one of ours: what the OPOS registry says of it, for the scale maker's control.
        return report(args[0] + " (OPOS registry)", DiagnoseOpos(gatherOpos(args[0])), out) ? 0 : 1;
    }
    bool ok = true;
    int checked = 0;
    for (const auto& [name, section] : config) {
        if (!args.empty() && name != args[0])
            continue;
        ++checked;
        const std::string driver = section.Text("driver", "");
        if (driver == "serial" && section.Has("device"))
            ok = reportPort(section.Text("device", ""), name, out) && ok;
        else
            out << name << ": driver " << driver << (driver == "hid" ? ": HID scales need no driver of their own on Windows; tarabo-scales list shows those present\n" : " opens no COM port\n");
    }
    if (checked == 0)
        out << "No logical names are configured; give a name set up in the OPOS registry, or a port: tarabo-scales doctor COM3\n";
    return ok ? 0 : 1;
}
