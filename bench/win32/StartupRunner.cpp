// Start-up and peak memory under Wine: runs the console child and the floor child alternately,
// after one unmeasured run of each, and prints the medians as "name value" lines. A run is timed
// from just before CreateProcess to the child's "ready" line; its peak working set is the one the
// child reports with that line.
//   bench_win_startup [--runs N]
// The children are the programs beside the runner: bench_win_startup_console.exe and
// bench_win_startup_floor.exe.
#include "bench/win32/Measure.h"
#include "bench/StartupSeries.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kReadyTimeoutMs = 30000; // to the "ready" line
constexpr DWORD kExitTimeoutMs = 10000;  // from it to the child's end

double Now() { return bench::MicrosecondsNow() / 1000; } // milliseconds

// Reads the child's output up to its "ready" line, noting when the line came.
struct ReadyReader
{
    HANDLE pipe = nullptr;
    bool ready = false;
    double readyAt = 0;
    double peakKib = 0;

    static DWORD WINAPI Run(void* self) { static_cast<ReadyReader*>(self)->Read(); return 0; }

    void Read()
    {
        std::string seen;
        char buffer[256];
        DWORD n = 0;
        while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) {
            seen.append(buffer, n);
            const std::size_t at = seen.find("ready ");
            if (at != std::string::npos && seen.find('\n', at) != std::string::npos) {
                readyAt = Now();
                peakKib = std::atof(seen.c_str() + at + 6);
                ready = true;
                return;
            }
        }
    }
};

std::string Folder()
{
    char path[MAX_PATH] = "";
    GetModuleFileName(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

bench::StartupRun RunChild(const std::string& path)
{
    bench::StartupRun result;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        result.failure = "CreatePipe failed";
        return result;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFO startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + path + "\"";

    const double start = Now();
    const BOOL started = CreateProcess(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                       &startup, &process);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        result.failure = "cannot start " + path + " (error " + std::to_string(GetLastError()) + ")";
        return result;
    }
    ReadyReader reader;
    reader.pipe = readEnd;
    HANDLE thread = CreateThread(nullptr, 0, &ReadyReader::Run, &reader, 0, nullptr);
    // A child that never gets ready is ended, which ends the reader's wait too.
    const bool timedOut = WaitForSingleObject(thread, kReadyTimeoutMs) != WAIT_OBJECT_0;
    if (timedOut) {
        TerminateProcess(process.hProcess, 99);
        if (WaitForSingleObject(thread, 5000) != WAIT_OBJECT_0) // another process holds the pipe
            TerminateThread(thread, 1);
    }
    CloseHandle(thread);
    CloseHandle(readEnd);

    DWORD exitCode = 1;
    if (WaitForSingleObject(process.hProcess, kExitTimeoutMs) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 98);
    WaitForSingleObject(process.hProcess, 5000);
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    result.readyMs = reader.readyAt - start;
    result.peakKib = reader.peakKib;
    result.ok = reader.ready && exitCode == 0 && reader.peakKib > 0;
    if (timedOut)
        result.failure = path + ": no \"ready\" line within " + std::to_string(kReadyTimeoutMs / 1000) + " s; ended it";
    else if (!reader.ready)
        result.failure = path + ": ended without a \"ready\" line (exit code " + std::to_string(exitCode) + ")";
    else if (exitCode != 0)
        result.failure = path + ": did not end cleanly after \"ready\" (exit code " + std::to_string(exitCode) + ")";
    else if (!result.ok)
        result.failure = path + ": no peak working set with \"ready\"";
    return result;
}

}

int main(int argc, char** argv)
{
    int runs = 15;
    if (argc == 3 && std::strcmp(argv[1], "--runs") == 0) {
        runs = std::max(1, std::atoi(argv[2]));
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: bench_win_startup [--runs N]\n");
        return 2;
    }
    const std::string console = Folder() + "bench_win_startup_console.exe";
    const std::string floor = Folder() + "bench_win_startup_floor.exe";
    return bench::RunStartupSeries(console, floor, runs, "win_startup", "win_peak_ws", RunChild);
}
