// What tests may set for the framework, for every backend: the script a test runs inside the next
// modal loop of a dialog, and the timers' speed-up. The program only reads them; the test library
// (AfxTestingCommon.cpp) sets them.
#include "framework/private/AfxTestHooks.h"

#include <algorithm>

namespace {
unsigned g_timerSpeedup = 1;

struct ModalScript
{
    CDialog* dialog = nullptr;
    std::function<void()> script;
} g_modalScript;
}

std::function<void()> AfxTakeModalScript(CDialog* pDialog)
{
    if (g_modalScript.dialog != pDialog)
        return {};
    g_modalScript.dialog = nullptr;
    return std::move(g_modalScript.script);
}

void AfxSetModalScript(CDialog* pDialog, std::function<void()> script) { g_modalScript = {pDialog, std::move(script)}; }

void AfxSetTimerDivisor(unsigned factor) { g_timerSpeedup = std::max(1u, factor); }

UINT AfxTimerPeriod(UINT nElapse) { return std::max(1u, nElapse / g_timerSpeedup); }
