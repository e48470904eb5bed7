#pragma once
// The classes of the component, as the IDL declares them, with the
// creation function of each creatable one: what registration, the class
// factories and the unload test read.
#include <windows.h>

#include <span>

namespace zx {

struct ClassEntry {
    const wchar_t* name;  // class name; the ProgID is the library's name, ".", the class name
    const CLSID* clsid;
    // Creates an object, runs its creation step and returns the interface
    // asked for; null for classes clients cannot create.
    HRESULT (*create)(REFIID riid, void** out);
};

extern const wchar_t kThreadingModel[];
// Every class of the IDL, in its order.
std::span<const ClassEntry> ComponentClasses();

// The factory of a creatable class, or CLASS_E_CLASSNOTAVAILABLE.
HRESULT GetClassFactory(REFCLSID clsid, REFIID riid, void** out);

}  // namespace zx
