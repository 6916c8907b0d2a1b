// The test support that every backend shares: it sets the hooks the framework reads
// (private/AfxTestHooks.h). Part of the test library, not of the program.
#include "framework/AfxTesting.h"
#include "framework/private/AfxTestHooks.h"

INT_PTR AfxRunModal(CDialog& dlg, std::function<void()> script)
{
    AfxSetModalScript(&dlg, std::move(script));
    const INT_PTR result = dlg.DoModal();
    AfxSetModalScript(nullptr, {});
    return result;
}

void AfxSetTimerSpeedup(unsigned factor) { AfxSetTimerDivisor(factor); }
