// A C++ client of zentrix.dll, early-bound through the generated header
// (zentrix.h, with the identifiers from zentrix_i.c). It walks through every
// feature a client uses:
//   1. timers and events: a connection-point sink for OnTimerStart and
//      OnTimerElapse, one-shot, repeating and cancelled timers;
//   2. the buddy protocol: an object whose named methods receive the
//      notifications instead of the events;
//   3. control operations: TimerStop, TimerStart, ResetTimer, GetPercentage
//      and a record's BalanceTime and Percent;
//   4. progress binding: a progress bar and a timer control of the client's
//      own, bound with ShowProgressBar;
//   5. the monitor window: ShowTimerDialog, then closed again.
// Every step checks what it saw; the program exits with 1 when a check fails.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <oleauto.h>

#include <cstdio>
#include <map>
#include <string>

#include "zentrix.h"

namespace {

int g_failures = 0;

void Expect(bool condition, const char* what) {
    if (!condition) {
        std::printf("FAILED: %s\n", what);
        ++g_failures;
    }
}

void Must(HRESULT hr, const char* what) {
    if (FAILED(hr)) {
        std::printf("FAILED: %s returned 0x%08lx\n", what, static_cast<unsigned long>(hr));
        std::fflush(stdout);
        ExitProcess(1);
    }
}

// Runs the thread's message loop for a while: timer ticks, the events they
// raise and the monitor window's refreshes all happen in here.
void Pump(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// Pumps until `done()` holds or `milliseconds` pass; whether it holds.
template <typename Done>
bool PumpUntil(Done done, DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    while (!done() && static_cast<LONG>(end - GetTickCount()) > 0) Pump(10);
    return done();
}

// A minimal IUnknown for objects that live on main's stack.
#define STACK_OBJECT_REFCOUNT                          \
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }  \
    STDMETHODIMP_(ULONG) Release() override { return --refs; } \
    ULONG refs = 1;

// The record a notification carries: compiled receivers get it as VT_RECORD
// (possibly by reference); pvRecord points at the AdditionalArguStru.
const AdditionalArguStru* RecordOf(const VARIANT& v) {
    return (v.vt & VT_TYPEMASK) == VT_RECORD ? static_cast<const AdditionalArguStru*>(v.pvRecord) : nullptr;
}

// A 32-bit argument, however it is passed: events give ElapseTime by value
// and the rest by reference; a compiled buddy gets every argument by
// reference.
LONG LongOf(const VARIANT& v) {
    if (v.vt == VT_I4) return v.lVal;
    if (v.vt == (VT_I4 | VT_BYREF)) return *v.plVal;
    if (v.vt == (VT_VARIANT | VT_BYREF)) return LongOf(*v.pvarVal);
    VARIANT copy;
    VariantInit(&copy);
    return SUCCEEDED(VariantChangeType(&copy, const_cast<VARIANT*>(&v), 0, VT_I4)) ? copy.lVal : -1;
}

// What a notification said, whoever received it.
struct Notifications {
    int starts = 0;
    int elapses = 0;
    std::map<LONG, int> elapsesOf;
    LONG lastRecordParam = 0;

    // rgvarg holds the arguments last first: hWnd, TimerId, ElapseTime,
    // AdditionalStr[, Cancel].
    void Start(DISPPARAMS* params, LONG cancelId, const char* who) {
        VARIANT* a = params->rgvarg;
        const UINT n = params->cArgs;
        const LONG timerId = LongOf(a[n - 2]);
        const AdditionalArguStru* record = RecordOf(a[n - 4]);
        ++starts;
        std::printf("%s OnTimerStart  timer %ld, %ld, lLParam %ld\n", who, timerId, LongOf(a[n - 3]),
                    record ? record->lLParam : -1L);
        if (timerId == cancelId) {
            if (a[0].vt == (VT_BOOL | VT_BYREF)) *a[0].pboolVal = VARIANT_TRUE;
            else Expect(false, "Cancel arrives as a Boolean reference");
        }  // cancel: the timer is never armed
    }
    void Elapse(DISPPARAMS* params, const char* who) {
        VARIANT* a = params->rgvarg;
        const UINT n = params->cArgs;
        const LONG timerId = LongOf(a[n - 2]);
        const AdditionalArguStru* record = RecordOf(a[n - 4]);
        ++elapses;
        ++elapsesOf[timerId];
        lastRecordParam = record ? record->lLParam : -1;
        std::printf("%s OnTimerElapse timer %ld\n", who, timerId);
    }
};

// 1. The event sink of Zentrix.clsVxTimeTimerMainA: DISPID 1 OnTimerStart,
// DISPID 2 OnTimerElapse. Timer 3 is cancelled in OnTimerStart.
class EventSink final : public IDispatch {
public:
    Notifications seen;
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID___clsVxTimeTimerMainA) ? this : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STACK_OBJECT_REFCOUNT
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        if (id == 1) seen.Start(params, 3, "event");
        if (id == 2) seen.Elapse(params, "event");
        std::fflush(stdout);
        return S_OK;
    }
};

// 2. A buddy object: the service calls its methods by name,
// "czTimeTimerMain_OnTimerStart" and "czTimeTimerMain_OnTimerElapse", with
// the events' arguments. Timer 12 is cancelled.
class Buddy final : public IDispatch {
public:
    Notifications seen;
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = (riid == IID_IUnknown || riid == IID_IDispatch) ? this : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STACK_OBJECT_REFCOUNT
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        if (_wcsicmp(names[0], L"czTimeTimerMain_OnTimerStart") == 0) *ids = 1;
        else if (_wcsicmp(names[0], L"czTimeTimerMain_OnTimerElapse") == 0) *ids = 2;
        else return DISP_E_UNKNOWNNAME;
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        if (id == 1) seen.Start(params, 12, "buddy");
        else if (id == 2) seen.Elapse(params, "buddy");
        else return DISP_E_MEMBERNOTFOUND;
        std::fflush(stdout);
        return S_OK;
    }
};

// 4a. A progress bar as the library sees one: an object with the properties
// Min, Max and Value, written by name.
class ProgressBar final : public IDispatch {
public:
    double min = -1, max = -1, value = -1, shown = -1;
    int valueWrites = 0;
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = (riid == IID_IUnknown || riid == IID_IDispatch) ? this : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STACK_OBJECT_REFCOUNT
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        static const wchar_t* const known[] = {L"Min", L"Max", L"Value"};
        for (DISPID i = 0; i < 3; ++i)
            if (_wcsicmp(names[0], known[i]) == 0) {
                *ids = i + 1;
                return S_OK;
            }
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        if (!(flags & DISPATCH_PROPERTYPUT) || params->cArgs != 1 || id < 1 || id > 3) return DISP_E_MEMBERNOTFOUND;
        VARIANT number;
        VariantInit(&number);
        HRESULT hr = VariantChangeType(&number, &params->rgvarg[0], 0, VT_R8);
        if (FAILED(hr)) return hr;
        (id == 1 ? min : id == 2 ? max : value) = number.dblVal;
        if (id == 3) ++valueWrites;
        if (id == 3 && value != shown) {
            shown = value;
            std::printf("bar: Value %.0f of %.0f\n", value, max);
        }
        std::fflush(stdout);
        return S_OK;
    }
};

// 4b. A timer control as the library sees one: Enabled and Interval by
// name, and a connection point whose dispinterface has one parameterless
// event, "Timer". The type descriptions are made in memory; the ticks come
// from a thread timer.
const IID kControlEvents = {0x5d0c4f61, 0x2e8a, 0x4b7d, {0x93, 0x1f, 0x6a, 0x0e, 0x55, 0xc2, 0x18, 0x41}};

class TimerControl final : public IDispatch,
                           public IConnectionPointContainer,
                           public IConnectionPoint,
                           public IProvideClassInfo2 {
public:
    TimerControl() { Describe(); }
    ~TimerControl() { Arm(false, 0); }

    bool enabled = false;
    LONG interval = 0;
    IDispatch* sink = nullptr;  // one subscriber is all the example needs
    STACK_OBJECT_REFCOUNT

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch) *out = static_cast<IDispatch*>(this);
        if (riid == IID_IConnectionPointContainer) *out = static_cast<IConnectionPointContainer*>(this);
        if (riid == IID_IConnectionPoint) *out = static_cast<IConnectionPoint*>(this);
        if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2)
            *out = static_cast<IProvideClassInfo2*>(this);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    // IDispatch: Enabled (1) and Interval (2).
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override { return GetClassInfo(info); }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        if (_wcsicmp(names[0], L"Enabled") == 0) *ids = 1;
        else if (_wcsicmp(names[0], L"Interval") == 0) *ids = 2;
        else return DISP_E_UNKNOWNNAME;
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        if (!(flags & DISPATCH_PROPERTYPUT) || params->cArgs != 1 || (id != 1 && id != 2))
            return DISP_E_MEMBERNOTFOUND;
        VARIANT v;
        VariantInit(&v);
        HRESULT hr = VariantChangeType(&v, &params->rgvarg[0], 0, id == 1 ? VT_BOOL : VT_I4);
        if (FAILED(hr)) return hr;
        if (id == 1) enabled = v.boolVal != VARIANT_FALSE;
        else interval = v.lVal;
        Arm(enabled, interval);
        return S_OK;
    }

    // IConnectionPointContainer and its one IConnectionPoint.
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override {
        *point = nullptr;
        if (riid != kControlEvents) return CONNECT_E_NOCONNECTION;
        *point = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP GetConnectionInterface(IID* iid) override {
        *iid = kControlEvents;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override {
        *container = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* subscriber, DWORD* cookie) override {
        if (sink) return CONNECT_E_ADVISELIMIT;
        if (FAILED(subscriber->QueryInterface(kControlEvents, reinterpret_cast<void**>(&sink))))
            return CONNECT_E_CANNOTCONNECT;
        *cookie = 1;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        if (cookie != 1 || !sink) return CONNECT_E_NOCONNECTION;
        IDispatch* gone = sink;
        sink = nullptr;
        gone->Release();
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    // IProvideClassInfo2: the class and its default source.
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override {
        *info = coclass_;
        coclass_->AddRef();
        return S_OK;
    }
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override {
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *guid = kControlEvents;
        return S_OK;
    }

    int ticks = 0;

private:
    static TimerControl* running_;
    UINT_PTR timer_ = 0;
    ITypeInfo* coclass_ = nullptr;

    void Arm(bool on, LONG ms) {
        if (timer_) KillTimer(nullptr, timer_);
        timer_ = 0;
        running_ = nullptr;
        if (on && ms > 0) {
            running_ = this;
            timer_ = SetTimer(nullptr, 0, static_cast<UINT>(ms < 50 ? 50 : ms), &TimerControl::OnTick);
        }
    }
    static void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
        TimerControl* self = running_;
        if (!self || !self->sink) return;
        ++self->ticks;
        DISPPARAMS none{};
        VARIANT result;
        VariantInit(&result);
        self->sink->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr, nullptr);
        VariantClear(&result);
    }

    // class ExampleTimer { [default, source] dispinterface ExampleTimerEvents { void Timer(); } }
    void Describe() {
        ICreateTypeLib2* library = nullptr;
        Must(CreateTypeLib2(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, L"exampletimer.tlb", &library),
             "CreateTypeLib2");
        ICreateTypeInfo* cls = nullptr;
        ICreateTypeInfo* events = nullptr;
        Must(library->CreateTypeInfo(const_cast<LPOLESTR>(L"ExampleTimer"), TKIND_COCLASS, &cls), "coclass");
        Must(library->CreateTypeInfo(const_cast<LPOLESTR>(L"ExampleTimerEvents"), TKIND_DISPATCH, &events),
             "dispinterface");
        Must(events->SetGuid(kControlEvents), "SetGuid");
        FUNCDESC tick{};
        tick.memid = 1;
        tick.funckind = FUNC_DISPATCH;
        tick.invkind = INVOKE_FUNC;
        tick.callconv = CC_STDCALL;
        tick.elemdescFunc.tdesc.vt = VT_VOID;
        Must(events->AddFuncDesc(0, &tick), "AddFuncDesc");
        LPOLESTR name[] = {const_cast<LPOLESTR>(L"Timer")};
        Must(events->SetFuncAndParamNames(0, name, 1), "SetFuncAndParamNames");
        Must(events->LayOut(), "LayOut events");
        ITypeInfo* eventsInfo = nullptr;
        Must(events->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&eventsInfo)), "events info");
        HREFTYPE ref = 0;
        Must(cls->AddRefTypeInfo(eventsInfo, &ref), "AddRefTypeInfo");
        Must(cls->AddImplType(0, ref), "AddImplType");
        Must(cls->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE), "SetImplTypeFlags");
        Must(cls->LayOut(), "LayOut class");
        Must(cls->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&coclass_)), "class info");
        eventsInfo->Release();
        events->Release();
        cls->Release();
        library->Release();
    }
};
TimerControl* TimerControl::running_ = nullptr;

BOOL CALLBACK KeepMonitorWindow(HWND window, LPARAM out) {
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    if (wcscmp(title, L"Orvanta Timer Service Manager") != 0) return TRUE;
    *reinterpret_cast<HWND*>(out) = window;
    return FALSE;
}

// The monitor window this thread opened. FindWindow would search the whole
// desktop, where other programs may have a monitor window of their own.
HWND FindMonitorWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), KeepMonitorWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Adds a timer through the vtable; the optional arguments are all given.
HRESULT AddTimer(_clsVxTimeTimerItemsA* items, LONG id, LONG interval, TimerTimeUnitsTimeConstants units,
                 bool repeat, LONG param) {
    AdditionalArguStru record{param, 0, 0, SysAllocString(L"example")};
    VARIANT_BOOL repeatFlag = repeat ? VARIANT_TRUE : VARIANT_FALSE;
    BSTR owner = SysAllocString(L"timer_client");
    VARIANT ret;
    VariantInit(&ret);
    HRESULT hr = items->Add(&id, &record, &interval, &units, &repeatFlag, &owner, &ret);
    VariantClear(&ret);
    SysFreeString(owner);
    SysFreeString(record.sComments);
    return hr;
}

// The record of timer `id` in `items`, found by walking the collection.
_clsVxTimeTimerItemA* FindTimer(_clsVxTimeTimerItemsA* items, LONG id) {
    LONG count = 0;
    items->get_Count(&count);
    for (LONG i = 1; i <= count; ++i) {
        VARIANT index;
        index.vt = VT_I4;
        index.lVal = i;
        _clsVxTimeTimerItemA* item = nullptr;
        if (FAILED(items->get_Item(&index, &item)) || !item) continue;
        LONG itemId = 0;
        item->get_TimerId(&itemId);
        if (itemId == id) return item;
        item->Release();
    }
    return nullptr;
}

TimerStatusTypeTimeConstants StatusOf(_clsVxTimeTimerItemsA* items, LONG id) {
    TimerStatusTypeTimeConstants status = static_cast<TimerStatusTypeTimeConstants>(-1);
    if (_clsVxTimeTimerItemA* item = FindTimer(items, id)) {
        item->get_Status(&status);
        item->Release();
    }
    return status;
}

}  // namespace

int main() {
    Must(CoInitialize(nullptr), "CoInitialize");
    {
        // The service, created by its class identifier (CLSIDFromProgID with
        // "Zentrix.clsVxTimeTimerMainA" gives the same).
        CLSID byProgId{};
        Must(CLSIDFromProgID(L"Zentrix.clsVxTimeTimerMainA", &byProgId), "CLSIDFromProgID");
        Expect(IsEqualCLSID(byProgId, CLSID_clsVxTimeTimerMainA), "the ProgID names clsVxTimeTimerMainA");
        _clsVxTimeTimerMainA* service = nullptr;
        Must(CoCreateInstance(CLSID_clsVxTimeTimerMainA, nullptr, CLSCTX_INPROC_SERVER, IID__clsVxTimeTimerMainA,
                              reinterpret_cast<void**>(&service)),
             "CoCreateInstance");

        // 1. Timers and events.
        IConnectionPointContainer* container = nullptr;
        Must(service->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)),
             "IConnectionPointContainer");
        IConnectionPoint* point = nullptr;
        Must(container->FindConnectionPoint(DIID___clsVxTimeTimerMainA, &point), "FindConnectionPoint");
        EventSink sink;
        DWORD cookie = 0;
        Must(point->Advise(&sink, &cookie), "Advise");

        // Timers belong to a window of this thread; a hidden one will do.
        HWND window = CreateWindowExW(0, L"STATIC", L"timer_client", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                      nullptr);
        LONG hwnd = static_cast<LONG>(reinterpret_cast<LONG_PTR>(window));
        _clsVxTimeTimerGroupsA* groups = nullptr;
        Must(service->get_TimerGroups(&groups), "TimerGroups");
        _clsVxTimeTimerGroupA* group = nullptr;
        Must(groups->Add(&hwnd, &group), "TimerGroups.Add");
        _clsVxTimeTimerItemsA* items = nullptr;
        Must(group->get_TimerItems(&items), "TimerItems");

        Must(AddTimer(items, 1, 100, timeTimerTimeUnitsMicroseconds, false, 101), "Add one-shot");
        Must(AddTimer(items, 2, 150, timeTimerTimeUnitsMicroseconds, true, 102), "Add repeating");
        Must(AddTimer(items, 3, 100, timeTimerTimeUnitsMicroseconds, false, 103), "Add cancelled");
        Expect(sink.seen.starts == 3, "three OnTimerStart events");
        Expect(StatusOf(items, 3) == timeTimerStatusStopped, "timer 3 cancelled in OnTimerStart: Stopped");
        PumpUntil([&] { return sink.seen.elapses >= 2; }, 30000);  // only a tick that never comes waits this long
        Pump(300);  // time for more ticks, which must not notify
        Expect(sink.seen.elapsesOf[1] == 1, "one-shot timer 1 elapsed once");
        Expect(sink.seen.elapsesOf[2] == 1, "repeating timer 2 notified once (it is Ended after its first tick)");
        Expect(sink.seen.elapsesOf[3] == 0, "cancelled timer 3 never elapsed");
        Expect(StatusOf(items, 1) == timeTimerStatusEnded, "timer 1 Ended");
        // A repeating timer keeps ticking; TimerStart makes its ticks notify again.
        LONG id2 = 2;
        Must(service->TimerStart(&hwnd, &id2), "TimerStart 2");
        PumpUntil([&] { return sink.seen.elapsesOf[2] >= 2; }, 30000);
        Expect(sink.seen.elapsesOf[2] == 2, "timer 2 notified again after TimerStart");
        Must(service->TimerStop(&hwnd, &id2), "TimerStop 2");
        std::printf("events: %d starts, %d elapses\n", sink.seen.starts, sink.seen.elapses);

        // 2. The buddy protocol: while BuddyObject is set, its methods are
        // called instead of the events.
        Buddy buddy;
        Must(service->putref_BuddyObject(&buddy), "BuddyObject");
        Must(AddTimer(items, 11, 100, timeTimerTimeUnitsMicroseconds, false, 111), "Add buddy timer");
        Must(AddTimer(items, 12, 100, timeTimerTimeUnitsMicroseconds, false, 112), "Add buddy-cancelled timer");
        PumpUntil([&] { return buddy.seen.elapses >= 1; }, 30000);
        Pump(200);  // timer 12 was cancelled: nothing more may arrive
        Expect(buddy.seen.starts == 2 && buddy.seen.elapsesOf[11] == 1 && buddy.seen.elapsesOf[12] == 0,
               "buddy: two starts, timer 11 elapsed, timer 12 cancelled");
        Expect(buddy.seen.lastRecordParam == 111, "the elapse call carried timer 11's record");
        Expect(sink.seen.starts == 3, "no events while a buddy is set");
        Must(service->putref_BuddyObject(nullptr), "BuddyObject = Nothing");
        Expect(buddy.refs == 1, "the service let go of the buddy");

        // 3. Control operations on a timer of 5 seconds.
        LONG id20 = 20;
        Must(AddTimer(items, id20, 5, timeTimerTimeUnitsSeconds, false, 120), "Add 5 s timer");
        if (_clsVxTimeTimerItemA* item = FindTimer(items, id20)) {
            float balance = -1;
            SHORT percent = -1;
            LONG percentage = -1;
            Must(item->get_BalanceTime(&balance), "BalanceTime");
            Must(item->get_Percent(&percent), "Percent");
            Must(service->GetPercentage(&hwnd, &id20, &percentage), "GetPercentage");
            std::printf("timer 20: BalanceTime %.0f s, Percent %d, GetPercentage %ld\n", balance, percent, percentage);
            Expect(balance >= 3 && balance <= 5, "BalanceTime of a fresh 5 s timer is about 5");
            Expect(percent >= 60 && percent <= 100, "Percent of a fresh timer is near 100");
            Expect(percentage >= 60 && percentage <= 100, "GetPercentage of a fresh timer is near 100");
            item->Release();
        } else {
            Expect(false, "timer 20 registered");
        }
        Must(service->TimerStop(&hwnd, &id20), "TimerStop");
        Expect(StatusOf(items, id20) == timeTimerStatusStopped, "TimerStop: Stopped");
        Must(service->TimerStart(&hwnd, &id20), "TimerStart");
        Expect(StatusOf(items, id20) == timeTimerStatusStarted, "TimerStart: Started");
        const int startsBefore = sink.seen.starts;
        LONG resetResult = 0;
        Must(service->ResetTimer(&hwnd, &id20, &resetResult), "ResetTimer");
        Expect(sink.seen.starts == startsBefore + 1, "ResetTimer registers the timer again (OnTimerStart)");
        Expect(StatusOf(items, id20) == timeTimerStatusStarted, "after ResetTimer: Started");
        Must(service->TimerStop(&hwnd, &id20), "TimerStop after reset");

        // 4. Progress binding: a 2 s timer moves the bar from 0 towards 2
        // on the control's ticks.
        ProgressBar bar;
        TimerControl control;
        Must(AddTimer(items, 30, 30, timeTimerTimeUnitsSeconds, false, 130), "Add 30 s timer");
        if (_clsVxTimeTimerItemA* item = FindTimer(items, 30)) {
            IDispatch* barArg = &bar;
            IDispatch* controlArg = &control;
            VARIANT ret;
            VariantInit(&ret);
            Must(item->ShowProgressBar(&barArg, &controlArg, &ret), "ShowProgressBar");
            Expect(bar.min == 0 && bar.max == 30, "the bar runs from 0 to the interval");
            Expect(control.enabled && control.sink, "the control is enabled and subscribed");
            PumpUntil([&] { return bar.value >= 1; }, 25000);
            Expect(control.ticks > 0 && bar.valueWrites > 0, "the control's ticks moved the bar");
            Expect(bar.value >= 1 && bar.value < 30, "the bar moved on as seconds passed");
            // Unbinding ends the subscription.
            Must(item->putref_TimerObj(nullptr), "TimerObj = Nothing");
            Expect(!control.sink, "TimerObj = Nothing unsubscribed");
            Must(item->putref_ProgressBarObject(nullptr), "ProgressBarObject = Nothing");
            item->Release();
        } else {
            Expect(false, "timer 30 registered");
        }

        // 5. The monitor window: a modeless window that refreshes once a
        // second inside this thread's message loop. The client closes it
        // like any window.
        VARIANT ret;
        VariantInit(&ret);
        Must(service->ShowTimerDialog(&hwnd, &ret), "ShowTimerDialog");
        VariantClear(&ret);
        PumpUntil([] { return FindMonitorWindow() != nullptr; }, 30000);
        HWND monitor = FindMonitorWindow();
        Expect(monitor != nullptr, "the monitor window is open");
        if (monitor) {
            SendMessageW(monitor, WM_CLOSE, 0, 0);
            PumpUntil([&] { return !IsWindow(monitor); }, 30000);
            Expect(FindMonitorWindow() == nullptr && !IsWindow(monitor), "the monitor window closed");
        }

        point->Unadvise(cookie);
        point->Release();
        container->Release();
        items->Release();
        group->Release();
        groups->Release();
        service->Release();
        DestroyWindow(window);
        Expect(sink.refs == 1, "the service let go of the sink");
    }
    CoUninitialize();
    std::printf(g_failures ? "%d check(s) failed\n" : "all checks passed\n", g_failures);
    return g_failures ? 1 : 0;
}
