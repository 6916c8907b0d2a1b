// TaraboScale.dll as any container meets it: registered by regsvr32, created by class id through
// the registry, driven late-bound through IDispatch by member name, unregistered without a trace;
// and the logical names the prefix's scales.conf and OPOS registry keys set up.
#include "tests/support/BuildTreeWin32.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <knownfolders.h>
#include <ocidl.h>
#include <olectl.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

const CLSID kScaleClsid = {0x83029FA3, 0x4740, 0x11CF, {0x88, 0xF3, 0x02, 0x60, 0x8C, 0xA3, 0xBE, 0x43}};
const std::wstring kClassKey = wintest::kControlClassKey;
const std::wstring kServerKey = kClassKey + L"\\InprocServer32";
constexpr LONG OPOS_SUCCESS = 0;
constexpr LONG OPOS_E_NOEXIST = 109;

// One of the DLL's registration entry points, called directly.
HRESULT CallEntryPoint(const char* name)
{
    HMODULE dll = LoadLibraryW(wintest::BuildFile(TARABO_SCALE_DLL).c_str());
    if (!dll)
        return HRESULT_FROM_WIN32(GetLastError());
    using EntryPoint = HRESULT(STDAPICALLTYPE*)();
    const auto entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
    const HRESULT hr = entry ? entry() : E_NOINTERFACE;
    FreeLibrary(dll);
    return hr;
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
class ScaleServer : public testing::Test
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

    LONG Open(const wchar_t* logicalName)
    {
        BSTR name = SysAllocString(logicalName);
        const LONG result = Method(L"Open", {Text(name)});
        SysFreeString(name);
        return result;
    }

    std::wstring Description()
    {
        Outcome outcome = Call(Id(L"Description"), DISPATCH_PROPERTYGET, {});
        EXPECT_EQ(outcome.result.vt, VT_BSTR);
        const std::wstring text = outcome.result.vt == VT_BSTR ? outcome.result.bstrVal : L"";
        VariantClear(&outcome.result);
        return text;
    }

    // Direct IO 4's weight text (" 1.250 Kg").
    std::wstring WeightText()
    {
        LONG data = 0;
        BSTR text = nullptr;
        EXPECT_EQ(Method(L"DirectIO", {Long(4), LongRef(&data), TextRef(&text)}), OPOS_SUCCESS);
        const std::wstring weight = text ? text : L"";
        SysFreeString(text);
        return weight;
    }

    IDispatch* m_scale = nullptr;
};

}

TEST(ScaleRegistration, Regsvr32RegistersAnApartmentServerAndUnregisteringRemovesOnlyWhatItWrote)
{
    ASSERT_FALSE(wintest::KeyExists(kClassKey)) << "the prefix starts without the control";
    ASSERT_EQ(wintest::Regsvr32(L""), 0u);
    const std::optional<std::wstring> server = String(kServerKey, nullptr);
    ASSERT_TRUE(server);
    EXPECT_EQ(CompareStringOrdinal(server->c_str(), -1, wintest::BuildFile(TARABO_SCALE_DLL).c_str(), -1, TRUE), CSTR_EQUAL) << *server;
    EXPECT_EQ(String(kServerKey, L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(wintest::Regsvr32(L"/u"), 0u);
    EXPECT_FALSE(wintest::KeyExists(kClassKey)) << "nothing of the registration is left";

    // Registered over another control's entry: unregistering leaves that control's own keys.
    HKEY other;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (kClassKey + L"\\Control").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &other, nullptr), ERROR_SUCCESS);
    RegCloseKey(other);
    ASSERT_EQ(wintest::Regsvr32(L""), 0u);
    EXPECT_EQ(wintest::Regsvr32(L"/u"), 0u);
    EXPECT_TRUE(wintest::KeyExists(kClassKey + L"\\Control"));
    EXPECT_FALSE(wintest::KeyExists(kServerKey));
    EXPECT_FALSE(String(kClassKey, nullptr)) << "the name it gave the class is gone too";
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey.c_str());
}

TEST_F(ScaleServer, MembersAreFoundByNameAndTheSimulatedK350AnswersThroughThem)
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

TEST_F(ScaleServer, BadCallsFailAsAComControlFailsThem)
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
        {"too few arguments", 25, DISPATCH_METHOD, {Long(4), LongRef(&data)}, DISP_E_BADPARAMCOUNT, 99},
        {"text for a long", 21, DISPATCH_METHOD, {Text(word)}, DISP_E_TYPEMISMATCH, 0},
        {"string by value", 25, DISPATCH_METHOD, {Long(4), LongRef(&data), Text(word)}, DISP_E_TYPEMISMATCH, 0},
        {"data by value", 25, DISPATCH_METHOD, {Long(4), Long(0), TextRef(&text)}, DISP_E_TYPEMISMATCH, 1},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Call(c.id, c.flags, c.args);
        EXPECT_EQ(outcome.hr, c.hr) << c.what;
        EXPECT_EQ(outcome.argErr, c.argErr) << c.what;
    }
    SysFreeString(word);
}

TEST_F(ScaleServer, TheObjectIsAnInvisibleControlThatKeepsItsDllLoadedWhileAlive)
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

    HMODULE dll = GetModuleHandleW(L"TaraboScale.dll");
    ASSERT_NE(dll, nullptr);
    using EntryPoint = HRESULT(STDAPICALLTYPE*)();
    const auto canUnload = reinterpret_cast<EntryPoint>(reinterpret_cast<void (*)()>(GetProcAddress(dll, "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_FALSE);
    m_scale->Release();
    m_scale = nullptr;
    EXPECT_EQ(canUnload(), S_OK);
}

namespace {

// The logical names of the prefix's machine-wide configuration: %ProgramData%\Tarabo and the OPOS
// registry key, both left as they were found.
class ConfiguredScale : public ScaleServer
{
protected:
    void SetUp() override
    {
        PWSTR programData = nullptr;
        ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &programData), S_OK);
        m_folder = std::filesystem::path(programData) / L"Tarabo";
        CoTaskMemFree(programData);
        ASSERT_FALSE(std::filesystem::exists(m_folder)) << "the prefix starts without a configuration";
        HKEY oposKey;
        m_oposKeyWasThere = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\OLEforRetail", 0, KEY_READ, &oposKey) == ERROR_SUCCESS;
        if (m_oposKeyWasThere)
            RegCloseKey(oposKey);
        std::filesystem::create_directory(m_folder);
        ScaleServer::SetUp();
    }
    void TearDown() override
    {
        ScaleServer::TearDown();
        std::error_code error;
        std::filesystem::remove_all(m_folder, error);
        if (m_oposKeyWasThere)
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kScalesKey) + L"\\BACK").c_str());
        else
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\OLEforRetail");
    }

    void Write(const wchar_t* name, const std::string& text) { std::ofstream(m_folder / name, std::ios::binary) << text; }
    std::wstring ConfFile() const { return (m_folder / L"scales.conf").wstring(); }
    static void SetValue(const wchar_t* name, const wchar_t* value)
    {
        const std::wstring key = std::wstring(kScalesKey) + L"\\BACK";
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_SZ, value, DWORD((wcslen(value) + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

    static constexpr wchar_t kScalesKey[] = L"SOFTWARE\\OLEforRetail\\ServiceOPOS\\Scale";
    std::filesystem::path m_folder;
    bool m_oposKeyWasThere = false;
};

}

TEST_F(ConfiguredScale, ANameInProgramDataPlaysItsScenarioAndOneInTheRegistryOpensToo)
{
    Write(L"front.scenario", "description = Front counter test scale\nunit = kg\ncapacity = 6\n\n60s 2.345\n");
    Write(L"scales.conf", "[FRONT]\r\ndriver = simulated\r\nscenario = front.scenario\r\n");
    ASSERT_EQ(Open(L"FRONT"), OPOS_SUCCESS) << Description();
    EXPECT_EQ(Description(), L"Front counter test scale");
    EXPECT_NE(WeightText().find(L"2.345"), std::wstring::npos);
    EXPECT_EQ(Method(L"Close"), OPOS_SUCCESS);

    SetValue(nullptr, L"Tarabo.Scale");
    SetValue(L"Driver", L"simulated");
    SetValue(L"zero-valid", L"yes");
    ASSERT_EQ(Open(L"BACK"), OPOS_SUCCESS) << Description();
    EXPECT_NE(WeightText().find(L"1.250"), std::wstring::npos) << "the built-in K350 cycle, which starts with 1.250 kg";
    EXPECT_EQ(Method(L"Close"), OPOS_SUCCESS);
}

TEST_F(ConfiguredScale, AMistakeFailsOpenWithWhereItIs)
{
    const struct { const char* conf; const wchar_t* registryCapacity; std::wstring description; } cases[] = {
        {"[BACK]\ndriver = simulated\ncapacity = 15 kg\n", nullptr, ConfFile() + L" line 3: key \"capacity\": \"15 kg\" is not a whole number"},
        {"[BACK]\ndriver = replay\nfile = back.capture\nspeed = fast\n", nullptr, ConfFile() + L" line 4: key \"speed\": \"fast\" is not a speed"},
        {"", L"15 kg", L"HKLM\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\Scale\\BACK, value \"capacity\": \"15 kg\" is not a whole number"},
    };
    SetValue(L"driver", L"simulated");
    for (const auto& c : cases) {
        Write(L"scales.conf", c.conf);
        if (c.registryCapacity)
            SetValue(L"capacity", c.registryCapacity);
        EXPECT_EQ(Open(L"BACK"), OPOS_E_NOEXIST) << c.conf;
        EXPECT_EQ(Description().find(c.description), 0u) << Description();
    }
}
