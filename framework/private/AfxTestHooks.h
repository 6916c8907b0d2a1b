// Framework-internal: what the test support sets for the framework's next steps, on every backend.
#pragma once

#include "AfxTypes.h"

#include <functional>

class CDialog;

// The script AfxRunModal set for this dialog (then cleared); empty when there is none.
std::function<void()> AfxTakeModalScript(CDialog* pDialog);

// The period a timer set for nElapse ms runs at: divided by AfxSetTimerSpeedup's factor, at least 1 ms.
UINT AfxTimerPeriod(UINT nElapse);
