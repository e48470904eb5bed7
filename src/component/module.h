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

HMODULE ThisModule();
std::wstring ThisModulePath();

}  // namespace zx
