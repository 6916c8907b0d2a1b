// The child's standard input and output are two anonymous pipes; the child's end of each is
// closed here, so a child that ends gives an end of file rather than a wait.
#include "tests/opos/ChildProcess.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

struct ChildProcess::Impl
{
    PROCESS_INFORMATION process{};
    HANDLE toChild = nullptr;
    HANDLE fromChild = nullptr;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) : m(new Impl)
{
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childIn = nullptr, childOut = nullptr;
    if (!::CreatePipe(&childIn, &m->toChild, &inheritable, 0) || !::CreatePipe(&m->fromChild, &childOut, &inheritable, 0))
        return;
    ::SetHandleInformation(m->toChild, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(m->fromChild, HANDLE_FLAG_INHERIT, 0);
    // The arguments are logical names and numbers: quoting them is enough.
    std::string commandLine = '"' + program + '"';
    for (const auto& a : args)
        commandLine += " \"" + a + '"';
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = childOut;
    if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &m->process))
        m->process = {};
    ::CloseHandle(childIn);
    ::CloseHandle(childOut);
}

ChildProcess::~ChildProcess()
{
    Kill();
    for (HANDLE h : {m->toChild, m->fromChild})
        if (h)
            ::CloseHandle(h);
}

void ChildProcess::Send(const std::string& line)
{
    const std::string text = line + '\n';
    DWORD written = 0;
    ::WriteFile(m->toChild, text.data(), DWORD(text.size()), &written, nullptr);
}

std::string ChildProcess::ReadLine()
{
    std::string line;
    char c = 0;
    DWORD n = 0;
    while (::ReadFile(m->fromChild, &c, 1, &n, nullptr) && n == 1 && c != '\n')
        line += c;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

void ChildProcess::Kill()
{
    if (!m->process.hProcess)
        return;
    ::TerminateProcess(m->process.hProcess, 1);
    ::WaitForSingleObject(m->process.hProcess, INFINITE);
    ::CloseHandle(m->process.hThread);
    ::CloseHandle(m->process.hProcess);
    m->process = {};
}
