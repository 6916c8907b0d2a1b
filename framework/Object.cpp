#include "framework/Object.h"

#include <cstring>
#include <vector>

namespace {
// Classes registered by IMPLEMENT_DYNCREATE; filled during static initialisation.
std::vector<const CRuntimeClass*>& dynamicClasses()
{
    static std::vector<const CRuntimeClass*> s_classes;
    return s_classes;
}
}

const CRuntimeClass CObject::classCObject = {"CObject", nullptr, nullptr};

const CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }

CObject* CRuntimeClass::CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const
{
    for (const CRuntimeClass* p = this; p; p = p->m_pBaseClass)
        if (p == pBaseClass)
            return TRUE;
    return FALSE;
}

const CRuntimeClass* CRuntimeClass::FromName(const char* lpszClassName)
{
    if (!lpszClassName)
        return nullptr;
    for (const CRuntimeClass* p : dynamicClasses())
        if (std::strcmp(p->m_lpszClassName, lpszClassName) == 0)
            return p;
    return nullptr;
}

AFX_CLASSINIT::AFX_CLASSINIT(const CRuntimeClass* pClass) { dynamicClasses().push_back(pClass); }
