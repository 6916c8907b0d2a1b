// Tarabo.exe as a technician meets it: Tarabo's own scale control registered with regsvr32, the
// program started as a user starts it, and then driven from outside its process, with clicks and
// keys sent through the system's input queue and item texts read back through window messages.
#include "tests/support/BuildTreeWin32.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using wintest::BuildFile;
using wintest::Program;
using wintest::WaitUntil;
using wintest::Regsvr32;

constexpr int IDOK_EXIT = 1, IDC_DIRECT_IO = 2, IDC_OPEN_DEVICE = 4, IDC_CLOSE_DEVICE = 5;
constexpr int IDC_DIO_COMMAND = 1001, IDC_WEIGHT = 1002, IDC_LOOP = 1004, IDC_CAPACITY = 1008;
constexpr int IDC_DIO_RESULT = 1009, IDC_STATUS = 1010, IDC_RESULT_HEX = 1011, IDC_RESULT_NAME = 1012;
const wchar_t* const kDescription = L"Tarabo simulated K350 retail scale (no hardware)";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }


// An item's text as another program reads it, once the console's thread is free to answer (a read
// holds it for up to a second).
std::wstring Text(HWND dialog, int id)
{
    wchar_t text[256] = L"";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(GetDlgItem(dialog, id), WM_GETTEXT, 256, LPARAM(text), SMTO_NORMAL, 5000, &length))
        return L"<no answer>";
    return std::wstring(text, length);
}

// Input goes to whatever is under the pointer or has the focus when the program takes it, so
// each waits until the program is idle: it then meets the window where it is and as it is.
void WaitForIdle(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid)) {
        WaitForInputIdle(process, 5000);
        CloseHandle(process);
    }
}

// Each event carries the point: a click that relied on SetCursorPos could land where the pointer
// was before, should the display report the old position late.
void ClickAt(HWND window, POINT point)
{
    WaitForIdle(window);
    INPUT events[3]{};
    const DWORD buttons[3] = {0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
    for (int i = 0; i < 3; ++i) {
        events[i].type = INPUT_MOUSE;
        events[i].mi.dx = point.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
        events[i].mi.dy = point.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
        events[i].mi.dwFlags = buttons[i] | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    }
    SendInput(3, events, sizeof(INPUT));
}

void Click(HWND dialog, int id)
{
    RECT r;
    GetWindowRect(GetDlgItem(dialog, id), &r);
    const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    EXPECT_EQ(WindowFromPoint(centre), GetDlgItem(dialog, id)) << "item " << id << " is covered";
    ClickAt(dialog, centre);
}

// The caption's close box, found as the window itself answers where a point is.
void ClickCloseBox(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    const int y = r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    int x = r.right - 1;
    for (DWORD_PTR hit = 0; x > r.right - 100 && hit != HTCLOSE; --x)
        SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_NORMAL, 5000, &hit);
    ClickAt(window, {x - GetSystemMetrics(SM_CXSIZE) / 3, y});
}

// Keys, with Alt held when asked, to the window that has the focus.
void Keys(std::initializer_list<WORD> keys, bool alt = false)
{
    WaitForIdle(GetForegroundWindow());
    const auto event = [](WORD vk, DWORD flags) {
        INPUT e{};
        e.type = INPUT_KEYBOARD;
        e.ki = {vk, WORD(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)), flags, 0, 0};
        return e;
    };
    for (WORD vk : keys) {
        std::vector<INPUT> events{event(vk, 0), event(vk, KEYEVENTF_KEYUP)};
        if (alt) {
            events.insert(events.begin(), event(VK_MENU, 0));
            events.push_back(event(VK_MENU, KEYEVENTF_KEYUP));
        }
        SendInput(UINT(events.size()), events.data(), sizeof(INPUT));
    }
}

// Waits for an item to have the keyboard focus in the foreground window, so that keys reach it.
bool HasFocus(HWND item)
{
    return WaitUntil([&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(GetWindowThreadProcessId(item, nullptr), &info) && info.hwndFocus == item &&
               GetForegroundWindow() == GetAncestor(item, GA_ROOT);
    }, 5s);
}

// What the console shows of a reading: weight display, result name and hex.
struct Shown
{
    std::wstring weight, name, hex;
    auto operator<=>(const Shown&) const = default;
};

// Reads what a console shows every 100 ms on a thread of its own, while the test goes on.
class Watcher
{
public:
    explicit Watcher(HWND console) : m_console(console), m_thread([this] { Run(); }) {}
    ~Watcher()
    {
        m_stop = true;
        m_thread.join();
    }
    size_t Changes() const { return m_changes; }
    bool Saw(const wchar_t* weight, const wchar_t* name) const
    {
        std::lock_guard lock(m_mutex);
        return std::ranges::any_of(m_seen, [&](const Shown& s) { return (!weight || s.weight == weight) && s.name == name; });
    }
    std::string Report() const
    {
        std::lock_guard lock(m_mutex);
        std::string seen = "seen:";
        for (const Shown& s : m_seen)
            seen += " [" + Narrow(s.weight) + " " + Narrow(s.name) + " " + Narrow(s.hex) + "]";
        return seen;
    }

private:
    void Run()
    {
        for (Shown last; !m_stop; Sleep(100)) {
            Shown now{Text(m_console, IDC_WEIGHT), Text(m_console, IDC_RESULT_NAME), Text(m_console, IDC_RESULT_HEX)};
            std::lock_guard lock(m_mutex);
            m_seen.insert(now);
            m_changes += now != last;
            last = now;
        }
    }

    HWND m_console;
    mutable std::mutex m_mutex;
    std::set<Shown> m_seen;
    std::atomic<size_t> m_changes = 0;
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

// Every file and folder under a folder but the temporary ones. Wine links the user's shell folders
// to the home folder: what is in them is not the prefix's, so links are not followed.
void ListFiles(const std::wstring& folder, std::set<std::wstring>& files, bool recursive = true)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &data)) {
        const std::wstring name = data.cFileName, path = folder + L"\\" + name;
        if (name == L"." || name == L".." || lstrcmpiW(data.cFileName, L"temp") == 0)
            continue;
        files.insert(path);
        if (recursive && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            ListFiles(path, files);
    }
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
}

// Drive C: and the program's own folder.
std::set<std::wstring> Files()
{
    std::set<std::wstring> files;
    ListFiles(L"C:", files);
    const std::wstring program = BuildFile(TARABO_EXE);
    ListFiles(program.substr(0, program.rfind(L'\\')), files, false);
    return files;
}

int TaraboProcesses()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        count += lstrcmpiW(entry.szExeFile, L"Tarabo.exe") == 0;
    CloseHandle(snapshot);
    return count;
}


// Tarabo's own scale control registered for as long as this lives, as a technician would do it.
struct Registration
{
    Registration() : registered(Regsvr32(L"") == 0) {}
    ~Registration() { EXPECT_EQ(Regsvr32(L"/u"), 0u); }
    const bool registered;
};

// Each run leaves no process, no registration and no file behind.
class EndToEnd : public testing::Test
{
protected:
    void SetUp() override
    {
        m_filesBefore = Files();
        ASSERT_FALSE(wintest::KeyExists(wintest::kControlClassKey)) << "a scale control is registered before the test";
    }
    void TearDown() override
    {
        EXPECT_TRUE(WaitUntil([] { return TaraboProcesses() == 0; }, 10s)) << "Tarabo.exe still runs";
        EXPECT_FALSE(wintest::KeyExists(wintest::kControlClassKey));
        const std::set<std::wstring> after = Files();
        std::vector<std::wstring> changed;
        std::ranges::set_symmetric_difference(after, m_filesBefore, std::back_inserter(changed));
        for (const std::wstring& file : changed)
            ADD_FAILURE() << (after.contains(file) ? "left behind: " : "removed: ") << Narrow(file);
    }

    std::set<std::wstring> m_filesBefore;
};

TEST_F(EndToEnd, WithoutARegisteredScaleControlTaraboEndsWithoutShowingTheConsole)
{
    Program tarabo(BuildFile(TARABO_EXE));
    bool shown = false;
    EXPECT_TRUE(WaitUntil([&] { shown = shown || tarabo.Window(L"Tarabo"); return tarabo.Ended(0ms); }, 20s));
    EXPECT_FALSE(shown);
}

TEST_F(EndToEnd, TheConsoleWorksTheSimulatedScaleAsATechnicianWould)
{
    const Registration registration;
    ASSERT_TRUE(registration.registered && wintest::KeyExists(wintest::kControlClassKey));

    Program first(BuildFile(TARABO_EXE));
    const HWND console = first.WaitForWindow(L"Tarabo");
    ASSERT_NE(console, nullptr) << "the console never showed";
    SetWindowPos(console, nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER); // clear of the second one
    EXPECT_EQ(Text(console, IDC_CAPACITY), L"Max Weight 0 ?") << "the closed control's capacity and unit";

    // Open: the simulated K350's description and capacity, and a first reading that shows a weight.
    Click(console, IDC_OPEN_DEVICE);
    ASSERT_TRUE(WaitUntil([&] { return Text(console, IDC_STATUS) == kDescription; }, 10s)) << Narrow(Text(console, IDC_STATUS));
    EXPECT_TRUE(Text(console, IDC_CAPACITY).starts_with(L"Max Weight 15 Kg")) << Narrow(Text(console, IDC_CAPACITY));
    EXPECT_TRUE(WaitUntil([&] { return Text(console, IDC_WEIGHT) == L"1.250"; }, 5s)) << "the cycle begins with a settled item";
    EXPECT_EQ(Text(console, IDC_RESULT_NAME), L"OPOS_SUCCESS");

    // Loop on: from here on the console reads once a second while the rest goes on.
    Click(console, IDC_LOOP);
    const Watcher watcher(console);

    // A second console gets the claim refused while the first holds it: the claim waits out its
    // one-second time-out, and the result box keeps Open's result.
    {
        Program second(BuildFile(TARABO_EXE));
        const HWND other = second.WaitForWindow(L"Tarabo");
        ASSERT_NE(other, nullptr);
        SetWindowPos(other, nullptr, 620, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        Click(other, IDC_OPEN_DEVICE);
        EXPECT_TRUE(WaitUntil([&] { return Text(other, IDC_WEIGHT) == L"Claim Failed : 00000070"; }, 10s))
            << Narrow(Text(other, IDC_WEIGHT));
        EXPECT_EQ(Text(other, IDC_RESULT_NAME) + L" " + Text(other, IDC_RESULT_HEX), L"OPOS_SUCCESS 00000000");
        Click(other, IDOK_EXIT);
        EXPECT_TRUE(second.Ended(10s));
    }

    // Direct IO 4, typed into the command box and sent with the button: the decoded reply.
    Click(console, IDC_DIO_COMMAND);
    ASSERT_TRUE(HasFocus(GetDlgItem(console, IDC_DIO_COMMAND)));
    Keys({'4'});
    Click(console, IDC_DIRECT_IO);
    ASSERT_TRUE(WaitUntil([&] { return !Text(console, IDC_DIO_RESULT).empty(); }, 5s));
    static const std::wregex reply(L"0 \\((empty|in motion|over capacity)\\) Invalid Weight"
                                   L"|[0-9]+ +[0-9]+\\.[0-9]{3} Kg( Weight Not Changed)?");
    EXPECT_TRUE(std::regex_match(Text(console, IDC_DIO_RESULT), reply)) << Narrow(Text(console, IDC_DIO_RESULT));

    // Escape and the close box send Direct IO, and the console stays.
    Keys({VK_ESCAPE});
    ClickCloseBox(console);
    WaitForIdle(console);
    EXPECT_FALSE(first.Ended(300ms));
    EXPECT_TRUE(IsWindowVisible(console));

    // The system menu's About box (its last item: Wine's menu has an "About Wine" item of its own),
    // with Loop reading on behind it.
    Keys({VK_SPACE}, true);
    EXPECT_TRUE(WaitUntil([] { return IsWindowVisible(FindWindowW(L"#32768", nullptr)); }, 5s)) << "no system menu";
    Keys({VK_UP, VK_RETURN});
    const HWND about = first.WaitForWindow(L"About Tarabo");
    ASSERT_NE(about, nullptr);
    const size_t changes = watcher.Changes();
    EXPECT_TRUE(WaitUntil([&] { return watcher.Changes() > changes; }, 12s)) << "no reading behind the About box";
    Keys({VK_RETURN});
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, 5s));

    // Loop went through the simulated cycle: stable weights, a scale in motion, an overload.
    EXPECT_TRUE(WaitUntil([&] {
        return watcher.Saw(L"1.250", L"OPOS_SUCCESS") && watcher.Saw(L"3.480", L"OPOS_SUCCESS") &&
               watcher.Saw(nullptr, L"OPOS_E_TIMEOUT") && watcher.Saw(nullptr, L"OPOS_E_EXTENDED");
    }, 40s)) << watcher.Report();

    // With the first console killed, the claim is free for the next one: its Close releases the
    // claim and closes, and Exit ends it.
    first.Kill();
    Program next(BuildFile(TARABO_EXE));
    const HWND third = next.WaitForWindow(L"Tarabo");
    ASSERT_NE(third, nullptr);
    Click(third, IDC_OPEN_DEVICE);
    ASSERT_TRUE(WaitUntil([&] { return Text(third, IDC_STATUS) == kDescription; }, 10s));
    EXPECT_FALSE(Text(third, IDC_WEIGHT).starts_with(L"Claim Failed")) << Narrow(Text(third, IDC_WEIGHT));
    Click(third, IDC_CLOSE_DEVICE);
    EXPECT_TRUE(WaitUntil([&] { return Text(third, IDC_STATUS).empty(); }, 10s)) << Narrow(Text(third, IDC_STATUS));
    EXPECT_EQ(Text(third, IDC_RESULT_NAME) + L" " + Text(third, IDC_WEIGHT), L"OPOS_SUCCESS ...");
    Click(third, IDOK_EXIT);
    EXPECT_TRUE(next.Ended(10s));
}

// A logical name configured to a serial scale on a COM port, read through Tarabo.exe hosting our
// control: the fake Toledo scale on COM9 (the com_scales fixture) weighs 1.250 kg.
TEST_F(EndToEnd, TheConsoleReadsTheSerialScaleConfiguredOnACOMPort)
{
    const HANDLE port = CreateFileW(L"\\\\.\\COM9", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE)
        GTEST_SKIP() << "no fake scale on COM9 (the com_scales fixture starts it)";
    CloseHandle(port);

    wchar_t programData[MAX_PATH] = {};
    ASSERT_NE(GetEnvironmentVariableW(L"ProgramData", programData, MAX_PATH), 0u);
    const std::wstring folder = std::wstring(programData) + L"\\Tarabo", file = folder + L"\\scales.conf";
    const bool madeFolder = CreateDirectoryW(folder.c_str(), nullptr);
    struct Conf
    {
        std::wstring file, folder;
        bool madeFolder;
        ~Conf()
        {
            DeleteFileW(file.c_str());
            if (madeFolder)
                RemoveDirectoryW(folder.c_str());
        }
    } conf{file, folder, madeFolder};
    ASSERT_TRUE(std::ofstream(std::filesystem::path(file), std::ios::binary) << "[K350]\r\ndriver = serial\r\ndevice = COM9\r\nprotocol = toledo\r\n");

    const Registration registration;
    ASSERT_TRUE(registration.registered && wintest::KeyExists(wintest::kControlClassKey));
    Program tarabo(BuildFile(TARABO_EXE));
    const HWND console = tarabo.WaitForWindow(L"Tarabo");
    ASSERT_NE(console, nullptr) << "the console never showed";
    Click(console, IDC_OPEN_DEVICE);
    ASSERT_TRUE(WaitUntil([&] { return Text(console, IDC_STATUS).starts_with(L"Toledo 8213 scale on COM9 (9600 7E1)"); }, 10s))
        << Narrow(Text(console, IDC_STATUS));
    EXPECT_TRUE(WaitUntil([&] { return Text(console, IDC_WEIGHT) == L"1.250"; }, 5s)) << Narrow(Text(console, IDC_WEIGHT));
    EXPECT_EQ(Text(console, IDC_RESULT_NAME), L"OPOS_SUCCESS");
    Click(console, IDC_CLOSE_DEVICE);
    EXPECT_TRUE(WaitUntil([&] { return Text(console, IDC_STATUS).empty(); }, 10s)) << Narrow(Text(console, IDC_STATUS));
    Click(console, IDOK_EXIT);
    EXPECT_TRUE(tarabo.Ended(10s));
}

}
