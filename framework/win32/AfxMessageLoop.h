// Framework-internal: the message loop every modal loop of the framework runs, with the dialog keys
// the framework handles before the dialog manager does.
//
// Enter: on a focused push button it clicks the button; in an edit box it clicks the first push
// button after the box in tab order; anywhere else it does nothing. The dialog manager alone would
// send the default command (IDOK when the template names none), and losing the console to a key
// meant to send a command would be a fault. F1 sends WM_COMMAND ID_HELP to the dialog.
#pragma once

#include "framework/win32/AfxPlatform.h"

#include <functional>

// Takes one message and processes it; false when it was WM_QUIT (posted again for the outer loop).
bool AfxPumpMessage();
// Processes the messages waiting now.
void AfxPumpWaitingMessages();
// Runs fn on the user-interface thread after delayMs, from whatever loop is running then.
void AfxPostCall(UINT delayMs, std::function<void()> fn);
