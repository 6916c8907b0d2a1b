// Where the configuration is on Windows: the OPOS registry keys, then the machine's and the
// user's files. Names are UTF-8 here and wide for the system.
#include "opos/config/ScalesConfig.h"
#include "opos/DeviceLibrariesWin32.h"

#include "opos/ResultCodes.h"
#include "opos/Utf8.h"

#ifndef NOMINMAX
#define NOMINMAX // std::min, not the macro
#endif
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>

namespace opos {

namespace {

std::wstring Wide(const std::string& utf8)
{
    const std::u16string text = Utf16FromUtf8(utf8);
    return std::wstring(text.begin(), text.end());
}

std::string Narrow(std::wstring_view wide) { return Utf8FromUtf16(std::u16string(wide.begin(), wide.end())); }

std::string SystemMessage(DWORD code)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::string message = length ? Narrow(std::wstring_view(text, length)) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.' || message.back() == ' '))
        message.pop_back();
    return message;
}

class Key
{
public:
    Key(HKEY parent, const std::wstring& path) : m_status(RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &m_key)) {}
    ~Key()
    {
        if (m_status == ERROR_SUCCESS)
            RegCloseKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    LSTATUS Status() const { return m_status; }
    HKEY Handle() const { return m_key; }

private:
    HKEY m_key = nullptr;
    LSTATUS m_status;
};

// A string (expanded, for REG_EXPAND_SZ) or a REG_DWORD as its decimal number; nothing otherwise.
std::optional<std::string> ValueText(HKEY key, const std::wstring& name, DWORD type)
{
    if (type == REG_DWORD) {
        DWORD number = 0, bytes = sizeof number;
        if (RegGetValueW(key, nullptr, name.c_str(), RRF_RT_REG_DWORD, nullptr, &number, &bytes) != ERROR_SUCCESS)
            return std::nullopt;
        return std::to_string(number);
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return std::nullopt;
    std::wstring text(64, L'\0');
    for (;;) {
        DWORD bytes = DWORD(text.size() * sizeof(wchar_t));
        const LSTATUS status = RegGetValueW(key, nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, text.data(), &bytes);
        if (status == ERROR_SUCCESS)
            break;
        if (status != ERROR_MORE_DATA)
            return std::nullopt;
        text.resize(bytes / sizeof(wchar_t) + 1);
    }
    text.resize(wcsnlen(text.c_str(), text.size()));
    return Narrow(text);
}

// A key that cannot be opened reads as empty, and so as no section of ours.
RegistryKey ReadKey(HKEY scales, const std::wstring& name)
{
    RegistryKey entry{Narrow(name), {}};
    const Key key(scales, name);
    if (key.Status() != ERROR_SUCCESS)
        return entry;
    std::wstring valueName(16384, L'\0'); // the longest a value's name can be
    for (DWORD i = 0;; ++i) {
        DWORD length = DWORD(valueName.size()), type = 0;
        const LSTATUS status = RegEnumValueW(key.Handle(), i, valueName.data(), &length, nullptr, &type, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS)
            continue;
        const std::wstring value(valueName.data(), length);
        entry.values.emplace_back(Narrow(value), ValueText(key.Handle(), value, type));
    }
    return entry;
}

// The two folders' ids, here rather than from libuuid, which would bring every id it has.
constexpr KNOWNFOLDERID kProgramData = {0x62AB5D82, 0xFDC1, 0x4DC3, {0xA9, 0xDD, 0x07, 0x0D, 0x1D, 0x49, 0x5D, 0x97}};
constexpr KNOWNFOLDERID kRoamingAppData = {0x3EB685DB, 0x65F9, 0x4CF6, {0xA0, 0x3A, 0xE3, 0xEF, 0x65, 0x72, 0x9F, 0x3D}};

// A known folder from the environment variable that Windows sets to it; shell32, which loading
// costs a process most of a MiB and some milliseconds, is asked only when the variable is missing.
std::string KnownFolder(const wchar_t* variable, const KNOWNFOLDERID& id)
{
    std::wstring value(MAX_PATH, L'\0');
    DWORD length = GetEnvironmentVariableW(variable, value.data(), DWORD(value.size()));
    if (length >= value.size()) {
        value.resize(length);
        length = GetEnvironmentVariableW(variable, value.data(), DWORD(value.size()));
    }
    if (length > 0 && length < value.size())
        return Narrow(std::wstring_view(value.data(), length));
    using GetKnownFolderPath = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
    const HMODULE shell = LoadSystemLibrary(L"shell32.dll");
    const auto get = shell ? reinterpret_cast<GetKnownFolderPath>(reinterpret_cast<void (*)()>(GetProcAddress(shell, "SHGetKnownFolderPath")))
                           : nullptr;
    PWSTR path = nullptr;
    std::string folder;
    if (get && SUCCEEDED(get(id, 0, nullptr, &path)))
        folder = Narrow(path);
    CoTaskMemFree(path);
    if (shell)
        FreeLibrary(shell);
    return folder;
}

}

std::vector<std::string> DefaultConfigFiles()
{
    std::vector<std::string> files;
    for (const auto& [variable, id] : {std::pair{L"ProgramData", kProgramData}, std::pair{L"APPDATA", kRoamingAppData}})
        if (const std::string folder = KnownFolder(variable, id); !folder.empty())
            files.push_back(folder + "\\Tarabo\\scales.conf");
    return files;
}

std::vector<RegistryKey> ReadScaleRegistry()
{
    const Key scales(HKEY_LOCAL_MACHINE, Wide(std::string(kScaleRegistryKey).substr(5)));
    if (scales.Status() == ERROR_FILE_NOT_FOUND)
        return {};
    if (scales.Status() != ERROR_SUCCESS)
        throw DeviceError(OPOS_E_NOEXIST, "cannot read " + std::string(kScaleRegistryKey) + ": " + SystemMessage(scales.Status()));
    std::vector<RegistryKey> keys;
    wchar_t name[256]; // the longest a key's name can be, with its end
    for (DWORD i = 0;; ++i) {
        DWORD length = std::size(name);
        const LSTATUS status = RegEnumKeyExW(scales.Handle(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_SUCCESS)
            keys.push_back(ReadKey(scales.Handle(), std::wstring(name, length)));
    }
    return keys;
}

std::FILE* OpenNamedFile(const std::string& path, bool write) { return _wfopen(Wide(path).c_str(), write ? L"wb" : L"rb"); }

bool ReadConfigFile(const std::string& file, std::string& text)
{
    // Backup semantics open a folder too, so that it is reported as one rather than as access denied.
    const HANDLE handle = CreateFileW(Wide(file).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return false;
        throw DeviceError(OPOS_E_NOEXIST, "cannot read " + file + ": " + SystemMessage(error));
    }
    BY_HANDLE_FILE_INFORMATION info{};
    std::string why;
    if (!GetFileInformationByHandle(handle, &info))
        why = SystemMessage(GetLastError());
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        why = "Is a directory";
    char buffer[4096];
    DWORD got = 0;
    while (why.empty()) {
        if (!ReadFile(handle, buffer, sizeof buffer, &got, nullptr))
            why = SystemMessage(GetLastError());
        else if (got == 0)
            break;
        else
            text.append(buffer, got);
    }
    CloseHandle(handle);
    if (!why.empty())
        throw DeviceError(OPOS_E_NOEXIST, "cannot read " + file + ": " + why);
    return true;
}

}
