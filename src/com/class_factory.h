#pragma once
// The class factory of each creatable class: static objects that keep the
// module loaded only while a client locks them.
#include <windows.h>
#include <unknwn.h>

namespace zx {

// The factory of a creatable class, or CLASS_E_CLASSNOTAVAILABLE.
HRESULT GetClassFactory(REFCLSID clsid, REFIID riid, void** out);

}  // namespace zx
