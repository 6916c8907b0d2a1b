// The script a test runs inside the next modal loop of a dialog, for every backend.
#include "AfxTestHooks.h"

#include "AfxTesting.h"

namespace {
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
