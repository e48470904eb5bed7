#pragma once
// The soak benchmark's client: the library loaded from its file (no
// registration needed), its objects reached the way a script client reaches
// them, and one operation of each class the benchmark measures.
#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <string>

#include "zentrix.h"
#include "counted_dispatch.h"

namespace zxsoak {

using Microsoft::WRL::ComPtr;

// A late-bound caller: members by name (looked up once), arguments by
// value or by reference, results released as a client releases them.
class LateBound {
public:
    explicit LateBound(IDispatch* object) : object_(object) {}
    DISPID Id(const wchar_t* name);
    // Invoke with `args` in call order; the result, if any, is cleared.
    HRESULT Call(const wchar_t* name, WORD flags, VARIANT* args = nullptr, UINT count = 0);
    // The same, keeping the result for the caller (who clears it).
    HRESULT Get(const wchar_t* name, VARIANT* result, VARIANT* args = nullptr, UINT count = 0);
    HRESULT Put(const wchar_t* name, VARIANT value, WORD flags = DISPATCH_PROPERTYPUT);
    IDispatch* Object() const { return object_.Get(); }

private:
    ComPtr<IDispatch> object_;
    std::wstring names_[24];
    DISPID ids_[24] = {};
    int known_ = 0;
};

// A connection-point sink that counts the events it hears.
class CountingSink final : public zxclient::CountedDispatch {
public:
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        ++events;
        return S_OK;
    }
    long long events = 0;
};

// The library's file, its class objects and one client set-up: a service
// object with a connected sink, a window group for a hidden window and one
// timer in it.
class Client {
public:
    bool Load(const std::wstring& dll);
    HRESULT Create(REFCLSID clsid, IDispatch** object);
    // A fresh set-up (the previous service object's registration ends).
    bool Open();
    void Close();

    // One operation of each class; each returns false on an unexpected result.
    bool ReadString(long long i);
    bool ReadNumber(long long i);
    bool Write(long long i);
    bool Record(long long i);
    bool Collection(long long i);
    bool Control(long long i);
    bool Failure(long long i);
    bool MessageBox(long long i);
    bool Event(long long i);
    // A whole client: create every creatable class, connect, add a group
    // and a timer, read it, release everything.
    bool Cycle(long long i);

    CountingSink sink;

private:
    HRESULT (STDAPICALLTYPE* getClassObject_)(REFCLSID, REFIID, void**) = nullptr;
    HWND window_ = nullptr;
    LONG handle_ = 0;
    ComPtr<IDispatch> service_, groups_, group_, items_, item_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
    AdditionalArguStru record_{};
};

}  // namespace zxsoak
