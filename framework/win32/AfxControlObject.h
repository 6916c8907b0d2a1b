// Framework-internal: the controls of the registry as COM objects. Each registered class id has a
// class object in the process (CoRegisterClassObject), so hosting reaches them through CoCreateInstance
// as it reaches any other control. An object wraps a CHostedControl in a real IDispatch (arguments
// arrive in reverse order, a property's value as the named DISPID_PROPERTYPUT argument), takes its
// persisted state through IPersistStreamInit and answers the container through a minimal IOleObject.
// An in-process server (a DLL) hands out the same class objects from DllGetClassObject.
#pragma once

#include "framework/Automation.h"

// Publishes every registered class; from then on registry changes are published as they happen.
// Needs COM initialised on the calling thread.
void AfxPublishControlClasses();

// A class object whose instances wrap controls made by `factory`, as DllGetClassObject answers.
HRESULT AfxGetControlClassObject(REFCLSID clsid, AFX_CONTROL_FACTORY factory, REFIID riid, void** ppv);
// Whether any class object or control object is alive, or a server lock is held: while one is, the
// DLL that serves them must stay loaded (DllCanUnloadNow).
bool AfxControlServerInUse();
