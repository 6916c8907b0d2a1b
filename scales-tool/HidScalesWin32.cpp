#include "scales-tool/HidScalesWin32.h"

// A stand-in until the Windows HID layer (opos/hid) lists scales: none are found.
std::vector<HidScaleEntry> ListWindowsHidScales() { return {}; }
