// Opens Wine's desktop and keeps it open until its input ends. Without a program on it, Wine
// closes the desktop after a few seconds, and each test that shows a window would wait for it to
// open again; and a desktop opened by a test inherits that test's output streams.
#include <windows.h>

int main()
{
    GetDesktopWindow();
    char buffer[64];
    DWORD n = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &n, nullptr) && n > 0) {
    }
    return 0;
}
