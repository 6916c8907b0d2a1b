// Plain Win32 calls, none of Tarabo's: a thread opens a COM port for overlapped I/O, leaves a read
// of one byte pending and ends; the main thread then cancels that read, asks the scale on the port
// for its weight and reads again with the same OVERLAPPED. Built for 32 bits and run under 32-bit
// Wine on qemu-i386 (README, "test-windows32"), the program dies on that read ("qemu: uncaught
// target signal 11"); without the cancel ("nocancel"), or built for 64 bits under 64-bit Wine,
// it reads the answer and ends normally.
//   i686-w64-mingw32-g++ -O1 -static -o read-of-an-ended-thread.exe tools/ReadOfAnEndedThread.cpp
//   wine read-of-an-ended-thread.exe [nocancel]     (the fake scales on COM9)
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {
HANDLE g_file = INVALID_HANDLE_VALUE;
OVERLAPPED g_read{};
char g_byte;

void Say(const char* what, unsigned long a = 0, unsigned long b = 0)
{
    std::printf("%s %lu %lu\n", what, a, b);
    std::fflush(stdout);
}

DWORD WINAPI Opener(LPVOID)
{
    g_file = ::CreateFileA("\\\\.\\COM9", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                           nullptr);
    if (g_file == INVALID_HANDLE_VALUE)
        return 1;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = MAXDWORD - 1;
    ::SetCommTimeouts(g_file, &timeouts);
    g_read.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const BOOL done = ::ReadFile(g_file, &g_byte, 1, nullptr, &g_read);
    Say("thread: read pending", !done && ::GetLastError() == ERROR_IO_PENDING);
    return 0;
}
}

int main(int argc, char** argv)
{
    const bool cancel = !(argc > 1 && std::strcmp(argv[1], "nocancel") == 0);
    const HANDLE thread = ::CreateThread(nullptr, 0, Opener, nullptr, 0, nullptr);
    if (!thread || ::WaitForSingleObject(thread, 20000) != WAIT_OBJECT_0 || g_file == INVALID_HANDLE_VALUE)
        return Say("no thread or no COM9"), 2;
    ::CloseHandle(thread);
    ::Sleep(3000); // the thread has ended for good
    if (cancel)
        Say("cancel", ::CancelIoEx(g_file, &g_read));
    DWORD n = 0;
    const BOOL ended = ::GetOverlappedResult(g_file, &g_read, &n, FALSE);
    Say("first read: ended, error", ended, ended ? 0 : ::GetLastError());
    OVERLAPPED write{};
    write.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    BOOL written = ::WriteFile(g_file, "W", 1, nullptr, &write);
    if (!written && ::GetLastError() == ERROR_IO_PENDING)
        written = ::GetOverlappedResult(g_file, &write, &n, TRUE);
    Say("asked for the weight", written, n);
    ::ResetEvent(g_read.hEvent);
    const BOOL read = ::ReadFile(g_file, &g_byte, 1, nullptr, &g_read);
    Say("second read: done, error", read, read ? 0 : ::GetLastError());
    Say("second read: wait, byte", ::WaitForSingleObject(g_read.hEvent, 3000), static_cast<unsigned char>(g_byte));
    ::CloseHandle(g_file);
    Say("end");
    return 0;
}
