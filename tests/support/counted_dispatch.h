#pragma once
// A client's dispatch object for the tests and the soak benchmark: it counts
// its references (starting with the test's own) and answers IUnknown,
// IDispatch and both event interfaces of the library; derived classes say
// what its calls do. Include the library's header (zentrix.h) first.
#include <windows.h>
#include <oaidl.h>

namespace zxclient {

class CountedDispatch : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID___clsVxTimeTimerMainA ||
                riid == DIID___clsVxTimeTimerEventsA)
                   ? static_cast<IDispatch*>(this)
                   : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    ULONG references = 1;

protected:
    CountedDispatch() = default;
    virtual ~CountedDispatch() = default;
};

}  // namespace zxclient
