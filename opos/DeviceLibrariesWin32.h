// The functions of setupapi.dll and hid.dll that the device code calls, found the first time they
// are needed rather than imported: a program that lists no device and opens no HID scale does
// without both libraries (under Wine, about 130 KiB of its working set and some milliseconds of
// its start-up).
#pragma once

#include <windows.h>
#include <setupapi.h>
// MinGW's HID headers declare C functions without saying so.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}

namespace opos {

#define TARABO_SETUPAPI_FUNCTIONS(X)                                                                                            \
    X(SetupDiGetClassDevsW) X(SetupDiEnumDeviceInterfaces) X(SetupDiGetDeviceInterfaceDetailW) X(SetupDiEnumDeviceInfo)         \
        X(SetupDiOpenDevRegKey) X(SetupDiGetDeviceRegistryPropertyW) X(SetupDiDestroyDeviceInfoList)
#define TARABO_HID_FUNCTIONS(X)                                                                                                 \
    X(HidD_GetHidGuid) X(HidD_GetPreparsedData) X(HidD_FreePreparsedData) X(HidD_GetAttributes) X(HidD_GetProductString)        \
        X(HidD_GetFeature) X(HidD_GetInputReport) X(HidD_SetFeature) X(HidD_SetOutputReport) X(HidP_GetCaps)                    \
            X(HidP_GetValueCaps) X(HidP_GetButtonCaps) X(HidP_GetUsageValue) X(HidP_MaxUsageListLength) X(HidP_GetUsages)       \
                X(HidP_InitializeReportForID) X(HidP_SetUsages)

#define TARABO_FUNCTION_POINTER(name) decltype(&::name) name = nullptr;
struct SetupApiFunctions
{
    TARABO_SETUPAPI_FUNCTIONS(TARABO_FUNCTION_POINTER)
};
struct HidFunctions
{
    TARABO_HID_FUNCTIONS(TARABO_FUNCTION_POINTER)
};
#undef TARABO_FUNCTION_POINTER

// A library of Windows' own, loaded from the system folder by its full name: never one of the same
// name in the program's folder or the current one. Null when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

// Loaded once and kept for the process; null when the library, or one of its functions, is missing.
const SetupApiFunctions* SetupApi();
const HidFunctions* HidLibrary();

}
