// The USB HID POS scales present on Windows, for tarabo-scales list. Found through the Windows HID
// API where that layer is built; until then HidScalesWin32.cpp finds none.
#pragma once

#include "scales-tool/ToolPlatform.h"

#include <vector>

std::vector<HidScaleEntry> ListWindowsHidScales();
