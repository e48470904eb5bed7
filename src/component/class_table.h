#pragma once
// The static description of the component that registration, the class
// factories and the unload test read.
#include <windows.h>

#include <span>

namespace zx {

struct ClassEntry {
    const wchar_t* name;           // class name; the ProgID is "Zentrix." + name
    const CLSID* clsid;
    const IID* defaultInterface;
    const IID* eventInterface;     // null for classes without events
    // Creates an object, runs its creation step and returns the interface
    // asked for; null for classes clients cannot create.
    HRESULT (*create)(REFIID riid, void** out);
};

extern const wchar_t kLibraryName[];
extern const wchar_t kThreadingModel[];
std::span<const ClassEntry> ComponentClasses();
const ClassEntry* FindClass(REFCLSID clsid);

}  // namespace zx
