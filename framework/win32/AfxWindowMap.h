// Kept for the Windows benchmarks, which name the header here; the binding is win32/AfxWindowImpl.h,
// as in the Qt backend.
#pragma once

#include "framework/win32/AfxWindowImpl.h"
