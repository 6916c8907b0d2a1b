// Tarabo.exe as a technician meets it: the simulated scale control registered with regsvr32, the
// program started as a user starts it, and then driven from outside its process, with clicks and
// keys sent to its real windows and item texts read back through window messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <chrono>
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
using Clock = std::chrono::steady_clock;

constexpr int IDOK_EXIT = 1, IDC_DIRECT_IO = 2, IDC_OPEN_DEVICE = 4, IDC_CLOSE_DEVICE = 5;
constexpr int IDC_DIO_COMMAND = 1001, IDC_WEIGHT = 1002, IDC_LOOP = 1004, IDC_CAPACITY = 1008;
constexpr int IDC_DIO_RESULT = 1009, IDC_STATUS = 1010, IDC_RESULT_HEX = 1011, IDC_RESULT_NAME = 1012;
const std::wstring kClassKey = L"CLSID\\{83029FA3-4740-11CF-88F3-02608CA3BE43}";

// A file of the build tree, found from the test program's own place in it.
std::wstring BuildFile(const wchar_t* relative)
{
    wchar_t path[MAX_PATH];
    std::wstring exe(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    const std::wstring joined = exe.substr(0, exe.rfind(L'\\') + 1) + relative;
    return std::wstring(path, GetFullPathNameW(joined.c_str(), MAX_PATH, path, nullptr));
}

// Waits for a condition, looking every 20 ms; true once it holds.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        Sleep(20);
    }
    return true;
}

// A program started as Explorer starts it: no arguments, its own folder as the working folder.
class Program
{
public:
    explicit Program(const std::wstring& path, const std::wstring& arguments = L"")
    {
        std::wstring command = L"\"" + path + L"\" " + arguments;
        const std::wstring folder = path.substr(0, path.rfind(L'\\'));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        m_started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                                   &startup, &m_process);
    }
    ~Program()
    {
        if (!m_started)
            return;
        if (Running())
            Kill();
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return m_started; }
    DWORD Id() const { return m_process.dwProcessId; }
    bool Running() const { return m_started && WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT; }
    bool Ended(std::chrono::milliseconds timeout) const
    {
        return m_started && WaitForSingleObject(m_process.hProcess, DWORD(timeout.count())) == WAIT_OBJECT_0;
    }
    DWORD ExitCode() const
    {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(m_process.hProcess, &code);
        return code;
    }
    void Kill()
    {
        TerminateProcess(m_process.hProcess, 9);
        WaitForSingleObject(m_process.hProcess, 10000);
    }

    // The program's visible top-level window with this caption, or null.
    HWND Window(const wchar_t* caption) const
    {
        struct Search { DWORD pid; const wchar_t* caption; HWND found; } search{Id(), caption, nullptr};
        EnumWindows(
            [](HWND hwnd, LPARAM param) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(param);
                DWORD pid = 0;
                GetWindowThreadProcessId(hwnd, &pid);
                wchar_t text[64] = L"";
                if (pid != s.pid || !IsWindowVisible(hwnd) || !GetWindowTextW(hwnd, text, 64) ||
                    std::wstring(text) != s.caption)
                    return TRUE;
                s.found = hwnd;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    HWND WaitForWindow(const wchar_t* caption, std::chrono::milliseconds timeout = 20s) const
    {
        HWND found = nullptr;
        WaitUntil([&] { return (found = Window(caption)) != nullptr || !Running(); }, timeout);
        return found;
    }

private:
    PROCESS_INFORMATION m_process{};
    bool m_started = false;
};

// An item's text as another program reads it: WM_GETTEXT, answered once the console's thread is
// free (a read holds it for up to a second).
std::wstring Text(HWND dialog, int id)
{
    wchar_t text[256] = L"";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(GetDlgItem(dialog, id), WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                             5000, &length))
        return L"<no answer>";
    return std::wstring(text, length);
}

// Input as a person gives it, through the system's input queue to whatever window is under the
// pointer or has the focus.
void SendInputs(std::vector<INPUT> inputs) { SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT)); }

void ClickAt(POINT point)
{
    SetCursorPos(point.x, point.y);
    INPUT down{}, up{};
    down.type = up.type = INPUT_MOUSE;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInputs({down, up});
}

// Waits until the program that owns a window waits for input with none pending, so that input
// sent now meets the window where it is and as it is.
void WaitForIdle(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid)) {
        WaitForInputIdle(process, 5000);
        CloseHandle(process);
    }
}

void Click(HWND dialog, int id)
{
    const HWND item = GetDlgItem(dialog, id);
    WaitForIdle(dialog);
    RECT r;
    GetWindowRect(item, &r);
    const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    if (WindowFromPoint(centre) != item)
        ADD_FAILURE() << "item " << id << " is covered";
    ClickAt(centre);
}

INPUT KeyInput(WORD vk, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = WORD(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

void Key(WORD vk)
{
    if (const HWND foreground = GetForegroundWindow())
        WaitForIdle(foreground);
    SendInputs({KeyInput(vk, false), KeyInput(vk, true)});
}

void AltKey(WORD vk)
{
    SendInputs({KeyInput(VK_MENU, false), KeyInput(vk, false), KeyInput(vk, true), KeyInput(VK_MENU, true)});
}

// Waits for a window to have the keyboard focus, which keys sent from now on reach.
bool HasFocus(HWND window)
{
    return WaitUntil([&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus == window &&
               GetForegroundWindow() == GetAncestor(window, GA_ROOT);
    }, 5s);
}

// Alt+Space opens the window's system menu; then keys pick an item (a letter picks the first item
// that it underlines; Up then Enter picks the last item).
bool SystemMenuItem(std::initializer_list<WORD> keys)
{
    const auto menuOpen = [] { const HWND menu = FindWindowW(L"#32768", nullptr); return menu && IsWindowVisible(menu); };
    if (!WaitUntil([&] { return !menuOpen(); }, 5s))
        return false;
    AltKey(VK_SPACE);
    if (!WaitUntil(menuOpen, 5s))
        return false;
    for (WORD key : keys)
        Key(key);
    return true;
}

void Type(const std::wstring& text)
{
    for (wchar_t c : text)
        Key(WORD(VkKeyScanW(c) & 0xFF));
}

HWND ItemOf(HWND dialog, int id) { return GetDlgItem(dialog, id); }

bool Checked(HWND dialog, int id)
{
    DWORD_PTR state = 0;
    SendMessageTimeoutW(ItemOf(dialog, id), BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &state);
    return state == BST_CHECKED;
}

// Puts a marker in an item, so that a command that rewrites it can be seen to have run.
void Mark(HWND dialog, int id)
{
    DWORD_PTR ignored;
    SendMessageTimeoutW(ItemOf(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"#"), SMTO_NORMAL, 5000,
                        &ignored);
}

bool Rewritten(HWND dialog, int id)
{
    return WaitUntil([&] { const std::wstring t = Text(dialog, id); return t != L"#" && t != L"<no answer>"; }, 5s);
}

// What the console shows of a reading: weight display, result name and hex.
struct Shown
{
    std::wstring weight, name, hex;
    auto operator<=>(const Shown&) const = default;
};

// Reads what a console shows every 100 ms on a thread of its own, while the test does other things.
class Watcher
{
public:
    explicit Watcher(HWND console) : m_console(console), m_thread([this] { Run(); }) {}
    ~Watcher()
    {
        m_stop = true;
        m_thread.join();
    }
    std::set<Shown> Seen() const
    {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }
    size_t Changes() const
    {
        std::lock_guard lock(m_mutex);
        return m_changes;
    }
    bool SawName(const wchar_t* name) const
    {
        for (const Shown& s : Seen())
            if (s.name == name)
                return true;
        return false;
    }
    bool SawWeight(const wchar_t* weight) const
    {
        for (const Shown& s : Seen())
            if (s.weight == weight && s.name == L"OPOS_SUCCESS")
                return true;
        return false;
    }

private:
    void Run()
    {
        Shown last;
        while (!m_stop) {
            Shown now{Text(m_console, IDC_WEIGHT), Text(m_console, IDC_RESULT_NAME), Text(m_console, IDC_RESULT_HEX)};
            {
                std::lock_guard lock(m_mutex);
                m_seen.insert(now);
                m_changes += now != last;
            }
            last = now;
            Sleep(100);
        }
    }

    HWND m_console;
    mutable std::mutex m_mutex;
    std::set<Shown> m_seen;
    size_t m_changes = 0;
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

// Every file and folder under a folder, the temporary folders left out.
void ListFiles(const std::wstring& folder, std::set<std::wstring>& files, bool recursive = true)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + L"\\" + name;
        std::wstring lower = path;
        CharLowerW(lower.data());
        if (lower.ends_with(L"\\temp"))
            continue;
        files.insert(path);
        // Wine links the user's shell folders to the home folder: their contents are not the prefix's.
        if (recursive && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            ListFiles(path, files);
    } while (FindNextFileW(find, &data));
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

bool ControlRegistered()
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kClassKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// regsvr32's exit code: 0 once the DLL's entry point succeeded.
DWORD Regsvr32(const std::wstring& options)
{
    Program regsvr32(L"C:\\windows\\system32\\regsvr32.exe", L"/s " + options + L" \"" + BuildFile(TARABO_SIMSCALE_DLL) + L"\"");
    return regsvr32.Ended(60s) ? regsvr32.ExitCode() : STILL_ACTIVE;
}

// The simulated scale control registered for as long as this lives, as a technician would do it.
struct Registration
{
    Registration() { registered = Regsvr32(L"") == 0; }
    ~Registration() { EXPECT_EQ(Regsvr32(L"/u"), 0u); }
    bool registered;
};

class EndToEnd : public testing::Test
{
protected:
    void SetUp() override
    {
        m_filesBefore = Files();
        ASSERT_FALSE(ControlRegistered()) << "a scale control is registered before the test";
    }
    // The run leaves no process, no registration and no file behind.
    void TearDown() override
    {
        EXPECT_TRUE(WaitUntil([] { return TaraboProcesses() == 0; }, 10s)) << "Tarabo.exe still runs";
        EXPECT_FALSE(ControlRegistered());
        std::set<std::wstring> after = Files(), added, removed;
        std::ranges::set_difference(after, m_filesBefore, std::inserter(added, added.end()));
        std::ranges::set_difference(m_filesBefore, after, std::inserter(removed, removed.end()));
        for (const std::wstring& file : added)
            ADD_FAILURE() << "left behind: " << Narrow(file);
        for (const std::wstring& file : removed)
            ADD_FAILURE() << "removed: " << Narrow(file);
    }

    static std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

    std::set<std::wstring> m_filesBefore;
};

TEST_F(EndToEnd, WithoutARegisteredScaleControlTaraboEndsWithoutShowingTheConsole)
{
    Program tarabo(BuildFile(TARABO_EXE));
    ASSERT_TRUE(tarabo.Started());
    bool shown = false;
    EXPECT_TRUE(WaitUntil([&] { shown = shown || tarabo.Window(L"Tarabo"); return !tarabo.Running(); }, 20s));
    EXPECT_FALSE(shown);
}

// Moves a console clear of the others, so that clicks meant for it reach it.
void MoveTo(HWND window, int x, int y) { SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER); }

// The caption's close box, found as the window itself answers where a point is.
POINT CloseBox(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    const int y = r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    for (int x = r.right - 1; x > r.right - 100; --x) {
        DWORD_PTR hit = 0;
        SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_NORMAL, 5000, &hit);
        if (hit == HTCLOSE)
            return {x - GetSystemMetrics(SM_CXSIZE) / 3, y};
    }
    return {r.right - GetSystemMetrics(SM_CXSIZE) / 2, y};
}

const wchar_t* const kDescription = L"Tarabo simulated K350 retail scale (no hardware)";

TEST_F(EndToEnd, TheConsoleWorksTheSimulatedScaleAsATechnicianWould)
{
    const Registration registration;
    ASSERT_TRUE(registration.registered);
    ASSERT_TRUE(ControlRegistered());

    Program first(BuildFile(TARABO_EXE));
    const HWND console = first.WaitForWindow(L"Tarabo");
    ASSERT_NE(console, nullptr) << "the console never showed";
    MoveTo(console, 20, 20);
    EXPECT_EQ(Text(console, IDC_WEIGHT), L"...");
    EXPECT_EQ(Text(console, IDC_CAPACITY), L"Max Weight 0 ?");
    EXPECT_EQ(Text(console, IDC_RESULT_NAME), L"-");

    // Open: the simulated K350's description, its capacity, and a first reading.
    Click(console, IDC_OPEN_DEVICE);
    ASSERT_TRUE(WaitUntil([&] { return Text(console, IDC_STATUS) == kDescription; }, 10s)) << Narrow(Text(console, IDC_STATUS));
    EXPECT_TRUE(Text(console, IDC_CAPACITY).starts_with(L"Max Weight 15 Kg")) << Narrow(Text(console, IDC_CAPACITY));
    EXPECT_NE(Text(console, IDC_RESULT_NAME), L"-");

    // Loop on: from here on the console reads once a second while the rest goes on.
    Click(console, IDC_LOOP);
    EXPECT_TRUE(WaitUntil([&] { return Checked(console, IDC_LOOP); }, 5s));
    Watcher watcher(console);

    // A second console gets the claim refused while the first holds it: the claim waits out its
    // one-second time-out.
    {
        Program second(BuildFile(TARABO_EXE));
        const HWND other = second.WaitForWindow(L"Tarabo");
        ASSERT_NE(other, nullptr);
        MoveTo(other, 620, 20);
        Click(other, IDC_OPEN_DEVICE);
        EXPECT_TRUE(WaitUntil([&] { return Text(other, IDC_WEIGHT) == L"Claim Failed : 00000070"; }, 10s))
            << Narrow(Text(other, IDC_WEIGHT));
        EXPECT_EQ(Text(other, IDC_RESULT_NAME), L"OPOS_SUCCESS");
        EXPECT_EQ(Text(other, IDC_RESULT_HEX), L"00000000");
        Click(other, IDOK_EXIT);
        EXPECT_TRUE(second.Ended(10s));
    }

    // Direct IO 4, typed into the command box and sent with the button: the decoded reply.
    Click(console, IDC_DIO_COMMAND);
    ASSERT_TRUE(HasFocus(ItemOf(console, IDC_DIO_COMMAND)));
    Type(L"4");
    Click(console, IDC_DIRECT_IO);
    ASSERT_TRUE(WaitUntil([&] { return !Text(console, IDC_DIO_RESULT).empty(); }, 5s));
    static const std::wregex reply(L"0 \\((empty|in motion|over capacity)\\) Invalid Weight"
                                   L"|[0-9]+ +[0-9]+\\.[0-9]{3} Kg( Weight Not Changed)?");
    EXPECT_TRUE(std::regex_match(Text(console, IDC_DIO_RESULT), reply)) << Narrow(Text(console, IDC_DIO_RESULT));

    // Escape, the close box and the system menu's Close each send Direct IO and leave it open.
    Mark(console, IDC_DIO_RESULT);
    Click(console, IDC_DIO_COMMAND);
    ASSERT_TRUE(HasFocus(ItemOf(console, IDC_DIO_COMMAND)));
    Key(VK_ESCAPE);
    EXPECT_TRUE(Rewritten(console, IDC_DIO_RESULT)) << "Escape";
    Mark(console, IDC_DIO_RESULT);
    WaitForIdle(console);
    ClickAt(CloseBox(console));
    EXPECT_TRUE(Rewritten(console, IDC_DIO_RESULT)) << "close box";
    Mark(console, IDC_DIO_RESULT);
    EXPECT_TRUE(SystemMenuItem({'C'}));
    EXPECT_TRUE(Rewritten(console, IDC_DIO_RESULT)) << "system menu's Close";
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(IsWindowVisible(console));

    // The system menu's About box, with Loop reading on behind it.
    // Wine's system menu has an "About Wine" item of its own, so the letter A would pick that one.
    EXPECT_TRUE(SystemMenuItem({VK_UP, VK_RETURN}));
    const HWND about = first.WaitForWindow(L"About Tarabo", 5s);
    ASSERT_NE(about, nullptr);
    const size_t changes = watcher.Changes();
    EXPECT_TRUE(WaitUntil([&] { return watcher.Changes() > changes; }, 12s)) << "no reading behind the About box";
    Key(VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, 5s));

    // Loop went through the simulated cycle: stable weights, a scale in motion, an overload.
    EXPECT_TRUE(WaitUntil([&] {
        return watcher.SawWeight(L"1.250") && watcher.SawWeight(L"3.480") && watcher.SawName(L"OPOS_E_TIMEOUT") &&
               watcher.SawName(L"OPOS_E_EXTENDED");
    }, 40s));
    for (const Shown& s : watcher.Seen())
        std::cout << "seen: " << Narrow(s.weight) << " " << Narrow(s.name) << " " << Narrow(s.hex) << "\n";

    // The first console killed, the claim is free for the next one; its Close releases the claim,
    // and Exit ends it.
    first.Kill();
    Program next(BuildFile(TARABO_EXE));
    const HWND third = next.WaitForWindow(L"Tarabo");
    ASSERT_NE(third, nullptr);
    Click(third, IDC_OPEN_DEVICE);
    ASSERT_TRUE(WaitUntil([&] { return Text(third, IDC_STATUS) == kDescription; }, 10s));
    EXPECT_FALSE(Text(third, IDC_WEIGHT).starts_with(L"Claim Failed")) << Narrow(Text(third, IDC_WEIGHT));
    Click(third, IDC_CLOSE_DEVICE);
    EXPECT_TRUE(WaitUntil([&] { return Text(third, IDC_STATUS).empty(); }, 10s));
    EXPECT_EQ(Text(third, IDC_RESULT_NAME), L"OPOS_SUCCESS");
    EXPECT_EQ(Text(third, IDC_WEIGHT), L"...");
    Click(third, IDOK_EXIT);
    EXPECT_TRUE(next.Ended(10s));
}

}
