// 8-bit string of the process code page, with the operations the program uses.
#pragma once

#include "framework/AfxTypes.h"

#include <string>

class CString
{
public:
    CString() = default;
    CString(LPCTSTR psz) : m_str(psz ? psz : "") {}
    CString(std::string s) : m_str(std::move(s)) {}

    // printf-style; where the platform's types allow it, the compiler checks the arguments.
    void Format(LPCTSTR pszFormat, ...) AFX_PRINTF_FORMAT(2, 3);
    // Loads a string of the application's string table; false (and empty) when there is none.
    BOOL LoadString(UINT nID);

    int GetLength() const { return int(m_str.size()); }
    BOOL IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    operator LPCTSTR() const { return m_str.c_str(); }
    const std::string& str() const { return m_str; }

    CString& operator+=(const CString& s) { m_str += s.m_str; return *this; }
    CString& operator+=(LPCTSTR psz) { if (psz) m_str += psz; return *this; }
    CString& operator+=(char ch) { m_str += ch; return *this; }
    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_str + b.m_str); }
    friend CString operator+(const CString& a, LPCTSTR b) { return CString(a.m_str + (b ? b : "")); }
    friend CString operator+(LPCTSTR a, const CString& b) { return CString((a ? a : "") + b.m_str); }
    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, LPCTSTR b) { return a.m_str == (b ? b : ""); }

private:
    std::string m_str;
};
