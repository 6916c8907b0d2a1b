// Resources, a fake hosted control and a fixture shared by the framework tests.
#pragma once

#include "AfxTesting.h"
#include "afxwin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Dialog templates of the tests.
inline constexpr UINT IDD_TEST = 900;        // items of every kind and a hosted control
inline constexpr UINT IDD_PLAIN = 901;       // no control
inline constexpr UINT IDD_UNKNOWN_CTL = 902; // a control whose class is not registered
inline constexpr UINT IDD_ABOUT_TEST = 903;  // an icon and an OK button
inline constexpr UINT IDD_NO_SYSMENU = 904;  // as IDD_ABOUT_TEST without WS_SYSMENU
inline constexpr UINT IDD_MISSING = 999;     // no such template
inline constexpr UINT IDI_TEST = 128;

// Items of IDD_TEST, in tab order.
enum : int {
    IDC_EDIT = 1001,
    IDC_SEND = 4,
    IDC_LOOP = 1004,
    IDC_WEIGHT = 1002,
    IDC_GAUGE = 1003,
    IDC_STATUS = 1010,
    IDC_GROUP = 1011,
    IDC_STOP = 3,
    IDC_CANCEL = 2,
    IDC_SCALE = 1007,
};

inline constexpr const char* kFakeClsid = "{0A1B2C3D-0000-4000-8000-00000000F00D}";

// A control that records what it is called with. Dispids: 1 Echo(BSTR in, BSTR* out) puts "<in>!"
// into *out and returns the length; 2 Value (LONG, get/put); 3 Enabled (BOOL, get/put); 4 raises
// its own exception; 5 is an unknown member; 6 returns a string result.
class FakeControl : public CHostedControl
{
public:
    HRESULT Invoke(DISPID dispid, WORD wFlags, std::span<VARIANT> args, VARIANT* pResult, EXCEPINFO* pExcepInfo) override;
    void Load(std::span<const BYTE> persisted) override;

    static FakeControl* last;           // the most recently created instance
    static std::vector<BYTE> lastLoaded; // what the most recent instance was loaded with
    static int liveCount;

    FakeControl() { last = this; ++liveCount; }
    ~FakeControl() override { if (last == this) last = nullptr; --liveCount; }

    LONG value = 0;
    VARIANT_BOOL enabled = VARIANT_FALSE;
    VARTYPE lastPutType = VT_EMPTY;
};

class FrameworkTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

private:
    const AFX_RESOURCES* m_previous = nullptr;
};
