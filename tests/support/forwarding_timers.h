#pragma once
// A client's own timer collection, as a client may store it as a group's
// TimerItems: it passes every call on to the library's collection. Tests
// derive from it to change single members. Include the library's header
// (zentrix.h) first.
#include <windows.h>
#include <oaidl.h>

namespace zxclient {

class ForwardingTimers : public _clsVxTimeTimerItemsA {
public:
    explicit ForwardingTimers(_clsVxTimeTimerItemsA* inner) : inner_(inner) {}
    virtual ~ForwardingTimers() = default;
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(_clsVxTimeTimerItemsA)) ? this
                                                                                                         : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return inner_->GetTypeInfoCount(count); }
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return inner_->GetTypeInfo(index, lcid, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
        return inner_->GetIDsOfNames(riid, names, count, lcid, ids);
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Remove(LONG* index) override { return inner_->Remove(index); }
    STDMETHODIMP Clear() override { return inner_->Clear(); }
    STDMETHODIMP get_Count(LONG* count) override { return inner_->get_Count(count); }
    STDMETHODIMP get_Item(VARIANT* index, _clsVxTimeTimerItemA** item) override { return inner_->get_Item(index, item); }
    STDMETHODIMP CheckExistance(LONG* hWnd, LONG* timerId, VARIANT_BOOL* found) override {
        return inner_->CheckExistance(hWnd, timerId, found);
    }
    STDMETHODIMP Add(LONG* timerId, AdditionalArguStru* record, LONG* elapse, TimerTimeUnitsTimeConstants* units,
                     VARIANT_BOOL* repeat, BSTR* owner, VARIANT* result) override {
        return inner_->Add(timerId, record, elapse, units, repeat, owner, result);
    }

    ULONG references = 1;

private:
    _clsVxTimeTimerItemsA* inner_;
};

// A client's collection that counts the timers fetched from it.
class CountingTimers final : public ForwardingTimers {
public:
    using ForwardingTimers::ForwardingTimers;
    STDMETHODIMP get_Item(VARIANT* index, _clsVxTimeTimerItemA** item) override {
        ++items;
        return ForwardingTimers::get_Item(index, item);
    }

    int items = 0;
};

}  // namespace zxclient
