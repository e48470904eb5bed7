#include "com/class_factory.h"

#include "com/module.h"

namespace zx {

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = (riid == IID_IUnknown || riid == IID_IClassFactory) ? static_cast<IClassFactory*>(this) : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return create_(riid, out);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
    LockModule(lock);
    return S_OK;
}

}  // namespace zx
