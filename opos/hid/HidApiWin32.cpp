// The Windows HID API for real: SetupAPI's list of HID interfaces, hid.dll's HidD_ and HidP_
// functions, and overlapped ReadFile with one read kept pending, its event the scale's wait.
#include "opos/hid/HidApiScale.h"

#include "opos/DeviceLibrariesWin32.h"
#include "opos/Utf8.h"

#include <cstddef>

// 32-bit SetupAPI checks cbSize against its byte-packed layout; a wrong packing fails every call.
static_assert(sizeof(void*) == 8 || sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 6, "SetupAPI structures must be packed");

namespace opos {

namespace {
std::string narrow(const wchar_t* text) { return Utf8FromUtf16(reinterpret_cast<const char16_t*>(text)); }

std::wstring wide(const std::string& text)
{
    const std::u16string u = Utf16FromUtf8(text);
    return std::wstring(u.begin(), u.end());
}

std::string errorText(DWORD error)
{
    wchar_t* text = nullptr;
    ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = text ? narrow(text) : "";
    ::LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.' || out.back() == ' '))
        out.pop_back();
    return (out.empty() ? "" : out + ", ") + "error " + std::to_string(error);
}

// How long a cancelled read may take to end.
constexpr DWORD kCancelMs = 1000;

HIDP_REPORT_TYPE typeOf(HidReportType type)
{
    return type == HidReportType::Input ? HidP_Input : type == HidReportType::Output ? HidP_Output : HidP_Feature;
}

class Win32HidDevice : public HidApiDevice
{
public:
    Win32HidDevice(const HidFunctions& hid, HANDLE file, bool reading) : m_hid(hid), m_file(file)
    {
        if (m_hid.HidD_GetPreparsedData(m_file, &m_preparsed) && m_hid.HidP_GetCaps(m_preparsed, &m_caps) == HIDP_STATUS_SUCCESS)
            m_hasCaps = true;
        if (reading && m_hasCaps) {
            m_event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
            Start();
        }
    }
    ~Win32HidDevice() override
    {
        // Whichever thread started it; the buffer must outlive the read. A read the system does
        // not let go of in time keeps its OVERLAPPED, buffer and event for good.
        if (m_pending) {
            ::CancelIoEx(m_file, &m_read->overlapped);
            if (::WaitForSingleObject(m_event, kCancelMs) != WAIT_OBJECT_0)
                static_cast<void>(m_read.release()), m_event = nullptr;
        }
        if (m_preparsed)
            m_hid.HidD_FreePreparsedData(m_preparsed);
        ::CloseHandle(m_file);
        if (m_event)
            ::CloseHandle(m_event);
    }
    Win32HidDevice(const Win32HidDevice&) = delete;
    Win32HidDevice& operator=(const Win32HidDevice&) = delete;

    bool Attributes(std::uint16_t& vendor, std::uint16_t& product) override
    {
        HIDD_ATTRIBUTES a{};
        a.Size = sizeof a;
        if (!m_hid.HidD_GetAttributes(m_file, &a))
            return false;
        vendor = a.VendorID, product = a.ProductID;
        return true;
    }
    std::string ProductName() override
    {
        wchar_t name[256] = {}; // a USB string descriptor holds at most 126 characters
        return m_hid.HidD_GetProductString(m_file, name, sizeof name - sizeof name[0]) ? narrow(name) : "";
    }
    bool Caps(HidCaps& caps) override
    {
        if (!m_hasCaps)
            return false;
        caps = {};
        caps.page = m_caps.UsagePage, caps.usage = m_caps.Usage;
        caps.inputBytes = m_caps.InputReportByteLength, caps.outputBytes = m_caps.OutputReportByteLength,
        caps.featureBytes = m_caps.FeatureReportByteLength;
        const struct { HidReportType type; USHORT values, buttons; } kinds[] = {
            {HidReportType::Input, m_caps.NumberInputValueCaps, m_caps.NumberInputButtonCaps},
            {HidReportType::Output, m_caps.NumberOutputValueCaps, m_caps.NumberOutputButtonCaps},
            {HidReportType::Feature, m_caps.NumberFeatureValueCaps, m_caps.NumberFeatureButtonCaps},
        };
        for (const auto& k : kinds) {
            addValues(k.type, k.values, caps.values);
            addButtons(k.type, k.buttons, caps.buttons);
        }
        return true;
    }
    bool UsageValue(HidReportType type, std::uint16_t page, std::uint16_t usage, const HidBytes& report, std::uint32_t& value) override
    {
        HidBytes copy = report; // the API takes the report as writable
        ULONG v = 0;
        if (m_hid.HidP_GetUsageValue(typeOf(type), page, 0, usage, &v, m_preparsed, reinterpret_cast<PCHAR>(copy.data()),
                                 ULONG(copy.size())) != HIDP_STATUS_SUCCESS)
            return false;
        value = v;
        return true;
    }
    bool Usages(HidReportType type, std::uint16_t page, const HidBytes& report, std::vector<std::uint16_t>& usages) override
    {
        HidBytes copy = report;
        ULONG n = m_hid.HidP_MaxUsageListLength(typeOf(type), page, m_preparsed);
        std::vector<USAGE> list(n + 1);
        const NTSTATUS status = m_hid.HidP_GetUsages(typeOf(type), page, 0, list.data(), &n, m_preparsed,
                                                 reinterpret_cast<PCHAR>(copy.data()), ULONG(copy.size()));
        if (status == HIDP_STATUS_USAGE_NOT_FOUND)
            n = 0;
        else if (status != HIDP_STATUS_SUCCESS)
            return false;
        usages.assign(list.begin(), list.begin() + std::ptrdiff_t(std::min<std::size_t>(n, list.size())));
        return true;
    }
    bool ReportWithButton(HidReportType type, std::uint8_t id, std::uint16_t page, std::uint16_t usage, HidBytes& report) override
    {
        const USHORT length = type == HidReportType::Output ? m_caps.OutputReportByteLength
                              : type == HidReportType::Feature ? m_caps.FeatureReportByteLength : m_caps.InputReportByteLength;
        report.assign(length, 0);
        USAGE u = usage;
        ULONG one = 1;
        const auto buffer = reinterpret_cast<PCHAR>(report.data());
        return length && m_hid.HidP_InitializeReportForID(typeOf(type), id, m_preparsed, buffer, length) == HIDP_STATUS_SUCCESS &&
               m_hid.HidP_SetUsages(typeOf(type), page, 0, &u, &one, m_preparsed, buffer, length) == HIDP_STATUS_SUCCESS;
    }

    WaitHandle Waitable() const override { return m_event ? reinterpret_cast<WaitHandle>(m_event) : kNoWait; }
    Read ReadReport(HidBytes& report, std::string& why) override
    {
        if (!m_event)
            return why = "the scale was not opened for reading", Read::Gone;
        if (!m_pending && m_failed == ERROR_SUCCESS)
            Start();
        DWORD got = 0;
        if (m_pending && !::GetOverlappedResult(m_file, &m_read->overlapped, &got, FALSE)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_IO_INCOMPLETE)
                return Read::Nothing;
            m_pending = false;
            if (error == ERROR_OPERATION_ABORTED) { // the thread that started it ended: read again
                Start();
                return Read::Nothing;
            }
            m_failed = error;
        }
        if (!m_pending) {
            why = goneText(m_failed == ERROR_SUCCESS ? ERROR_INVALID_HANDLE : m_failed);
            return Read::Gone;
        }
        m_pending = false;
        const HidBytes& buffer = m_read->buffer;
        report.assign(buffer.begin(), buffer.begin() + std::ptrdiff_t(std::min<std::size_t>(got, buffer.size())));
        Start();
        return Read::Report;
    }
    bool GetFeature(HidBytes& report) override { return m_hid.HidD_GetFeature(m_file, report.data(), ULONG(report.size())); }
    bool GetInput(HidBytes& report) override { return m_hid.HidD_GetInputReport(m_file, report.data(), ULONG(report.size())); }
    bool SetFeature(const HidBytes& report) override
    {
        HidBytes copy = report;
        return m_hid.HidD_SetFeature(m_file, copy.data(), ULONG(copy.size()));
    }
    bool SetOutput(const HidBytes& report) override
    {
        HidBytes copy = report;
        return m_hid.HidD_SetOutputReport(m_file, copy.data(), ULONG(copy.size()));
    }

private:
    // The next read, left pending; its event is signalled when it ends, however it ends.
    void Start()
    {
        HidBytes& buffer = m_read->buffer;
        buffer.assign(m_caps.InputReportByteLength, 0);
        m_read->overlapped = {};
        m_read->overlapped.hEvent = m_event;
        ::ResetEvent(m_event);
        if (::ReadFile(m_file, buffer.data(), DWORD(buffer.size()), nullptr, &m_read->overlapped) ||
            ::GetLastError() == ERROR_IO_PENDING) {
            m_pending = true;
        } else {
            m_failed = ::GetLastError();
            ::SetEvent(m_event); // a wait ends, and the next look reports the device gone
        }
    }
    static std::string goneText(DWORD error)
    {
        const bool pulled = error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_GEN_FAILURE ||
                            error == ERROR_FILE_NOT_FOUND || error == ERROR_BAD_COMMAND;
        return std::string(pulled ? "the scale was unplugged" : "reading from the scale failed") + " (ReadFile: " +
               errorText(error) + ")";
    }
    void addValues(HidReportType type, USHORT count, std::vector<HidValueCap>& out)
    {
        std::vector<HIDP_VALUE_CAPS> caps(count);
        USHORT n = count;
        if (!count || m_hid.HidP_GetValueCaps(typeOf(type), caps.data(), &n, m_preparsed) != HIDP_STATUS_SUCCESS)
            return;
        for (USHORT i = 0; i < n && i < count; ++i) {
            const HIDP_VALUE_CAPS& c = caps[i];
            const USAGE first = c.IsRange ? c.Range.UsageMin : c.NotRange.Usage;
            const USAGE last = c.IsRange ? c.Range.UsageMax : first;
            for (std::uint32_t u = first; u <= last && u - first < 256; ++u) // a range is one field a usage
                out.push_back({type, c.ReportID, c.UsagePage, std::uint16_t(u), c.LinkUsagePage, c.LinkUsage, c.BitSize,
                               c.ReportCount, c.LogicalMin, c.LogicalMax});
        }
    }
    void addButtons(HidReportType type, USHORT count, std::vector<HidButtonCap>& out)
    {
        std::vector<HIDP_BUTTON_CAPS> caps(count);
        USHORT n = count;
        if (!count || m_hid.HidP_GetButtonCaps(typeOf(type), caps.data(), &n, m_preparsed) != HIDP_STATUS_SUCCESS)
            return;
        for (USHORT i = 0; i < n && i < count; ++i) {
            const HIDP_BUTTON_CAPS& c = caps[i];
            const USAGE first = c.IsRange ? c.Range.UsageMin : c.NotRange.Usage;
            out.push_back({type, c.ReportID, c.UsagePage, first, c.IsRange ? c.Range.UsageMax : first, c.LinkUsagePage, c.LinkUsage});
        }
    }

    const HidFunctions& m_hid;
    HANDLE m_file;
    HANDLE m_event = nullptr;
    PHIDP_PREPARSED_DATA m_preparsed = nullptr;
    HIDP_CAPS m_caps{};
    bool m_hasCaps = false;
    // On the heap, so that a read the system keeps after the device is closed writes into memory
    // still ours.
    struct PendingRead
    {
        OVERLAPPED overlapped{};
        HidBytes buffer;
    };
    std::unique_ptr<PendingRead> m_read = std::make_unique<PendingRead>();
    bool m_pending = false;
    DWORD m_failed = ERROR_SUCCESS;
};

std::string openFailure(const std::string& path, DWORD error)
{
    switch (error) {
    case ERROR_ACCESS_DENIED:
        return path + ": access denied: another program holds the scale open, or the system does (it does keyboards and mice)";
    case ERROR_SHARING_VIOLATION: return path + ": in use by another program";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEVICE_NOT_CONNECTED:
        return path + ": no such device: is the scale plugged in? (tarabo-scales list shows the scales present)";
    default: return path + ": " + errorText(error);
    }
}

class Win32HidApi : public HidApi
{
public:
    std::vector<std::string> DevicePaths() override
    {
        const HidFunctions* const hid = HidLibrary();
        const SetupApiFunctions* const setup = SetupApi();
        std::vector<std::string> paths;
        if (!hid || !setup)
            return paths;
        GUID guid;
        hid->HidD_GetHidGuid(&guid);
        const HDEVINFO set = setup->SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        if (set == INVALID_HANDLE_VALUE)
            return paths;
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        for (DWORD i = 0; setup->SetupDiEnumDeviceInterfaces(set, nullptr, &guid, i, &data); ++i) {
            DWORD size = 0;
            setup->SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &size, nullptr);
            if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
                continue;
            std::vector<std::uint8_t> buffer(size + sizeof(wchar_t));
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
            if (setup->SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size, nullptr, nullptr))
                paths.push_back(narrow(detail->DevicePath));
        }
        setup->SetupDiDestroyDeviceInfoList(set);
        return paths;
    }

    std::unique_ptr<HidApiDevice> Open(const std::string& path, bool forReading, std::string& why) override
    {
        const HidFunctions* const hid = HidLibrary();
        if (!hid) {
            why = path + ": hid.dll cannot be loaded: " + errorText(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
        const std::wstring name = wide(path);
        const auto open = [&](DWORD access) {
            return ::CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OVERLAPPED, nullptr);
        };
        HANDLE file = open(forReading ? GENERIC_READ | GENERIC_WRITE : 0);
        if (file == INVALID_HANDLE_VALUE && forReading && ::GetLastError() == ERROR_ACCESS_DENIED)
            file = open(GENERIC_READ); // a scale that takes no writing still reads
        if (file == INVALID_HANDLE_VALUE) {
            why = openFailure(path, ::GetLastError());
            return nullptr;
        }
        return std::make_unique<Win32HidDevice>(*hid, file, forReading);
    }
};
}

std::vector<HidrawNode> ListHidDevices()
{
    Win32HidApi api;
    return ListHidApiDevices(api);
}

std::unique_ptr<IScaleDevice> OpenHidScaleAt(const std::string& path)
{
    Win32HidApi api;
    return OpenHidApiScale(api, path);
}

}
