#pragma once
// Module-wide counts that decide whether the DLL may be unloaded, and the
// module's own handle and path.
#include <windows.h>

#include <string>

namespace zx {

void ObjectCreated();
void ObjectDestroyed();
void LockModule(bool lock);
long LiveObjectCount();
bool CanUnload();

// Keeps the module loaded until the process ends, whatever DllCanUnloadNow
// answers: for code the system or COM calls back without an object of ours
// being alive (window timers, the per-thread watch of the apartment's end).
void KeepModuleLoaded();

HMODULE ThisModule();
std::wstring ThisModulePath();

}  // namespace zx
