#pragma once
// Module-wide counts that decide whether the DLL may be unloaded: live
// objects and client locks on the class factories.
namespace zx {

void ObjectCreated();
void ObjectDestroyed();
void LockModule(bool lock);
long LiveObjectCount();
bool CanUnload();

}  // namespace zx
