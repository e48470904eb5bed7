// A first Zentrix timer in C++: a two-second one-shot timer on a window of
// this thread, and an event sink that hears it elapse. The README shows the
// body of main; the C++ guide (docs/guide-cpp.md) explains every step.
// Build: g++ or cl with -I<release>/include, <release>/include/zentrix_i.c,
// and ole32, oleaut32, uuid and user32.
#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <cstdio>

#include "zentrix.h"

using Microsoft::WRL::ComPtr;

namespace {

// Hears OnTimerElapse (DISPID 2) of the service object.
class ElapseSink final : public IDispatch {
public:
    bool elapsed = false;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        bool known = riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID___clsVxTimeTimerMainA;
        *out = known ? static_cast<IDispatch*>(this) : nullptr;
        return known ? S_OK : E_NOINTERFACE;
    }
    // The sink lives on main's stack and outlives its connection.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        // The arguments come last first: rgvarg[2] is TimerId, a VT_I4 | VT_BYREF.
        if (id == 2 && params->cArgs == 4 && params->rgvarg[2].vt == (VT_I4 | VT_BYREF)) {
            std::printf("timer %ld elapsed\n", *params->rgvarg[2].plVal);
            elapsed = true;
        }
        return S_OK;
    }
};

// Connects `sink` to the service object's events; the cookie, or 0.
DWORD Advise(IUnknown* service, IDispatch* sink) {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    if (SUCCEEDED(service->QueryInterface(IID_PPV_ARGS(&container))) &&
        SUCCEEDED(container->FindConnectionPoint(DIID___clsVxTimeTimerMainA, &point)))
        point->Advise(sink, &cookie);
    return cookie;
}

}  // namespace

int main() {
    // [doc:main]
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // events arrive on this thread
    ComPtr<_clsVxTimeTimerMainA> service;
    CoCreateInstance(CLSID_clsVxTimeTimerMainA, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&service));
    ElapseSink sink;
    Advise(service.Get(), &sink);
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    LONG hwnd = static_cast<LONG>(reinterpret_cast<LONG_PTR>(window)), id = 5001, seconds = 2;
    ComPtr<_clsVxTimeTimerGroupsA> groups;
    ComPtr<_clsVxTimeTimerGroupA> group;
    ComPtr<_clsVxTimeTimerItemsA> timers;
    service->get_TimerGroups(&groups);
    groups->Add(&hwnd, &group);
    group->get_TimerItems(&timers);
    AdditionalArguStru record{};
    TimerTimeUnitsTimeConstants units = timeTimerTimeUnitsSeconds;
    VARIANT_BOOL repeat = VARIANT_FALSE;
    BSTR owner = nullptr;
    VARIANT result;
    timers->Add(&id, &record, &seconds, &units, &repeat, &owner, &result);
    MSG msg;
    while (!sink.elapsed && GetMessageW(&msg, nullptr, 0, 0)) DispatchMessageW(&msg);
    // [/doc:main]
    timers.Reset();
    group.Reset();
    groups.Reset();
    service.Reset();
    DestroyWindow(window);
    CoUninitialize();
    return sink.elapsed ? 0 : 1;
}
