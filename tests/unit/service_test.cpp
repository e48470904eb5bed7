// The service object, its notifications and the tick procedures.
#include <dispex.h>

#include <thread>

#include "apartment/additional_argu.h"
#include "com/plan_cache.h"
#include "com/record_object.h"
#include "failing_allocator.h"
#include "service/scheduler.h"
#include "test_support.h"

namespace zx::test {
namespace {

class ServiceTest : public ComponentTest {
protected:
    // Sinks outlive the apartment state, which holds them until TearDown.
    RecordingSink sink{DIID___clsVxTimeTimerMainA};
    RecordingSink second{DIID___clsVxTimeTimerMainA};
    RecordingSink late{DIID___clsVxTimeTimerMainA};
    RecordingSink buddy{DIID___clsVxTimeTimerMainA, true};
};

TEST_F(ServiceTest, RegisteredServiceObjectOutlivesItsClient) {
    {
        ComPtr<TimerService> service = NewService();
        EXPECT_EQ(service.Get(), Apartment().gTimerMain.Get());
    }
    EXPECT_EQ(2, LiveObjectCount() - baselineObjects);  // the registered object and its registry
    DiscardApartment();
    EXPECT_EQ(0, LiveObjectCount() - baselineObjects);
}

TEST_F(ServiceTest, EventsCarryTheirArgumentsByReference) {
    ComPtr<TimerService> service = NewService();
    sink.newElapse = 999;
    Connect(service.Get(), sink);
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 3, 5, 1, 0, 42));
    ASSERT_EQ(1u, sink.calls.size());
    const RecordingSink::Call& start = sink.calls[0];
    EXPECT_EQ(1, start.id);
    EXPECT_EQ((std::vector<VARTYPE>{VT_I4 | VT_BYREF, VT_I4 | VT_BYREF, VT_I4, VT_RECORD | VT_BYREF,
                                    VT_BOOL | VT_BYREF}),
              start.types);
    EXPECT_EQ(100, start.hWnd);
    EXPECT_EQ(5, start.elapseTime);  // in the client's unit
    EXPECT_EQ(42, start.lParam);
    EXPECT_EQ(5000u, (platform.timers[{100, 3}].milliseconds));  // a change to ElapseTime is not seen

    platform.ticks = 123456;
    platform.Tick(100, 3);
    ASSERT_EQ(2u, sink.calls.size());
    EXPECT_EQ(2, sink.calls[1].id);
    EXPECT_EQ(4u, sink.calls[1].types.size());
    EXPECT_EQ(123456, sink.calls[1].elapseTime);  // the platform's tick time
    EXPECT_EQ(timeTimerStatusEnded, StatusOf(timers.Get(), 1));
    EXPECT_FALSE(platform.IsArmed(100, 3));  // a one-shot timer is killed at its tick
}

TEST_F(ServiceTest, ACancelledTimerStaysRegisteredAndUnarmed) {
    ComPtr<TimerService> service = NewService();
    sink.cancel = true;
    Connect(service.Get(), sink);
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 3, 5));
    EXPECT_EQ(timeTimerStatusStopped, StatusOf(timers.Get(), 1));
    EXPECT_TRUE(platform.timers.empty());
}

TEST_F(ServiceTest, HandlerChangesRedirectArming) {
    ComPtr<TimerService> service = NewService();
    sink.newTimerId = 8;
    sink.newLParam = 55;
    Connect(service.Get(), sink);
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 3, 5));
    EXPECT_TRUE(platform.IsArmed(100, 8));
    LONG storedId = 0;
    TimerAt(timers.Get(), 1)->get_TimerId(&storedId);
    EXPECT_EQ(3, storedId);  // the record keeps what was added
    EXPECT_EQ(55, Apartment().gLastAdditionalArgu.Get().lLParam);
}

// The handle a handler leaves in hWnd, or the current handle that its own
// calls moved, is where the timer is armed; the record keeps the handle it
// was added under.
TEST_F(ServiceTest, HandlersMoveTheHandleTheTimerIsArmedOn) {
    ComPtr<TimerService> service = NewService();
    Connect(service.Get(), sink);
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    sink.newHwnd = 300;
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 1, 5));
    EXPECT_TRUE(platform.IsArmed(300, 1));
    EXPECT_FALSE(platform.IsArmed(100, 1));
    EXPECT_EQ(300, Apartment().gCurrentHwnd);
    LONG stored = 0;
    TimerAt(timers.Get(), 1)->get_hWnd(&stored);
    EXPECT_EQ(100, stored);

    sink.newHwnd = 0;
    sink.during = [&] { AddGroup(200); };
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 2, 5));
    EXPECT_TRUE(platform.IsArmed(200, 2));
    sink.during = nullptr;
}

TEST_F(ServiceTest, BuddyReceivesTheNotificationsInsteadOfSinks) {
    ComPtr<TimerService> service = NewService();
    Connect(service.Get(), sink);
    buddy.cancel = true;
    buddy.newElapse = 77;
    service->putref_BuddyObject(&buddy);
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 1, 20, 0, VARIANT_TRUE));
    ASSERT_EQ(1u, buddy.calls.size());
    EXPECT_TRUE(sink.calls.empty());
    EXPECT_EQ((std::vector<VARTYPE>{VT_I4 | VT_BYREF, VT_I4 | VT_BYREF, VT_I4 | VT_BYREF, VT_RECORD | VT_BYREF,
                                    VT_BOOL | VT_BYREF}),
              buddy.calls[0].types);
    EXPECT_EQ(timeTimerStatusStopped, StatusOf(timers.Get(), 1));

    // A buddy without the start method cancels nothing.
    buddy.lacksStart = true;
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 2, 20, 0, VARIANT_TRUE));
    EXPECT_TRUE(platform.IsArmed(100, 2));
    EXPECT_EQ(20u, (platform.timers[{100, 2}].milliseconds));
    platform.Tick(100, 2);
    ASSERT_EQ(2u, buddy.calls.size());
    EXPECT_EQ(2, buddy.calls[1].id);

    // Emptying BuddyObject restores the events.
    service->putref_BuddyObject(nullptr);
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 4, 20));
    EXPECT_EQ(1u, sink.calls.size());
    EXPECT_EQ(2u, buddy.calls.size());
}

// A sink that allocates nothing: it counts the events it hears.
class TallySink final : public CountedDispatch {
public:
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        if (id == 1 || id == 2) ++heard[id - 1];
        return S_OK;
    }
    int heard[2] = {0, 0};
};

// Raising an event needs no memory of its own: when allocations fail,
// nothing ends the host process, and once the record's description is
// loaded the sinks still hear every event. (Before it is loaded, an event
// that cannot describe its record is not raised.)
TEST_F(ServiceTest, EventsReachSinksWhenMemoryRunsOut) {
    ComPtr<TimerService> service = NewService();
    TallySink first, second;
    const DWORD cookies[] = {Connect(service.Get(), first), Connect(service.Get(), second)};
    LONG hWnd = 100, timerId = 1;
    OwnedRecord record;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    auto raiseBoth = [&] {
        FailingAllocations failing;
        service->RaiseTimerStart(&hWnd, &timerId, 10, &record.Get(), &cancel);
        service->RaiseTimerElapse(&hWnd, &timerId, 10, &record.Get());
    };
    raiseBoth();  // the description may not be loaded yet
    const int before = first.heard[0];
    ASSERT_NE(nullptr, AdditionalArguRecordInfo());
    raiseBoth();
    EXPECT_EQ(before + 1, first.heard[0]);
    EXPECT_EQ(before + 1, first.heard[1]);
    EXPECT_EQ(before + 1, second.heard[0]);
    EXPECT_EQ(before + 1, second.heard[1]);
    // The sinks end with this test, before the apartment's state.
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(S_OK, service.As(&container));
    ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID___clsVxTimeTimerMainA, &point));
    for (DWORD cookie : cookies) EXPECT_EQ(S_OK, point->Unadvise(cookie));
    EXPECT_EQ(1u, first.references);
}

// Late-bound calls that run out of memory in the dispatcher fail with
// E_OUTOFMEMORY; nothing escapes through the COM boundary. The dispatcher
// needs memory only to plan an interface's calls: once they are planned, a
// call needs none of its own.
TEST_F(ServiceTest, DispatchWithoutMemoryFailsCleanly) {
    ComPtr<TimerService> service = NewService();
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, service.As(&dispatch));
    DISPID groups = IdOf(dispatch.Get(), L"TimerGroups");
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(S_OK, dispatch->Invoke(groups, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr));
    VariantClear(&result);
    DiscardCallPlans();  // the next call plans again
    HRESULT hr = S_OK;
    {
        FailingAllocations failing;
        hr = dispatch->Invoke(groups, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    }
    EXPECT_EQ(E_OUTOFMEMORY, hr);
    EXPECT_EQ(VT_EMPTY, result.vt);

    ASSERT_EQ(S_OK, dispatch->Invoke(groups, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr));
    VariantClear(&result);
    {
        FailingAllocations failing;
        hr = dispatch->Invoke(groups, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    }
    EXPECT_EQ(S_OK, hr);
    EXPECT_EQ(VT_DISPATCH, result.vt);
    EXPECT_NE(nullptr, result.pdispVal);
    VariantClear(&result);
}

// A compiled buddy (no IDispatchEx) that counts the calls its methods run.
// It may refuse typed references before running, naming the argument or not,
// and may describe its methods as taking VARIANTs.
class CountingBuddy final : public CountedDispatch {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = described ? 1 : 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        *info = nullptr;
        if (!described || index != 0) return DISP_E_BADINDEX;
        // Both methods with five VARIANT parameters, as a Basic class with
        // Variant arguments describes them.
        static PARAMDATA params[5] = {{const_cast<OLECHAR*>(L"a"), VT_VARIANT}, {const_cast<OLECHAR*>(L"b"), VT_VARIANT},
                                      {const_cast<OLECHAR*>(L"c"), VT_VARIANT}, {const_cast<OLECHAR*>(L"d"), VT_VARIANT},
                                      {const_cast<OLECHAR*>(L"e"), VT_VARIANT}};
        static METHODDATA methods[2] = {
            {const_cast<OLECHAR*>(L"czTimeTimerMain_OnTimerStart"), params, 1, 7, CC_STDCALL, 5, DISPATCH_METHOD, VT_EMPTY},
            {const_cast<OLECHAR*>(L"czTimeTimerMain_OnTimerElapse"), params, 2, 8, CC_STDCALL, 4, DISPATCH_METHOD, VT_EMPTY}};
        INTERFACEDATA data{methods, 2};
        // CreateDispTypeInfo makes a class; the buddy describes its interface.
        ComPtr<ITypeInfo> coclass;
        HREFTYPE interfaceRef = 0;
        HRESULT hr = CreateDispTypeInfo(&data, LOCALE_USER_DEFAULT, &coclass);
        if (SUCCEEDED(hr)) hr = coclass->GetRefTypeOfImplType(0, &interfaceRef);
        if (SUCCEEDED(hr)) hr = coclass->GetRefTypeInfo(interfaceRef, info);
        return hr;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        if (_wcsicmp(names[0], L"czTimeTimerMain_OnTimerStart") == 0) *ids = 1;
        else if (_wcsicmp(names[0], L"czTimeTimerMain_OnTimerElapse") == 0) *ids = 2;
        else return DISP_E_UNKNOWNNAME;
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT* argError) override {
        const bool variants = params->rgvarg[0].vt == (VT_VARIANT | VT_BYREF);
        if (!variants && (refuseTyped || refuseTypedNamingArgument)) {
            if (refuseTypedNamingArgument && argError) *argError = params->cArgs - 1;
            return DISP_E_TYPEMISMATCH;
        }
        ++ran[id - 1];
        lastByVariants = variants;
        return failsAfterRunning;
    }

    bool described = false;
    bool refuseTyped = false;
    bool refuseTypedNamingArgument = false;
    HRESULT failsAfterRunning = S_OK;
    int ran[2] = {0, 0};
    bool lastByVariants = false;
};

// A compiled buddy runs once per notification, however it fails; only a
// refusal of the typed references (naming the argument) or a description
// with VARIANT parameters makes it receive VARIANT references.
TEST_F(ServiceTest, CompiledBuddiesRunOncePerNotification) {
    ComPtr<TimerService> service = NewService();
    LONG hWnd = 100, timerId = 1;
    OwnedRecord record;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    auto notifyBoth = [&](CountingBuddy& buddy) {
        ASSERT_EQ(S_OK, service->putref_BuddyObject(&buddy));
        service->RaiseTimerStart(&hWnd, &timerId, 10, &record.Get(), &cancel);
        service->RaiseTimerElapse(&hWnd, &timerId, 10, &record.Get());
        ASSERT_EQ(S_OK, service->putref_BuddyObject(nullptr));
    };
    for (HRESULT failure : {DISP_E_TYPEMISMATCH, DISP_E_BADVARTYPE, E_NOTIMPL, E_FAIL}) {
        CountingBuddy failing;
        failing.failsAfterRunning = failure;
        notifyBoth(failing);
        EXPECT_EQ(1, failing.ran[0]) << "failure 0x" << std::hex << failure;
        EXPECT_EQ(1, failing.ran[1]) << "failure 0x" << std::hex << failure;
        EXPECT_FALSE(failing.lastByVariants);
    }

    CountingBuddy naming;
    naming.refuseTypedNamingArgument = true;
    notifyBoth(naming);
    EXPECT_EQ(1, naming.ran[0]);
    EXPECT_EQ(1, naming.ran[1]);
    EXPECT_TRUE(naming.lastByVariants);

    CountingBuddy described;
    described.described = true;
    described.refuseTyped = true;
    described.failsAfterRunning = DISP_E_TYPEMISMATCH;
    notifyBoth(described);
    EXPECT_EQ(1, described.ran[0]);
    EXPECT_EQ(1, described.ran[1]);
    EXPECT_TRUE(described.lastByVariants);
    EXPECT_EQ(1u, described.references);
}

// A buddy that behaves like a script object: found through IDispatchEx, and
// refusing any by-reference argument that is not a VARIANT reference.
class ScriptBuddy final : public IDispatchEx {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IDispatchEx)) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetDispID(BSTR name, DWORD flags, DISPID* id) override {
        if (!(flags & fdexNameCaseInsensitive)) return DISP_E_UNKNOWNNAME;
        *id = _wcsicmp(name, L"czTimeTimerMain_OnTimerStart") == 0 ? 1 : 2;
        return S_OK;
    }
    STDMETHODIMP InvokeEx(DISPID id, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, IServiceProvider*) override {
        for (UINT i = 0; i < params->cArgs; ++i)
            if (params->rgvarg[i].vt != (VT_VARIANT | VT_BYREF)) return E_NOTIMPL;
        VARIANT* args = params->rgvarg;
        const UINT n = params->cArgs;
        ++calls;
        seenTimerId = args[n - 2].pvarVal->lVal;
        VARIANT* record = args[n - 4].pvarVal;
        if (record->vt != VT_DISPATCH) return E_NOTIMPL;
        AdditionalArguStru fields{};
        ReadRecordFields(record->pdispVal, fields);
        seenComments = fields.sComments ? fields.sComments : L"";
        fields.lMParam = 31;
        WriteRecordFields(record->pdispVal, fields);
        ClearRecord(fields);
        VariantClear(args[n - 3].pvarVal);  // a script may retype its arguments
        args[n - 3].pvarVal->vt = VT_BSTR;
        args[n - 3].pvarVal->bstrVal = SysAllocString(L"changed");
        if (id == 1 && cancel) {
            args[0].pvarVal->vt = VT_I2;  // any non-zero value cancels
            args[0].pvarVal->iVal = 1;
        }
        if (during) during();
        return S_OK;
    }
    STDMETHODIMP DeleteMemberByName(BSTR, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
    STDMETHODIMP GetMemberProperties(DISPID, DWORD, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMemberName(DISPID, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetNextDispID(DWORD, DISPID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetNameSpaceParent(IUnknown**) override { return E_NOTIMPL; }

    int calls = 0;
    LONG seenTimerId = 0;
    std::wstring seenComments;
    bool cancel = false;
    std::function<void()> during;  // runs inside every notification
};

TEST_F(ServiceTest, ScriptBuddiesGetVariantReferencesAndARecordObject) {
    ComPtr<TimerService> service = NewService();
    ScriptBuddy buddy;
    buddy.cancel = true;
    service->putref_BuddyObject(&buddy);
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    AdditionalArguStru record{1, 2, 3, SysAllocString(L"from client")};
    LONG id = 6, elapse = 40;
    Variant result;
    ASSERT_EQ(S_OK, timers->Add(&id, &record, &elapse, nullptr, nullptr, nullptr, result.Get()));
    EXPECT_EQ(1, buddy.calls);
    EXPECT_EQ(6, buddy.seenTimerId);
    EXPECT_EQ(L"from client", buddy.seenComments);
    EXPECT_EQ(31, record.lMParam);  // the buddy's change reached the client's record
    EXPECT_EQ(40, elapse);
    EXPECT_EQ(timeTimerStatusStopped, StatusOf(timers.Get(), 1));
    ClearRecord(record);

    // A group the handler adds moves the current handle, and the timer is
    // armed there: the handle it was given comes back only if changed.
    buddy.cancel = false;
    buddy.during = [&] { AddGroup(200); };
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 40));
    EXPECT_TRUE(platform.IsArmed(200, 7));
    EXPECT_EQ(200, Apartment().gCurrentHwnd);
    buddy.during = nullptr;

    // A timer the buddy arms while handling a tick becomes the apartment's
    // last armed record; only the buddy's own change (lMParam) is laid over it.
    bool armed = false;
    buddy.during = [&] {
        if (armed) return;
        armed = true;
        AddTimer(timers.Get(), 9, 40, 0, 0, 77);
    };
    platform.Tick(200, 7);
    EXPECT_EQ(77, Apartment().gLastAdditionalArgu.Get().lLParam);
    EXPECT_EQ(31, Apartment().gLastAdditionalArgu.Get().lMParam);
    EXPECT_TRUE(platform.IsArmed(200, 9));
    service->putref_BuddyObject(nullptr);
}

// An elapse handler that names another timer: that timer is ended, the one
// that ticked is left as it was; its change to the record is kept for the
// next notification.
TEST_F(ServiceTest, ElapseHandlerChangesNameTheTimerUpdated) {
    ComPtr<TimerService> service = NewService();
    Connect(service.Get(), sink);
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 1, 20, 0, VARIANT_TRUE, 5));
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 2, 20, 0, VARIANT_TRUE, 6));
    sink.newTimerId = 2;
    sink.newLParam = 42;
    platform.Tick(100, 1);
    ASSERT_EQ(3u, sink.calls.size());
    EXPECT_EQ(1, sink.calls[2].timerId);
    EXPECT_EQ(6, sink.calls[2].lParam);  // the record armed last, whichever timer ticks
    EXPECT_EQ(timeTimerStatusStarted, StatusOf(timers.Get(), 1));
    EXPECT_EQ(timeTimerStatusEnded, StatusOf(timers.Get(), 2));
    EXPECT_EQ(42, Apartment().gLastAdditionalArgu.Get().lLParam);
}

TEST_F(ServiceTest, TickOutcomesFollowTheStatus) {
    ComPtr<TimerService> service = NewService();
    Connect(service.Get(), sink);
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 1, 10, 0, VARIANT_TRUE, 11));
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 2, 10, 0, VARIANT_TRUE, 22));
    sink.calls.clear();
    // Every elapse carries the record armed last.
    platform.Tick(100, 1);
    ASSERT_EQ(1u, sink.calls.size());
    EXPECT_EQ(22, sink.calls[0].lParam);
    EXPECT_EQ(timeTimerStatusEnded, StatusOf(timers.Get(), 1));
    EXPECT_TRUE(platform.IsArmed(100, 1));  // a repeating timer keeps ticking
    platform.Tick(100, 1);
    EXPECT_EQ(1u, sink.calls.size());  // but notifies only once

    TimerAt(timers.Get(), 2)->put_Status(timeTimerStatusStopped);
    platform.Tick(100, 2);
    EXPECT_EQ(1u, sink.calls.size());
    EXPECT_EQ(timeTimerStatusStopped, StatusOf(timers.Get(), 2));
    TimerAt(timers.Get(), 2)->put_Status(timeTimerStatusRestart);
    platform.Tick(100, 2);
    EXPECT_EQ(timeTimerStatusEnded, StatusOf(timers.Get(), 2));
    EXPECT_EQ(1u, sink.calls.size());
    EXPECT_EQ(100, Apartment().gCurrentHwnd);

    // A timer no longer registered still notifies; an unknown window also
    // shows "Invalid Handle".
    LONG first = 1;
    timers->Remove(&first);
    platform.Tick(100, 1);
    EXPECT_EQ(2u, sink.calls.size());
    EXPECT_TRUE(platform.messageBoxes.empty());
    ComPtr<TimerService> replacing = NewService();  // empties the registry, silences the first sinks
    Connect(replacing.Get(), second);
    platform.Tick(100, 2);
    EXPECT_EQ((std::vector<std::wstring>{L"Invalid Handle"}), platform.messageBoxes);
    EXPECT_EQ(2u, sink.calls.size());
    EXPECT_EQ(1u, second.calls.size());
}

TEST_F(ServiceTest, SetTimerFailureLeavesTheRecordRegistered) {
    ComPtr<TimerService> service = NewService();
    platform.failSetTimer = true;
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(1234);
    EXPECT_EQ(S_OK, AddTimer(timers.Get(), 1, 10));
    EXPECT_EQ(timeTimerStatusStarted, StatusOf(timers.Get(), 1));
    EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(ServiceTest, ReplacingAndEndingTheServiceObject) {
    ComPtr<TimerService> a = NewService();
    AddGroup(100);
    ComPtr<TimerService> b = NewService();
    LONG count = -1;
    Groups()->Count(&count);
    EXPECT_EQ(0, count);
    EXPECT_EQ(b.Get(), Apartment().gTimerMain.Get());
    AddGroup(200);
    ComPtr<_clsVxTimeTimerItemsA> held = AddGroup(300);
    a.Reset();  // A's end clears the registration and the registry
    EXPECT_EQ(nullptr, Apartment().gTimerMain.Get());
    EXPECT_EQ(nullptr, Apartment().gTimerGroups.Get());
    // Adding through a collection the client kept creates a service object
    // (with a new, empty registry) to hear OnTimerStart; the timer is armed.
    ASSERT_EQ(S_OK, AddTimer(held.Get(), 5, 10));
    ASSERT_NE(nullptr, Apartment().gTimerMain.Get());
    LONG registered = -1;
    Groups()->Count(&registered);
    EXPECT_EQ(0, registered);
    EXPECT_TRUE(platform.IsArmed(300, 5));
    Apartment().gTimerMain.Reset();  // that object's end clears the registry again
    EXPECT_EQ(nullptr, Apartment().gTimerGroups.Get());
    held.Reset();
    // A service object released by its client stays registered; a new one
    // replaces it cleanly.
    b.Reset();
    ComPtr<TimerService> c = NewService();
    c.Reset();
    ComPtr<TimerService> d = NewService();
    EXPECT_EQ(d.Get(), Apartment().gTimerMain.Get());
    ASSERT_NE(nullptr, Apartment().gTimerGroups.Get());
    // Setting TimerGroups empty discards the registry; the next read makes
    // a new collection.
    ComPtr<_clsVxTimeTimerGroupsA> before;
    d->get_TimerGroups(&before);
    d->putref_TimerGroups(nullptr);
    ComPtr<_clsVxTimeTimerGroupsA> after;
    d->get_TimerGroups(&after);
    EXPECT_NE(before.Get(), after.Get());
}

TEST_F(ServiceTest, HandlersMayTearDownTheRegistryDuringAddition) {
    ComPtr<TimerService> service = NewService();
    Connect(service.Get(), sink);
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    int step = 0;
    sink.during = [&] {
        switch (step++) {
        case 0: {  // removes the timer being added
            LONG first = 1;
            timers->Remove(&first);
            break;
        }
        case 1:  // adds a further timer from inside the handler
            AddTimer(timers.Get(), 20, 10);
            break;
        case 2:  // a new service object replaces the one raising the event
            NewService();
            break;
        case 3:  // the registry is discarded
            RegisteredService()->putref_TimerGroups(nullptr);
            break;
        default: break;
        }
    };
    EXPECT_EQ(S_OK, AddTimer(timers.Get(), 1, 10));
    EXPECT_EQ(S_OK, AddTimer(timers.Get(), 2, 10));
    EXPECT_EQ(S_OK, AddTimer(timers.Get(), 3, 10));
    ComPtr<_clsVxTimeTimerItemsA> fresh = AddGroup(300);
    Connect(RegisteredService(), late);
    late.during = [&] { RegisteredService()->putref_TimerGroups(nullptr); };
    EXPECT_EQ(S_OK, AddTimer(fresh.Get(), 4, 10));
    EXPECT_TRUE(platform.IsArmed(100, 1) && platform.IsArmed(100, 2) && platform.IsArmed(100, 20));
    service.Reset();
}

TEST_F(ServiceTest, HandlerReplacingTheServiceObjectDuringATick) {
    ComPtr<TimerService> service = NewService();
    Connect(service.Get(), sink);
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 1, 10));
    sink.during = [&] {
        service.Reset();  // the client's last reference
        NewService();     // ends the registered object, which is raising the event
    };
    platform.Tick(100, 1);
    EXPECT_EQ(2u, sink.calls.size());
    // The replaced object ends once the tick lets go of it, and its end
    // clears the registration whichever object it names by then.
    EXPECT_EQ(nullptr, Apartment().gTimerMain.Get());
    EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(ServiceTest, TickInsideAMessageBox) {
    ComPtr<TimerService> service = NewService();
    Connect(service.Get(), sink);
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 1, 10));
    AddGroup(200);
    // The duplicate-timer box runs the message loop: a tick arrives there
    // and moves the current window back to the ticking timer's.
    platform.insideMessageBox = [&] { platform.Tick(100, 1); };
    LONG group = 1;
    ComPtr<_clsVxTimeTimerGroupA> first;
    Groups()->get_Item(&group, &first);
    EXPECT_EQ(S_OK, AddTimer(timers.Get(), 1, 10));
    EXPECT_EQ(1u, platform.messageBoxes.size());
    EXPECT_EQ(2u, sink.calls.size());
    EXPECT_EQ(timeTimerStatusEnded, StatusOf(timers.Get(), 1));
    EXPECT_EQ(100, Apartment().gCurrentHwnd);
}

TEST(ApartmentTest, EachThreadHasItsOwnRegistry) {
    ComPtr<TimerService> mine = TimerService::Create();
    LONG handle = 100;
    ComPtr<_clsVxTimeTimerGroupA> group;
    TimerGroups()->Add(&handle, &group);
    LONG otherCount = -1;
    std::thread other([&] {
        CoInitialize(nullptr);
        {
            ComPtr<TimerService> theirs = TimerService::Create();
            TimerGroups()->Count(&otherCount);
        }
        DiscardApartment();
        CoUninitialize();
    });
    other.join();
    EXPECT_EQ(0, otherCount);
    LONG count = 0;
    TimerGroups()->Count(&count);
    EXPECT_EQ(1, count);
    DiscardApartment();
}

}  // namespace
}  // namespace zx::test
