#pragma once
// Self-registration: the type libraries, then each creatable class with its
// ProgID. Unregistration removes exactly those entries.
#include <windows.h>

namespace zx {

HRESULT RegisterComponent();
HRESULT UnregisterComponent();

}  // namespace zx
