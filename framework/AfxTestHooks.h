// Framework-internal: what the test support hands to the next DoModal of a dialog.
#pragma once

#include <functional>

class CDialog;

// The script AfxRunModal set for this dialog (then cleared); empty when there is none.
std::function<void()> AfxTakeModalScript(CDialog* pDialog);
