#pragma once
// Self-registration: the type libraries, then each creatable class with its
// ProgID. Unregistration removes exactly those entries.
#include <windows.h>
#include <oleauto.h>

namespace zx {

// Where the registration goes: the classes root that receives the class and
// ProgID keys, and the functions that register and unregister a type library
// there.
struct RegistrationTarget {
    HKEY classesRoot;
    HRESULT(WINAPI* registerTypeLib)(ITypeLib*, LPOLESTR, LPOLESTR);
    HRESULT(WINAPI* unregisterTypeLib)(REFGUID, WORD, WORD, LCID, SYSKIND);
};

// Machine-wide: HKEY_CLASSES_ROOT, RegisterTypeLib and UnRegisterTypeLib.
RegistrationTarget MachineRegistration();

HRESULT RegisterComponent();
HRESULT UnregisterComponent();
HRESULT RegisterComponent(const RegistrationTarget& target);
HRESULT UnregisterComponent(const RegistrationTarget& target);

}  // namespace zx
