// The root object and runtime classes with dynamic creation by name.
#pragma once

#include "framework/AfxTypes.h"

class CObject;

struct CRuntimeClass
{
    const char* m_lpszClassName;
    CObject* (*m_pfnCreateObject)();
    const CRuntimeClass* m_pBaseClass;

    CObject* CreateObject() const; // nullptr for a class without dynamic creation
    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
    static const CRuntimeClass* FromName(const char* lpszClassName); // classes declared dynamic
};

class CObject
{
public:
    virtual ~CObject() = default;
    virtual const CRuntimeClass* GetRuntimeClass() const;
    BOOL IsKindOf(const CRuntimeClass* pClass) const { return GetRuntimeClass()->IsDerivedFrom(pClass); }
    static const CRuntimeClass classCObject;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                                                                  \
public:                                                                                              \
    static const CRuntimeClass class##class_name;                                                    \
    const CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name)                                                                \
    DECLARE_DYNAMIC(class_name)                                                                      \
    static CObject* CreateObject();

// Registers the class under its name so that CRuntimeClass::FromName finds it.
struct AFX_CLASSINIT
{
    explicit AFX_CLASSINIT(const CRuntimeClass* pClass);
};

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                               \
    const CRuntimeClass class_name::class##class_name = { #class_name, nullptr, RUNTIME_CLASS(base_class_name) }; \
    const CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }

#define IMPLEMENT_DYNCREATE(class_name, base_class_name)                                             \
    CObject* class_name::CreateObject() { return new class_name; }                                   \
    const CRuntimeClass class_name::class##class_name = { #class_name, &class_name::CreateObject,   \
                                                          RUNTIME_CLASS(base_class_name) };          \
    static const AFX_CLASSINIT _init_##class_name(RUNTIME_CLASS(class_name));                       \
    const CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }
