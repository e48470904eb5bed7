#pragma once
// The module this code is linked into: its handle, its path, and a pin that
// keeps it loaded for code the system calls back without an object of ours.
#include <windows.h>

#include <string>

namespace zx {

HMODULE ThisModule();
std::wstring ThisModulePath();

// Keeps the module loaded until the process ends, whatever DllCanUnloadNow
// answers: for code the system or COM calls back without an object of ours
// being alive (window timers, the per-thread watch of the apartment's end).
void KeepModuleLoaded();

}  // namespace zx
