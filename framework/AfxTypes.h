// Basic types, constants and message numbers: the platform's own (win32/AfxPlatform.h: the
// real Windows headers on Win32), plus the framework's command ids.
#pragma once

#if defined(_WIN32)
#include "framework/win32/AfxPlatform.h"
#else
#include "framework/AfxWindowsTypes.h"
#endif

inline constexpr UINT ID_HELP = 0xE146; // the framework's help command
