// The child's standard input and output are two anonymous pipes. Anonymous pipes cannot be waited
// on with a time-out, so a thread reads the child's output as it comes.
#include "ChildProcess.h"

#define NOMINMAX
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct ChildProcess::Impl
{
    PROCESS_INFORMATION process{};
    HANDLE toChild = nullptr;
    HANDLE fromChild = nullptr;
    std::thread reader;
    std::mutex mutex;
    std::condition_variable arrived;
    std::string output; // read and not yet taken by ReadLine
    bool ended = false;

    void Read()
    {
        char buffer[256];
        DWORD n = 0;
        while (::ReadFile(fromChild, buffer, sizeof buffer, &n, nullptr) && n > 0) {
            std::lock_guard lock(mutex);
            output.append(buffer, n);
            arrived.notify_all();
        }
        std::lock_guard lock(mutex);
        ended = true;
        arrived.notify_all();
    }
};

namespace {

// Quotes an argument so that the child's command-line parser gives it back unchanged.
std::string Quoted(const std::string& arg)
{
    std::string q = "\"";
    int backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        q.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        q += c;
    }
    q.append(2 * backslashes, '\\');
    return q + '"';
}

}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) : m(new Impl)
{
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childIn = nullptr, childOut = nullptr;
    if (!::CreatePipe(&childIn, &m->toChild, &inheritable, 0) || !::CreatePipe(&m->fromChild, &childOut, &inheritable, 0))
        return;
    ::SetHandleInformation(m->toChild, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(m->fromChild, HANDLE_FLAG_INHERIT, 0);

    std::string commandLine = Quoted(program);
    for (const auto& a : args)
        commandLine += ' ' + Quoted(a);
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
    m->reader = std::thread([impl = m.get()] { impl->Read(); });
}

ChildProcess::~ChildProcess()
{
    Kill();
    if (m->toChild)
        ::CloseHandle(m->toChild);
    if (m->reader.joinable())
        m->reader.join();
    if (m->fromChild)
        ::CloseHandle(m->fromChild);
}

void ChildProcess::Send(const std::string& line)
{
    const std::string text = line + '\n';
    DWORD written = 0;
    ::WriteFile(m->toChild, text.data(), DWORD(text.size()), &written, nullptr);
}

std::string ChildProcess::ReadLine()
{
    std::unique_lock lock(m->mutex);
    m->arrived.wait_for(lock, std::chrono::seconds(5), [this] { return m->ended || m->output.find('\n') != std::string::npos; });
    const auto end = m->output.find('\n');
    if (end == std::string::npos)
        return {};
    std::string line = m->output.substr(0, end);
    m->output.erase(0, end + 1);
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
