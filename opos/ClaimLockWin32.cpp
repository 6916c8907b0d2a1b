// The claim as a named event: whoever creates it holds the claim; anyone who finds it there
// already lets go of the handle at once. The event never gets signalled; only its name counts.
#include "opos/ClaimLock.h"

#ifndef NOMINMAX
#define NOMINMAX // std::min, not the macro
#endif
#include <windows.h>

#include <algorithm>

namespace opos {

namespace {

// "Global\" so that a terminal's other sessions see the claim too. A backslash would name a
// namespace, so it stands as a slash in the device part.
std::wstring EventName(const std::u16string& deviceName)
{
    std::wstring name = L"Global\\tarabo-opos-claim-";
    for (char16_t c : deviceName)
        name += c == u'\\' ? L'/' : wchar_t(c);
    name.resize(std::min<std::size_t>(name.size(), MAX_PATH - 1));
    return name;
}

}

void ClaimLock::Release()
{
    if (Held())
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
    m_handle = kNotHeld;
}

bool ClaimLock::TryOnce()
{
    if (Held())
        return true;
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, EventName(m_deviceName).c_str());
    if (!event)
        return false;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(event);
        return false;
    }
    m_handle = reinterpret_cast<std::intptr_t>(event);
    return true;
}

}
