#include "opos/DeviceLibrariesWin32.h"

#include <optional>
#include <string>

namespace opos {

namespace {
template <class Function>
void find(HMODULE library, Function& function, const char* name, bool& all)
{
    function = library ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name))) : nullptr;
    all = all && function;
}
}

HMODULE LoadSystemLibrary(const wchar_t* name)
{
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    return ::LoadLibraryW((std::wstring(folder, length) + L"\\" + name).c_str());
}

#define TARABO_FIND(name) find(library, functions.name, #name, all);

const SetupApiFunctions* SetupApi()
{
    static const std::optional<SetupApiFunctions> loaded = [] {
        const HMODULE library = LoadSystemLibrary(L"setupapi.dll");
        SetupApiFunctions functions;
        bool all = true;
        TARABO_SETUPAPI_FUNCTIONS(TARABO_FIND)
        return all ? std::optional(functions) : std::nullopt;
    }();
    return loaded ? &*loaded : nullptr;
}

const HidFunctions* HidLibrary()
{
    static const std::optional<HidFunctions> loaded = [] {
        const HMODULE library = LoadSystemLibrary(L"hid.dll");
        HidFunctions functions;
        bool all = true;
        TARABO_HID_FUNCTIONS(TARABO_FIND)
        return all ? std::optional(functions) : std::nullopt;
    }();
    return loaded ? &*loaded : nullptr;
}

}
