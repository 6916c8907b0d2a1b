// The Win32 calls under a COM-port line (SerialLineWin32.cpp) that decide how its I/O ends, as one
// table of the real functions: a test puts a call that fails, pends or never completes in place of
// one, and sees what the line and the service above it make of that.
#pragma once

#include <windows.h>

namespace opos::serial {

struct SerialWin32Calls
{
    decltype(&::ReadFile) readFile = ::ReadFile;
    decltype(&::WriteFile) writeFile = ::WriteFile;
    decltype(&::GetOverlappedResult) getOverlappedResult = ::GetOverlappedResult;
    decltype(&::CancelIoEx) cancelIoEx = ::CancelIoEx;
    decltype(&::ClearCommError) clearCommError = ::ClearCommError;
};

// The calls every line makes: the real ones unless a test has replaced some.
SerialWin32Calls& SerialLineCalls();

}
