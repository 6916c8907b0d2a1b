// What tests set for the framework, for every backend: the script a test runs inside the next
// modal loop of a dialog, and the timers' speed-up.
#include "private/AfxTestHooks.h"

#include "AfxTesting.h"

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

INT_PTR AfxRunModal(CDialog& dlg, std::function<void()> script)
{
    g_modalScript = {&dlg, std::move(script)};
    const INT_PTR result = dlg.DoModal();
    g_modalScript = {};
    return result;
}

void AfxSetTimerSpeedup(unsigned factor) { g_timerSpeedup = std::max(1u, factor); }

UINT AfxTimerPeriod(UINT nElapse) { return std::max(1u, nElapse / g_timerSpeedup); }
