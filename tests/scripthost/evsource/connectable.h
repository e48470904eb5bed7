// The event side shared by the test objects: each object is its own
// connection point container and only connection point, for one event
// dispinterface, and describes its class through IProvideClassInfo2.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <vector>

namespace zxtest {

using Microsoft::WRL::ComPtr;

extern HMODULE gModule;
extern LONG gObjects;  // live objects, for DllCanUnloadNow

// The type library in this module's resources.
HRESULT LoadModuleTypeLib(ITypeLib** lib);

class Connectable : public IProvideClassInfo2, public IConnectionPointContainer, public IConnectionPoint {
public:
    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** ti) override { return classInfo_.CopyTo(ti); }
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override {
        if (!guid) return E_POINTER;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *guid = events_;
        return S_OK;
    }

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** cp) override {
        if (!cp) return E_POINTER;
        *cp = nullptr;
        if (iid != events_) return CONNECT_E_NOCONNECTION;
        *cp = static_cast<IConnectionPoint*>(this);
        (*cp)->AddRef();
        return S_OK;
    }

    // IConnectionPoint
    STDMETHODIMP GetConnectionInterface(IID* iid) override {
        *iid = events_;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** c) override {
        *c = this;
        (*c)->AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
        ComPtr<IDispatch> disp;
        if (!sink || !cookie) return E_POINTER;
        if (FAILED(sink->QueryInterface(events_, reinterpret_cast<void**>(disp.GetAddressOf()))))
            return CONNECT_E_CANNOTCONNECT;
        sinks_.push_back({++lastCookie_, disp});
        *cookie = lastCookie_;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        for (auto it = sinks_.begin(); it != sinks_.end(); ++it)
            if (it->cookie == cookie) {
                sinks_.erase(it);
                return S_OK;
            }
        return CONNECT_E_NOCONNECTION;
    }
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

protected:
    Connectable(REFIID events, REFCLSID cls) : events_(events), class_(cls) {}

    // Loads the class description and the description of `dispatch`, the
    // interface that IDispatch answers for.
    HRESULT Describe(REFIID dispatch, ComPtr<ITypeLib>* lib) {
        HRESULT hr = LoadModuleTypeLib(lib->ReleaseAndGetAddressOf());
        if (SUCCEEDED(hr)) hr = (*lib)->GetTypeInfoOfGuid(dispatch, &dispatchInfo_);
        if (SUCCEEDED(hr)) hr = (*lib)->GetTypeInfoOfGuid(class_, &classInfo_);
        return hr;
    }

    // Answers QueryInterface for the interfaces of this class.
    bool Answer(REFIID riid, void** ppv) {
        if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2)
            *ppv = static_cast<IProvideClassInfo2*>(this);
        else if (riid == IID_IConnectionPointContainer)
            *ppv = static_cast<IConnectionPointContainer*>(this);
        else if (riid == IID_IConnectionPoint)
            *ppv = static_cast<IConnectionPoint*>(this);
        else
            return false;
        return true;
    }

    void Fire(DISPID id, VARIANT* args, UINT n) {
        DISPPARAMS dp{args, nullptr, n, 0};
        std::vector<Sink> sinks = sinks_;  // a handler may disconnect
        for (auto& s : sinks) {
            VARIANT result;
            VariantInit(&result);
            s.disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, &result, nullptr, nullptr);
            VariantClear(&result);
        }
    }

    ComPtr<ITypeInfo> dispatchInfo_, classInfo_;

private:
    struct Sink {
        DWORD cookie;
        ComPtr<IDispatch> disp;
    };
    const IID events_;
    const CLSID class_;
    DWORD lastCookie_ = 0;
    std::vector<Sink> sinks_;
};

// A test object whose default interface is `Interface`: reference counting,
// IDispatch through the type library and the event side above.
template <class Interface>
class ConnectableObject : public Interface, public Connectable {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(Interface))
            *ppv = static_cast<Interface*>(this);
        else if (!Answer(riid, ppv))
            return *ppv = nullptr, E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return ULONG(n);
    }

    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT i, LCID, ITypeInfo** ti) override {
        if (i) return DISP_E_BADINDEX;
        return dispatchInfo_.CopyTo(ti);
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT n, LCID, DISPID* ids) override {
        return dispatchInfo_->GetIDsOfNames(names, n, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* dp, VARIANT* result, EXCEPINFO* ei,
                        UINT* argErr) override {
        return dispatchInfo_->Invoke(static_cast<Interface*>(this), id, flags, dp, result, ei, argErr);
    }

protected:
    ConnectableObject(REFIID events, REFCLSID cls) : Connectable(events, cls) { InterlockedIncrement(&gObjects); }
    virtual ~ConnectableObject() { InterlockedDecrement(&gObjects); }
    HRESULT Describe(ComPtr<ITypeLib>* lib) { return Connectable::Describe(__uuidof(Interface), lib); }

private:
    LONG refs_ = 0;  // the first owner is the ComPtr that creates it
};

// Creates an object of a class with `HRESULT init()`, answering for `riid`.
template <class T>
HRESULT CreateObject(REFIID riid, void** ppv) {
    ComPtr<T> obj(new T);
    HRESULT hr = obj->init();
    return FAILED(hr) ? hr : obj->QueryInterface(riid, ppv);
}

}  // namespace zxtest
