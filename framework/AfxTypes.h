// Basic types, constants and message numbers: the platform's own (the backend's AfxPlatform.h, found
// through the include path: the real Windows headers on Win32), plus the framework's command ids.
#pragma once

#include "AfxPlatform.h"

inline constexpr UINT ID_HELP = 0xE146; // the framework's help command
