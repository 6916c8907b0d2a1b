// For the Windows test programs: a file of the build tree, found from the test program's own
// place in it, programs started and waited for, and regsvr32 run on the tree's TaraboScale.dll
// (TARABO_SCALE_DLL, relative).
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

namespace wintest {

using namespace std::chrono_literals;

inline std::wstring BuildFile(const wchar_t* relative)
{
    wchar_t path[MAX_PATH];
    std::wstring exe(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    const std::wstring joined = exe.substr(0, exe.rfind(L'\\') + 1) + relative;
    return std::wstring(path, GetFullPathNameW(joined.c_str(), MAX_PATH, path, nullptr));
}

inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        Sleep(20);
    }
    return true;
}

// A program started as Explorer starts it: its own folder as the working folder. Killed if it
// still runs when the test is done with it.
class Program
{
public:
    explicit Program(const std::wstring& path, const std::wstring& arguments = L"")
    {
        std::wstring command = L"\"" + path + L"\" " + arguments;
        const std::wstring folder = path.substr(0, path.rfind(L'\\'));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder == path ? nullptr : folder.c_str(), &startup, &m_process);
    }
    ~Program()
    {
        Kill();
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Ended(std::chrono::milliseconds timeout) const
    {
        return m_process.hProcess && WaitForSingleObject(m_process.hProcess, DWORD(timeout.count())) == WAIT_OBJECT_0;
    }
    DWORD ExitCode() const
    {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(m_process.hProcess, &code);
        return code;
    }
    void Kill()
    {
        if (m_process.hProcess && !Ended(0ms)) {
            TerminateProcess(m_process.hProcess, 9);
            Ended(10s);
        }
    }

    // The program's visible top-level window with this caption, or null.
    HWND Window(const wchar_t* caption) const
    {
        for (HWND w = FindWindowExW(nullptr, nullptr, nullptr, caption); w; w = FindWindowExW(nullptr, w, nullptr, caption)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == m_process.dwProcessId && IsWindowVisible(w))
                return w;
        }
        return nullptr;
    }
    HWND WaitForWindow(const wchar_t* caption) const
    {
        HWND found = nullptr;
        WaitUntil([&] { return (found = Window(caption)) || Ended(0ms); }, 20s);
        return found;
    }

private:
    PROCESS_INFORMATION m_process{};
};

// regsvr32's exit code: 0 once the DLL's entry point succeeded.
inline DWORD Regsvr32(const std::wstring& options)
{
    Program regsvr32(L"regsvr32.exe", L"/s " + options + L" \"" + BuildFile(TARABO_SCALE_DLL) + L"\"");
    return regsvr32.Ended(60s) ? regsvr32.ExitCode() : STILL_ACTIVE;
}

// The scale control's class key, there while a control of its class id is registered.
inline const std::wstring kControlClassKey = L"CLSID\\{83029FA3-4740-11CF-88F3-02608CA3BE43}";

inline bool KeyExists(const std::wstring& key)
{
    HKEY handle;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

}
