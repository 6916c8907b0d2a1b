// Framework-internal: what the test support sets for the framework's next steps, on every backend.
#pragma once

#include "framework/AfxTypes.h"

#include <functional>

class CDialog;

// The script AfxRunModal set for this dialog (then cleared); empty when there is none.
std::function<void()> AfxTakeModalScript(CDialog* pDialog);

// Sets the script the next modal loop of pDialog runs once the dialog is up; nullptr clears it.
void AfxSetModalScript(CDialog* pDialog, std::function<void()> script);

// Divides every timer period set from now on by factor (at least 1).
void AfxSetTimerDivisor(unsigned factor);

// The period a timer set for nElapse ms runs at: divided by AfxSetTimerSpeedup's factor, at least 1 ms.
UINT AfxTimerPeriod(UINT nElapse);
