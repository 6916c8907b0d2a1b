#include "framework/CString.h"

#include "framework/Resources.h"

#include <cstdarg>
#include <cstdio>

void CString::Format(LPCTSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(nullptr, 0, pszFormat, args);
    va_end(args);
    if (needed < 0) {
        va_end(again);
        m_str.clear();
        return;
    }
    std::string out(std::size_t(needed) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), pszFormat, again);
    va_end(again);
    out.resize(std::size_t(needed));
    m_str = std::move(out);
}

BOOL CString::LoadString(UINT nID)
{
    const char* text = AfxFindString(nID);
    m_str = text ? text : "";
    return text != nullptr;
}
