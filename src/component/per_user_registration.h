#pragma once
// Registration for the current user only (DllInstall with the command line
// "user"): the same class and ProgID keys as the machine-wide registration,
// written under HKEY_CURRENT_USER\Software\Classes, and the type libraries
// registered for the user. Needs no administrator rights.
#include <windows.h>

namespace zx {

// DllInstall: `install` registers, otherwise unregisters. Any command line
// other than "user" (letter case aside) is refused with E_INVALIDARG.
HRESULT InstallComponent(BOOL install, LPCWSTR commandLine);

}  // namespace zx
