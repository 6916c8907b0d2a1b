// Resources and a fake hosted control shared by the framework tests, installed for the whole test
// program before the first test.
#pragma once

#include "framework/AfxTesting.h"
#include "framework/afxwin.h"

#include <gtest/gtest.h>

#include <vector>

// Dialog templates: every item kind and a hosted control; no control; an unregistered control;
// an icon and OK; no such template.
inline constexpr UINT IDD_TEST = 900, IDD_PLAIN = 901, IDD_UNKNOWN_CTL = 902, IDD_ABOUT_TEST = 903, IDD_MISSING = 999,
                      IDI_TEST = 128;

// Items of IDD_TEST, in tab order.
enum : int {
    IDC_EDIT = 1001, IDC_SEND = 4, IDC_LOOP = 1004, IDC_WEIGHT = 1002, IDC_GAUGE = 1003,
    IDC_STATUS = 1010, IDC_GROUP = 1011, IDC_STOP = 3, IDC_CANCEL = 2, IDC_SCALE = 1007,
};

// A control that records what it is called with. Dispids: 1 Echo(BSTR in, BSTR* out) puts "<in>!"
// into *out and returns the length; 2 a property of any type, kept as it was put; 4 raises its own
// exception; 6 returns a string result; any other is an unknown member.
class FakeControl : public CHostedControl
{
public:
    HRESULT Invoke(DISPID dispid, WORD wFlags, std::span<VARIANT> args, VARIANT* pResult, EXCEPINFO* pExcepInfo,
                   UINT* puArgErr = nullptr) override;
    void Load(std::span<const BYTE> persisted) override { lastLoaded.assign(persisted.begin(), persisted.end()); }

    static inline FakeControl* last = nullptr; // the most recently created instance
    static inline std::vector<BYTE> lastLoaded;
    static inline int liveCount = 0;

    FakeControl() { last = this; ++liveCount; }
    ~FakeControl() override { if (last == this) last = nullptr; --liveCount; }

    VARIANT property{};
};
