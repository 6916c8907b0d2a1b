// For the Windows test programs: a file of the build tree, found from the test program's own
// place in it, and regsvr32 run on the tree's TaraboScale.dll (TARABO_SCALE_DLL, relative).
#pragma once

#include <windows.h>

#include <string>

namespace wintest {

inline std::wstring BuildFile(const wchar_t* relative)
{
    wchar_t path[MAX_PATH];
    std::wstring exe(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    const std::wstring joined = exe.substr(0, exe.rfind(L'\\') + 1) + relative;
    return std::wstring(path, GetFullPathNameW(joined.c_str(), MAX_PATH, path, nullptr));
}

// regsvr32's exit code: 0 once the DLL's entry point succeeded.
inline DWORD Regsvr32(const std::wstring& options)
{
    std::wstring command = L"regsvr32.exe /s " + options + L" \"" + BuildFile(TARABO_SCALE_DLL) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return GetLastError();
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

}
