// Every five seconds in C++: a repeating Zentrix timer whose event sink keeps
// it notifying, paused, resumed, restarted and ended for good. The C++ guide
// (docs/guide-cpp.md) shows and explains the marked parts. The program
// checks what it hears and exits with 1 when something is off.
// [doc:includes]
#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include "zentrix.h"  // with zentrix_i.c, from the release's include folder

using Microsoft::WRL::ComPtr;
// [/doc:includes]

#include <cstdio>

namespace {

int g_failures = 0;

void Expect(bool condition, const char* what) {
    if (!condition) {
        std::printf("FAILED: %s\n", what);
        ++g_failures;
    }
}

// [doc:sink]
// Receives the service object's events. The library calls Invoke on the
// thread that created the service object, from that thread's message loop.
class FiveSecondSink final : public IDispatch {
public:
    FiveSecondSink(LONG window, LONG timerId) : window_(window), timerId_(timerId) {}
    int ticks = 0;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        bool known = riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID___clsVxTimeTimerMainA;
        *out = known ? static_cast<IDispatch*>(this) : nullptr;
        if (known) AddRef();
        return known ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override { return --refs_; }  // lives on the caller's stack
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

    // OnTimerElapse is DISPID 2 with four arguments, last first in rgvarg:
    // [3] hWnd and [2] TimerId as VT_I4 | VT_BYREF, [1] ElapseTime as VT_I4,
    // [0] AdditionalStr as VT_RECORD | VT_BYREF.
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        if (id != 2 || params->cArgs != 4) return S_OK;
        VARIANT* args = params->rgvarg;
        if (args[3].vt != (VT_I4 | VT_BYREF) || args[2].vt != (VT_I4 | VT_BYREF)) return S_OK;
        if (*args[3].plVal != window_ || *args[2].plVal != timerId_) return S_OK;  // not our timer
        ++ticks;
        std::printf("tick %d at %lu ms\n", ticks, static_cast<unsigned long>(args[1].lVal));
        std::fflush(stdout);
        // The tick marks Ended the timer that hWnd and TimerId name once the
        // handlers return; an identifier this window never uses spares ours,
        // so it stays Started and its next tick notifies again.
        *args[2].plVal = 0;
        return S_OK;
    }

private:
    LONG window_, timerId_;
    ULONG refs_ = 1;
};
// [/doc:sink]

// Runs the thread's message loop for `milliseconds`, or until `done()`.
template <typename Done>
void Pump(DWORD milliseconds, Done done) {
    const DWORD end = GetTickCount() + milliseconds;
    while (!done() && static_cast<LONG>(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

// [doc:position]
// The position of a window's group in the registry, or 0.
LONG GroupPosition(_clsVxTimeTimerGroupsA* groups, LONG hwnd) {
    LONG count = 0;
    groups->Count(&count);
    for (LONG position = 1; position <= count; ++position) {
        ComPtr<_clsVxTimeTimerGroupA> group;
        LONG handle = 0;
        if (SUCCEEDED(groups->get_Item(&position, &group)) && SUCCEEDED(group->get_hWnd(&handle)) &&
            handle == hwnd)
            return position;
    }
    return 0;
}
// [/doc:position]

}  // namespace

int main() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    {
        // [doc:start]
        // A message-only window of this thread carries the timer; its
        // handle fits in the 32-bit hWnd the component takes.
        HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        LONG hwnd = static_cast<LONG>(reinterpret_cast<LONG_PTR>(window));
        LONG tickId = 5001;

        ComPtr<_clsVxTimeTimerMainA> service;
        HRESULT hr = CoCreateInstance(CLSID_clsVxTimeTimerMainA, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_PPV_ARGS(&service));
        ComPtr<IConnectionPointContainer> container;
        ComPtr<IConnectionPoint> point;
        if (SUCCEEDED(hr)) hr = service.As(&container);
        if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(DIID___clsVxTimeTimerMainA, &point);
        FiveSecondSink sink(hwnd, tickId);
        DWORD cookie = 0;
        if (SUCCEEDED(hr)) hr = point->Advise(&sink, &cookie);

        ComPtr<_clsVxTimeTimerGroupsA> groups;
        ComPtr<_clsVxTimeTimerGroupA> group;
        ComPtr<_clsVxTimeTimerItemsA> timers;
        if (SUCCEEDED(hr)) hr = service->get_TimerGroups(&groups);
        if (SUCCEEDED(hr)) hr = groups->Add(&hwnd, &group);
        if (SUCCEEDED(hr)) hr = group->get_TimerItems(&timers);

        AdditionalArguStru record{0, 0, 0, SysAllocString(L"every five seconds")};
        LONG seconds = 5;
        TimerTimeUnitsTimeConstants units = timeTimerTimeUnitsSeconds;
        VARIANT_BOOL repeat = VARIANT_TRUE;  // exactly VARIANT_TRUE: any other value arms a one-shot timer
        BSTR owner = SysAllocString(L"guide");
        VARIANT result;
        VariantInit(&result);
        if (SUCCEEDED(hr)) hr = timers->Add(&tickId, &record, &seconds, &units, &repeat, &owner, &result);
        VariantClear(&result);         // always empty
        SysFreeString(owner);          // the component copied both
        SysFreeString(record.sComments);
        // [/doc:start]
        if (FAILED(hr)) {
            std::printf("FAILED: setting up the timer returned 0x%08lx\n", static_cast<unsigned long>(hr));
            return 1;
        }

        Pump(60000, [&] { return sink.ticks >= 3; });  // only ticks that never come wait this long
        Expect(sink.ticks == 3, "three notifications in about fifteen seconds");

        // [doc:pause]
        service->TimerStop(&hwnd, &tickId);   // the ticks go on, silently
        // [/doc:pause]
        Pump(6000, [] { return false; });
        Expect(sink.ticks == 3, "no notification while paused");
        // [doc:resume]
        service->TimerStart(&hwnd, &tickId);  // the next tick notifies again
        // [/doc:resume]
        Pump(30000, [&] { return sink.ticks >= 4; });
        Expect(sink.ticks == 4, "resumed at the next tick");

        // [doc:restart]
        LONG always0 = 0;
        service->ResetTimer(&hwnd, &tickId, &always0);  // five seconds from now, then every five
        // [/doc:restart]
        const DWORD restarted = GetTickCount();
        Pump(30000, [&] { return sink.ticks >= 5; });
        Expect(sink.ticks == 5, "a notification after the restart");
        Expect(GetTickCount() - restarted >= 4000, "the restart began a new interval");

        // [doc:quit]
        // For good: the platform timer ends, then the group leaves the
        // registry (a tick of a window without a group would show
        // "Invalid Handle").
        KillTimer(window, static_cast<UINT_PTR>(tickId));
        LONG position = GroupPosition(groups.Get(), hwnd);
        VARIANT removed;
        VariantInit(&removed);
        if (position) groups->Remove(&position, &removed);
        VariantClear(&removed);        // always empty
        point->Unadvise(cookie);
        // [/doc:quit]
        Pump(6000, [] { return false; });
        Expect(sink.ticks == 5, "no notification after the end");
        LONG left = 0;
        groups->Count(&left);
        Expect(left == 0, "the group left the registry");

        timers.Reset();
        group.Reset();
        groups.Reset();
        container.Reset();
        point.Reset();
        service.Reset();
        DestroyWindow(window);
    }
    CoUninitialize();
    std::printf(g_failures ? "%d check(s) failed\n" : "every five seconds: all checks passed\n", g_failures);
    return g_failures ? 1 : 0;
}
