// TaraboScale.dll: the scale control as an in-process COM server of its own, under the scale
// control's class id, so that any container (Tarabo.exe among them) creates it as it creates the
// scale's own control. It drives what a logical name is configured to, the simulated K350
// otherwise. Registering it replaces whatever control is registered under that class id;
// unregistering removes what registering wrote and nothing else.
#include "framework/win32/AfxControlObject.h"
#include "opos/OposScaleControl.h"

#include <olectl.h>

#include <optional>
#include <string>

namespace {

constexpr wchar_t kControlName[] = L"Tarabo scale control";

std::wstring Widen(const char* ascii) { return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii)); }

CLSID ScaleClsid()
{
    CLSID clsid{};
    CLSIDFromString(Widen(opos::kScaleControlClsid).c_str(), &clsid);
    return clsid;
}

const std::wstring& ClassKey()
{
    static const std::wstring s_key = L"CLSID\\" + Widen(opos::kScaleControlClsid);
    return s_key;
}

const std::wstring& ServerKey()
{
    static const std::wstring s_key = ClassKey() + L"\\InprocServer32";
    return s_key;
}

// The full path of this DLL, as the registry names the server.
std::wstring ModulePath()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&ModulePath), &module))
        return {};
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
            return path.resize(length), path;
        path.resize(path.size() * 2);
    }
}

bool SetString(const std::wstring& key, const wchar_t* name, const std::wstring& value)
{
    const DWORD bytes = DWORD((value.size() + 1) * sizeof(wchar_t));
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(), bytes) == ERROR_SUCCESS;
}

// The string value, or nothing when the key or the value is missing or not a string.
std::optional<std::wstring> GetString(const std::wstring& key, const wchar_t* name)
{
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring value(bytes / sizeof(wchar_t), L'\0');
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value.data(), &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}

// A deletion that failed for another reason than the value or key being gone already.
bool Deleted(LSTATUS status) { return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND; }

// A key goes only once nothing but what we wrote was in it.
bool DeleteKeyIfEmpty(const std::wstring& key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return true;
    DWORD subkeys = 0, values = 0;
    const bool empty = RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                        nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                       subkeys == 0 && values == 0;
    RegCloseKey(handle);
    return !empty || Deleted(RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str()));
}

}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, ScaleClsid()))
        return CLASS_E_CLASSNOTAVAILABLE;
    return AfxGetControlClassObject(rclsid, [] { return AfxCreateControlInstance(opos::kScaleControlClsid); }, riid,
                                    ppv);
}

STDAPI DllCanUnloadNow() { return AfxControlServerInUse() ? S_FALSE : S_OK; }

STDAPI DllRegisterServer()
{
    const std::wstring path = ModulePath();
    if (path.empty() || !SetString(ClassKey(), nullptr, kControlName) ||
        !SetString(ServerKey(), nullptr, path) ||
        !SetString(ServerKey(), L"ThreadingModel", L"Apartment"))
        return SELFREG_E_CLASS;
    return S_OK;
}

// Only a registration that names this very file is ours: one that another control wrote over it
// stays as it is. A deletion the registry refuses (no administrator) fails the call, so that
// regsvr32 /u does not report a registration left in place as removed.
STDAPI DllUnregisterServer()
{
    const std::optional<std::wstring> server = GetString(ServerKey(), nullptr);
    const std::wstring path = ModulePath();
    if (!server || path.empty() || CompareStringOrdinal(server->c_str(), -1, path.c_str(), -1, TRUE) != CSTR_EQUAL)
        return S_OK;
    bool removed = Deleted(RegDeleteKeyValueW(HKEY_CLASSES_ROOT, ServerKey().c_str(), nullptr));
    if (GetString(ServerKey(), L"ThreadingModel") == L"Apartment")
        removed = Deleted(RegDeleteKeyValueW(HKEY_CLASSES_ROOT, ServerKey().c_str(), L"ThreadingModel")) && removed;
    removed = DeleteKeyIfEmpty(ServerKey()) && removed;
    if (GetString(ClassKey(), nullptr) == kControlName)
        removed = Deleted(RegDeleteKeyValueW(HKEY_CLASSES_ROOT, ClassKey().c_str(), nullptr)) && removed;
    removed = DeleteKeyIfEmpty(ClassKey()) && removed;
    return removed ? S_OK : SELFREG_E_CLASS;
}
