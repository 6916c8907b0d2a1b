// TaraboSimScale.dll as any container meets it: registered by regsvr32, created by class id through
// the registry, driven late-bound through IDispatch by member name, unregistered without a trace.
#include <gtest/gtest.h>

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

const CLSID kScaleClsid = {0x83029FA3, 0x4740, 0x11CF, {0x88, 0xF3, 0x02, 0x60, 0x8C, 0xA3, 0xBE, 0x43}};
const std::wstring kClassKey = L"CLSID\\{83029FA3-4740-11CF-88F3-02608CA3BE43}";
const std::wstring kServerKey = kClassKey + L"\\InprocServer32";
constexpr LONG OPOS_SUCCESS = 0;

// The DLL of this build tree, found from the test program's own place in it.
std::wstring DllPath()
{
    wchar_t path[MAX_PATH];
    std::wstring exe(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    const std::wstring relative = exe.substr(0, exe.rfind(L'\\') + 1) + TARABO_SIMSCALE_DLL;
    return std::wstring(path, GetFullPathNameW(relative.c_str(), MAX_PATH, path, nullptr));
}

// regsvr32's exit code: 0 once the DLL's entry point succeeded.
DWORD Regsvr32(const std::wstring& options)
{
    std::wstring command = L"regsvr32.exe /s " + options + L" \"" + DllPath() + L"\"";
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

// One of the DLL's registration entry points, called directly.
HRESULT CallEntryPoint(const char* name)
{
    HMODULE dll = LoadLibraryW(DllPath().c_str());
    if (!dll)
        return HRESULT_FROM_WIN32(GetLastError());
    using EntryPoint = HRESULT(STDAPICALLTYPE*)();
    const auto entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
    const HRESULT hr = entry ? entry() : E_NOINTERFACE;
    FreeLibrary(dll);
    return hr;
}

bool KeyExists(const std::wstring& key)
{
    HKEY handle;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

std::optional<std::wstring> String(const std::wstring& key, const wchar_t* name)
{
    wchar_t value[1024];
    DWORD bytes = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

VARIANT Long(LONG value) { VARIANT v; v.vt = VT_I4; v.lVal = value; return v; }
VARIANT Text(BSTR value) { VARIANT v; v.vt = VT_BSTR; v.bstrVal = value; return v; }
VARIANT LongRef(LONG* value) { VARIANT v; v.vt = VT_BYREF | VT_I4; v.plVal = value; return v; }
VARIANT TextRef(BSTR* value) { VARIANT v; v.vt = VT_BYREF | VT_BSTR; v.pbstrVal = value; return v; }

struct Outcome
{
    HRESULT hr;
    VARIANT result;
    UINT argErr;
};

// The scale control, registered and created as a container creates it.
class SimScaleServer : public testing::Test
{
protected:
    static void SetUpTestSuite() { ASSERT_EQ(CallEntryPoint("DllRegisterServer"), S_OK); }
    static void TearDownTestSuite() { CallEntryPoint("DllUnregisterServer"); }
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_EQ(CoCreateInstance(kScaleClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&m_scale)), S_OK);
    }
    void TearDown() override
    {
        if (m_scale)
            m_scale->Release();
        CoUninitialize();
    }

    DISPID Id(const wchar_t* name)
    {
        DISPID id = 0;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        EXPECT_EQ(m_scale->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
        return id;
    }

    // A late-bound call with the arguments in declaration order; they go out reversed, and a
    // property's value as the named DISPID_PROPERTYPUT argument.
    Outcome Call(DISPID id, WORD flags, std::vector<VARIANT> args)
    {
        std::reverse(args.begin(), args.end());
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS params{args.data(), nullptr, UINT(args.size()), 0};
        if (flags == DISPATCH_PROPERTYPUT)
            params.rgdispidNamedArgs = &put, params.cNamedArgs = 1;
        Outcome outcome{};
        VariantInit(&outcome.result);
        outcome.argErr = 99;
        EXCEPINFO info{};
        outcome.hr = m_scale->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &outcome.result, &info,
                                     &outcome.argErr);
        return outcome;
    }

    LONG Method(const wchar_t* name, std::vector<VARIANT> args = {})
    {
        const Outcome outcome = Call(Id(name), DISPATCH_METHOD, std::move(args));
        EXPECT_EQ(outcome.hr, S_OK) << name;
        EXPECT_EQ(outcome.result.vt, VT_I4) << name;
        return outcome.result.lVal;
    }

    IDispatch* m_scale = nullptr;
};

}

TEST(SimScaleRegistration, Regsvr32RegistersAnApartmentServerAndUnregisteringRemovesOnlyWhatItWrote)
{
    ASSERT_FALSE(KeyExists(kClassKey)) << "the prefix starts without the control";
    ASSERT_EQ(Regsvr32(L""), 0u);
    const std::optional<std::wstring> server = String(kServerKey, nullptr);
    ASSERT_TRUE(server);
    EXPECT_EQ(CompareStringOrdinal(server->c_str(), -1, DllPath().c_str(), -1, TRUE), CSTR_EQUAL) << *server;
    EXPECT_EQ(String(kServerKey, L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(Regsvr32(L"/u"), 0u);
    EXPECT_FALSE(KeyExists(kClassKey)) << "nothing of the registration is left";

    // Registered over another control's entry: unregistering leaves that control's own keys.
    HKEY other;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (kClassKey + L"\\Control").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &other, nullptr), ERROR_SUCCESS);
    RegCloseKey(other);
    ASSERT_EQ(Regsvr32(L""), 0u);
    EXPECT_EQ(Regsvr32(L"/u"), 0u);
    EXPECT_TRUE(KeyExists(kClassKey + L"\\Control"));
    EXPECT_FALSE(KeyExists(kServerKey));
    EXPECT_FALSE(String(kClassKey, nullptr)) << "the name it gave the class is gone too";
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey.c_str());
}

TEST_F(SimScaleServer, MembersAreFoundByNameAndTheSimulatedK350AnswersThroughThem)
{
    EXPECT_EQ(Id(L"Open"), 19);
    EXPECT_EQ(Id(L"readweight"), 26) << "names match regardless of case";
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"Weigh")};
    DISPID id = 0;
    EXPECT_EQ(m_scale->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);

    BSTR name = SysAllocString(L"K350");
    EXPECT_EQ(Method(L"Open", {Text(name)}), OPOS_SUCCESS);
    SysFreeString(name);
    Outcome description = Call(Id(L"Description"), DISPATCH_PROPERTYGET, {});
    ASSERT_EQ(description.hr, S_OK);
    ASSERT_EQ(description.result.vt, VT_BSTR);
    EXPECT_NE(std::wstring(description.result.bstrVal).find(L"K350"), std::wstring::npos);
    VariantClear(&description.result);

    // Direct IO 4 answers through both references; the caller's string is replaced by one the
    // caller now owns.
    LONG data = 5;
    BSTR text = SysAllocString(L"request");
    EXPECT_EQ(Method(L"DirectIO", {Long(4), LongRef(&data), TextRef(&text)}), OPOS_SUCCESS);
    EXPECT_EQ(data, 1) << "the cycle begins with a settled item: a new valid weight";
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, L" 1.250 Kg");
    SysFreeString(text);
    EXPECT_EQ(Method(L"Close"), OPOS_SUCCESS);
}

TEST_F(SimScaleServer, BadCallsFailAsAComControlFailsThem)
{
    LONG data = 0;
    BSTR text = nullptr;
    BSTR word = SysAllocString(L"1000");
    struct Case
    {
        const char* what;
        DISPID id;
        WORD flags;
        std::vector<VARIANT> args;
        HRESULT hr;
        UINT argErr; // in DISPPARAMS' order, last argument first
    };
    const Case cases[] = {
        {"unknown member", 99, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND, 99},
        {"a method read as a property", 19, DISPATCH_PROPERTYGET, {}, DISP_E_MEMBERNOTFOUND, 99},
        {"too few arguments", 25, DISPATCH_METHOD, {Long(4), LongRef(&data)}, DISP_E_BADPARAMCOUNT, 99},
        {"text for a long", 21, DISPATCH_METHOD, {Text(word)}, DISP_E_TYPEMISMATCH, 0},
        {"string by value", 25, DISPATCH_METHOD, {Long(4), LongRef(&data), Text(word)}, DISP_E_TYPEMISMATCH, 0},
        {"data by value", 25, DISPATCH_METHOD, {Long(4), Long(0), TextRef(&text)}, DISP_E_TYPEMISMATCH, 1},
        {"time-out by reference", 26, DISPATCH_METHOD, {LongRef(&data), LongRef(&data)}, DISP_E_TYPEMISMATCH, 0},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Call(c.id, c.flags, c.args);
        EXPECT_EQ(outcome.hr, c.hr) << c.what;
        EXPECT_EQ(outcome.argErr, c.argErr) << c.what;
    }
    SysFreeString(word);
}

TEST_F(SimScaleServer, TheObjectIsAnInvisibleControlThatKeepsItsDllLoadedWhileAlive)
{
    IOleObject* object = nullptr;
    ASSERT_EQ(m_scale->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)), S_OK);
    DWORD status = 0;
    EXPECT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_TRUE(status & OLEMISC_INVISIBLEATRUNTIME);
    object->Release();

    // The 20 bytes of state a dialog template keeps for it are accepted.
    IPersistStreamInit* persist = nullptr;
    ASSERT_EQ(m_scale->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)), S_OK);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    const BYTE state[20] = {0, 0, 1, 0};
    stream->Write(state, sizeof state, nullptr);
    stream->Seek({}, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(persist->Load(stream), S_OK);
    stream->Release();
    persist->Release();

    HMODULE dll = GetModuleHandleW(L"TaraboSimScale.dll");
    ASSERT_NE(dll, nullptr);
    using EntryPoint = HRESULT(STDAPICALLTYPE*)();
    const auto canUnload = reinterpret_cast<EntryPoint>(reinterpret_cast<void (*)()>(GetProcAddress(dll, "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_FALSE);
    m_scale->Release();
    m_scale = nullptr;
    EXPECT_EQ(canUnload(), S_OK);
}
