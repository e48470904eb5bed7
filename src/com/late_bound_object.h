#pragma once
// The base of the component's small objects that are reached by name only
// and have no type description: reference counting that keeps the module
// loaded, IUnknown and the type-information half of IDispatch.
#include <windows.h>
#include <oaidl.h>

#include "com/module.h"

namespace zx {

class LateBoundObject : public IDispatch {
public:
    LateBoundObject(const LateBoundObject&) = delete;
    LateBoundObject& operator=(const LateBoundObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = (riid == IID_IUnknown || riid == IID_IDispatch) ? static_cast<IDispatch*>(this) : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG left = InterlockedDecrement(&references_);
        if (!left) delete this;
        return left;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }

protected:
    LateBoundObject() { ObjectCreated(); }
    virtual ~LateBoundObject() { ObjectDestroyed(); }

private:
    LONG references_ = 0;  // the first owner is the ComPtr that creates it
};

}  // namespace zx
