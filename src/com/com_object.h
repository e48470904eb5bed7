#pragma once
// The common base of the component's automation objects: reference counting
// that keeps the module loaded, IDispatch from the type library, and
// ISupportErrorInfo for the default interface.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <atomic>
#include <new>
#include <utility>

#include "com/dispatch.h"
#include "com/module.h"
#include "com/type_library.h"

namespace zx {

using Microsoft::WRL::ComPtr;

// Interface: the default dual interface; Extra: further interfaces whose
// QueryInterface the derived class answers in QueryExtra.
template <class Interface, class... Extra>
class AutomationObject : public Interface, public ISupportErrorInfo, public Extra... {
public:
    AutomationObject(const AutomationObject&) = delete;
    AutomationObject& operator=(const AutomationObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(Interface)) {
            *out = static_cast<Interface*>(this);
        } else if (riid == IID_ISupportErrorInfo) {
            *out = static_cast<ISupportErrorInfo*>(this);
        } else {
            *out = QueryExtra(riid);
        }
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        ITypeInfo* found = TypeInfoOf(__uuidof(Interface));
        if (!found) return TYPE_E_CANTLOADLIBRARY;
        found->AddRef();
        *info = found;
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* info = TypeInfoOf(__uuidof(Interface));
        if (!info) return TYPE_E_CANTLOADLIBRARY;
        return IdsOfNamesByTypeInfo(info, names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* info = VtableInfo();
        if (!info) return TYPE_E_CANTLOADLIBRARY;
        // The object stays alive through the call whatever the member does.
        ComPtr<Interface> self(static_cast<Interface*>(this));
        return InvokeByTypeInfo(info, self.Get(), member, flags, params, result, exception, argError);
    }

    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == __uuidof(Interface) ? S_OK : S_FALSE;
    }

protected:
    AutomationObject() { ObjectCreated(); }
    virtual ~AutomationObject() { ObjectDestroyed(); }
    virtual void* QueryExtra(REFIID) { return nullptr; }

private:
    // The function table's description, looked up once per interface rather
    // than under the type library's lock on every call (the descriptions
    // live as long as the process; a failed look-up is tried again).
    static ITypeInfo* VtableInfo() noexcept {
        static std::atomic<ITypeInfo*> cached{nullptr};
        ITypeInfo* info = cached.load(std::memory_order_acquire);
        if (!info) {
            info = VtableTypeInfoOf(__uuidof(Interface));
            cached.store(info, std::memory_order_release);
        }
        return info;
    }

    LONG references_ = 0;  // the first owner is the ComPtr that MakeObject returns
};

// Creates an object whose one reference the returned pointer owns.
template <class T, class... Args>
ComPtr<T> MakeObject(Args&&... args) {
    return ComPtr<T>(new T(std::forward<Args>(args)...));
}

}  // namespace zx
