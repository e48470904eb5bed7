// The service object's operations on one timer: stop, start, percentage and
// reset, including handlers and message boxes that re-enter the component.
#include <ocidl.h>

#include "heap_bytes.h"
#include "service/scheduler.h"
#include "test_support.h"
#include "forwarding_timers.h"

namespace zx::test {
namespace {

constexpr LONG kWindow = 100;
constexpr HRESULT kOverflow = static_cast<HRESULT>(0x800A0006);
constexpr HRESULT kSubscript = static_cast<HRESULT>(0x800A0009);
constexpr HRESULT kDivisionByZero = static_cast<HRESULT>(0x800A000B);

// A service object with a connected sink and one window group, kWindow.
class ControlTest : public ComponentTest {
protected:
    void SetUp() override {
        ComponentTest::SetUp();
        service = NewService();
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(S_OK, service.As(&container));
        ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID___clsVxTimeTimerMainA, &point));
        ASSERT_EQ(S_OK, point->Advise(&sink, &cookie));
        timers = AddGroup(kWindow);
    }
    void TearDown() override {
        if (point) point->Unadvise(cookie);
        point.Reset();
        timers.Reset();
        service.Reset();
        ComponentTest::TearDown();
    }

    void Stop(LONG hwnd, LONG id) { EXPECT_EQ(S_OK, service->TimerStop(&hwnd, &id)); }
    void Start(LONG hwnd, LONG id) { EXPECT_EQ(S_OK, service->TimerStart(&hwnd, &id)); }
    LONG Reset(LONG hwnd, LONG id) {
        LONG result = 99;
        EXPECT_EQ(S_OK, service->ResetTimer(&hwnd, &id, &result));
        return result;
    }
    HRESULT Percentage(LONG hwnd, LONG id, LONG& result) {
        result = 99;
        return service->GetPercentage(&hwnd, &id, &result);
    }
    LONG Count() {
        LONG count = -1;
        timers->get_Count(&count);
        return count;
    }
    LONG IdAt(LONG position) {
        LONG id = -1;
        if (ComPtr<_clsVxTimeTimerItemA> timer = TimerAt(timers.Get(), position)) timer->get_TimerId(&id);
        return id;
    }
    int Notifications(const wchar_t* name) const {
        int count = 0;
        for (const auto& call : sink.calls) count += call.name == name;
        return count;
    }
    LONG GroupCount() {
        LONG count = -1;
        Groups()->Count(&count);
        return count;
    }

    RecordingSink sink{DIID___clsVxTimeTimerMainA};
    ComPtr<TimerService> service;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    ComPtr<_clsVxTimeTimerItemsA> timers;
};

LONG RecordStatus(_clsVxTimeTimerItemA* timer) {
    TimerStatusTypeTimeConstants status = timeTimerStatusStarted;
    timer->get_Status(&status);
    return status;
}

std::wstring OwnerOf(_clsVxTimeTimerItemA* timer) {
    Bstr owner;
    timer->get_Owner(owner.Put());
    return owner.Str();
}

TEST_F(ControlTest, StoppedRepeatingTimerTicksSilentlyUntilStarted) {
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 50, 0, VARIANT_TRUE));
    Stop(kWindow, 7);
    EXPECT_EQ(timeTimerStatusStopped, StatusOf(timers.Get(), 1));
    platform.Tick(kWindow, 7);
    platform.Tick(kWindow, 7);
    EXPECT_EQ(0, Notifications(L"OnTimerElapse"));
    EXPECT_EQ(timeTimerStatusStopped, StatusOf(timers.Get(), 1));
    EXPECT_TRUE(platform.IsArmed(kWindow, 7));  // stopping leaves the platform timer alone

    Start(kWindow, 7);
    EXPECT_EQ(timeTimerStatusStarted, StatusOf(timers.Get(), 1));
    platform.Tick(kWindow, 7);
    EXPECT_EQ(1, Notifications(L"OnTimerElapse"));
    EXPECT_EQ(timeTimerStatusEnded, StatusOf(timers.Get(), 1));
    platform.Tick(kWindow, 7);
    EXPECT_EQ(1, Notifications(L"OnTimerElapse"));
    Start(kWindow, 7);
    platform.Tick(kWindow, 7);
    EXPECT_EQ(2, Notifications(L"OnTimerElapse"));
    EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(ControlTest, OneShotTimerNeverNotifiesAgain) {
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 50));
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 8, 50));
    platform.Tick(kWindow, 7);
    EXPECT_EQ(1, Notifications(L"OnTimerElapse"));
    Start(kWindow, 7);
    EXPECT_EQ(timeTimerStatusStarted, StatusOf(timers.Get(), 1));
    EXPECT_FALSE(platform.IsArmed(kWindow, 7));  // so no tick can come

    // Stopped before its tick: the tick kills it and notifies nothing.
    Stop(kWindow, 8);
    platform.Tick(kWindow, 8);
    EXPECT_EQ(1, Notifications(L"OnTimerElapse"));
    EXPECT_EQ(timeTimerStatusStopped, StatusOf(timers.Get(), 2));
    EXPECT_FALSE(platform.IsArmed(kWindow, 8));
}

TEST_F(ControlTest, StopAndStartActOnTheFirstMatchOfTheirGroupOnly) {
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 50));
    ComPtr<_clsVxTimeTimerItemsA> other = AddGroup(200);
    ASSERT_EQ(S_OK, AddTimer(other.Get(), 7, 50));
    // Added through the first group while 200 is current: a second 7 there.
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 50));
    ASSERT_EQ(2, Count());

    Stop(kWindow, 7);
    EXPECT_EQ(timeTimerStatusStopped, StatusOf(timers.Get(), 1));
    EXPECT_EQ(timeTimerStatusStarted, StatusOf(timers.Get(), 2));
    EXPECT_EQ(timeTimerStatusStarted, StatusOf(other.Get(), 1));
    Stop(200, 7);
    EXPECT_EQ(timeTimerStatusStopped, StatusOf(other.Get(), 1));
    EXPECT_EQ(200, Apartment().gCurrentHwnd);

    // An identifier the window does not hold: nothing, and no message.
    Start(kWindow, 99);
    EXPECT_EQ(timeTimerStatusStopped, StatusOf(timers.Get(), 1));
    EXPECT_TRUE(platform.messageBoxes.empty());
    EXPECT_EQ(kWindow, Apartment().gCurrentHwnd);

    // A window without a group: "Invalid Handle", no effect, and the search
    // leaves the last group's handle current.
    Start(555, 7);
    Stop(555, 7);
    EXPECT_EQ((std::vector<std::wstring>{L"Invalid Handle", L"Invalid Handle"}), platform.messageBoxes);
    EXPECT_EQ(timeTimerStatusStopped, StatusOf(timers.Get(), 1));
    EXPECT_EQ(timeTimerStatusStarted, StatusOf(timers.Get(), 2));
    EXPECT_EQ(200, Apartment().gCurrentHwnd);
}

TEST_F(ControlTest, GetPercentageFollowsTheClock) {
    platform.clock = 3600.4f;
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 10, 1));
    LONG percent = 0;
    EXPECT_EQ(S_OK, Percentage(kWindow, 7, percent));
    EXPECT_EQ(100, percent);
    platform.clock = 3601.4f;
    EXPECT_EQ(S_OK, Percentage(kWindow, 7, percent));
    EXPECT_EQ(90, percent);
    platform.clock = 3610.0f;
    EXPECT_EQ(S_OK, Percentage(kWindow, 7, percent));
    EXPECT_EQ(0, percent);
    platform.clock = 3650.0f;
    EXPECT_EQ(S_OK, Percentage(kWindow, 7, percent));
    EXPECT_EQ(0, percent);

    // Past midnight it goes above 100, beyond what Percent can hold.
    platform.clock = 86399.0f;
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 8, 10, 1));
    platform.clock = 100.0f;
    EXPECT_EQ(S_OK, Percentage(kWindow, 8, percent));
    EXPECT_EQ(863090, percent);
    SHORT narrow = 0;
    EXPECT_EQ(kOverflow, TimerAt(timers.Get(), 2)->get_Percent(&narrow));
}

TEST_F(ControlTest, GetPercentageFailures) {
    platform.clock = 3600.0f;
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 0, 1));
    LONG percent = 0;
    // An identifier the window does not hold: the collection's error for position 0.
    EXPECT_EQ(kSubscript, Percentage(kWindow, 99, percent));
    EXPECT_EQ(0, percent);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &info));
    Bstr description;
    info->GetDescription(description.Put());
    EXPECT_EQ(L"Subscript out of range", description.Str());

    EXPECT_EQ(kOverflow, Percentage(kWindow, 7, percent));  // 0 of 0
    platform.clock = 10.0f;
    EXPECT_EQ(kDivisionByZero, Percentage(kWindow, 7, percent));  // a positive balance of 0
    EXPECT_TRUE(platform.messageBoxes.empty());

    EXPECT_EQ(S_OK, Percentage(555, 7, percent));
    EXPECT_EQ(0, percent);
    EXPECT_EQ(std::vector<std::wstring>{L"Invalid Handle"}, platform.messageBoxes);
}

TEST_F(ControlTest, ResetRegistersTheTimerAnewAtTheEnd) {
    platform.clock = 3600.4f;
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 5, 1, VARIANT_TRUE, 33));
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 8, 1000));
    ComPtr<_clsVxTimeTimerItemA> old = TimerAt(timers.Get(), 1);
    platform.timers.clear();
    sink.calls.clear();
    platform.clock = 3603.0f;
    LONG statusDuringHandler = -1;
    sink.during = [&] { statusDuringHandler = RecordStatus(old.Get()); };

    EXPECT_EQ(0, Reset(kWindow, 7));
    ASSERT_EQ(1u, sink.calls.size());
    const RecordingSink::Call& call = sink.calls[0];
    EXPECT_EQ(L"OnTimerStart", call.name);
    EXPECT_EQ(kWindow, call.hWnd);
    EXPECT_EQ(7, call.timerId);
    EXPECT_EQ(5, call.elapseTime);  // in the timer's unit
    EXPECT_EQ(33, call.lParam);
    EXPECT_EQ(timeTimerStatusReset, statusDuringHandler);

    ASSERT_EQ(2, Count());
    EXPECT_EQ(8, IdAt(1));
    ComPtr<_clsVxTimeTimerItemA> renewed = TimerAt(timers.Get(), 2);
    ASSERT_NE(old.Get(), renewed.Get());
    EXPECT_EQ(7, IdAt(2));
    EXPECT_EQ(L"", OwnerOf(renewed.Get()));
    EXPECT_EQ(L"owner", OwnerOf(old.Get()));
    LONG start = 0, elapse = 0, hwnd = 0;
    VARIANT_BOOL repeat = 0;
    renewed->get_StartTime(&start);
    renewed->get_ElapseTime(&elapse);
    renewed->get_hWnd(&hwnd);
    renewed->get_Repeat(&repeat);
    EXPECT_EQ(3603, start);
    EXPECT_EQ(5, elapse);
    EXPECT_EQ(kWindow, hwnd);
    EXPECT_EQ(VARIANT_TRUE, repeat);
    AdditionalArguStru record{};
    renewed->get_AdditionalArgu(&record);
    EXPECT_EQ(33, record.lLParam);
    ClearRecord(record);
    EXPECT_EQ(timeTimerStatusStarted, RecordStatus(renewed.Get()));
    EXPECT_EQ(timeTimerStatusStarted, RecordStatus(old.Get()));

    ASSERT_TRUE(platform.IsArmed(kWindow, 7));
    EXPECT_EQ(5000u, (platform.timers[{kWindow, 7}].milliseconds));
    EXPECT_EQ(&RepeatingTimerProc, (platform.timers[{kWindow, 7}].procedure));
    EXPECT_TRUE(platform.messageBoxes.empty());
}

// A client's own timer collection, handed to a group through TimerItems: it
// passes every call on to the library's collection, and its Add then
// replaces the Owner string it was handed by reference, as an [in, out]
// parameter allows.
class OwnerRewritingTimers final : public zxclient::ForwardingTimers {
public:
    using ForwardingTimers::ForwardingTimers;
    STDMETHODIMP Add(LONG* timerId, AdditionalArguStru* record, LONG* elapse, TimerTimeUnitsTimeConstants* units,
                     VARIANT_BOOL* repeat, BSTR* owner, VARIANT* result) override {
        HRESULT hr = zxclient::ForwardingTimers::Add(timerId, record, elapse, units, repeat, owner, result);
        if (owner) {
            SysFreeString(*owner);
            *owner = SysAllocString(std::wstring(4000, L'o').c_str());
        }
        ++adds;
        return hr;
    }

    int adds = 0;
};

// The Owner that ResetTimer hands to Add is the library's own string: a
// collection that replaces it leaves nothing behind and frees nothing twice.
TEST_F(ControlTest, ResetThroughACollectionThatReplacesOwner) {
    OwnerRewritingTimers client(timers.Get());
    ComPtr<_clsVxTimeTimerGroupA> group;
    LONG first = 1;
    ASSERT_EQ(S_OK, Groups()->get_Item(&first, &group));
    ASSERT_EQ(S_OK, group->putref_TimerItems(&client));
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 50));
    sink.during = [&] { sink.calls.clear(); };  // the record of calls would grow
    zxheap::DisableStringCache();
    auto reset = [&] { EXPECT_EQ(0, Reset(kWindow, 7)); };
    reset();
    EXPECT_EQ(0, zxheap::HeapChangeOver(100, reset));
    EXPECT_GE(client.adds, 101);
    EXPECT_EQ(1, Count());
    ASSERT_EQ(S_OK, group->putref_TimerItems(timers.Get()));
    EXPECT_EQ(1u, client.references);
}

TEST_F(ControlTest, CancelledResetLeavesTheTimerStopped) {
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 50, 0, VARIANT_TRUE));
    sink.cancel = true;
    EXPECT_EQ(0, Reset(kWindow, 7));
    ASSERT_EQ(1, Count());
    EXPECT_EQ(timeTimerStatusStopped, StatusOf(timers.Get(), 1));
    // The platform timer armed before keeps ticking, to no effect.
    ASSERT_TRUE(platform.IsArmed(kWindow, 7));
    platform.Tick(kWindow, 7);
    EXPECT_EQ(0, Notifications(L"OnTimerElapse"));
    EXPECT_EQ(timeTimerStatusStopped, StatusOf(timers.Get(), 1));
}

TEST_F(ControlTest, ResetRearmsFromTheStoredRepeatAndUnit) {
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 40, 0, 5));  // Repeat 5: one-shot when added
    EXPECT_EQ(&OneShotTimerProc, (platform.timers[{kWindow, 7}].procedure));
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 8, 30, 7));  // unit 7: empty label, 0 ms
    EXPECT_EQ(0u, (platform.timers[{kWindow, 8}].milliseconds));
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 9, 2, 3));
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 10, 3, 1));
    ASSERT_EQ(S_OK, TimerAt(timers.Get(), 4)->put_TimeUnits(Bstr(L"mIN").Get()));

    EXPECT_EQ(0, Reset(kWindow, 7));
    EXPECT_EQ(&RepeatingTimerProc, (platform.timers[{kWindow, 7}].procedure));
    EXPECT_EQ(40u, (platform.timers[{kWindow, 7}].milliseconds));
    EXPECT_EQ(0, Reset(kWindow, 8));
    EXPECT_EQ(30u, (platform.timers[{kWindow, 8}].milliseconds));
    EXPECT_EQ(&OneShotTimerProc, (platform.timers[{kWindow, 8}].procedure));
    EXPECT_EQ(0, Reset(kWindow, 9));
    EXPECT_EQ(7200000u, (platform.timers[{kWindow, 9}].milliseconds));
    EXPECT_EQ(0, Reset(kWindow, 10));
    EXPECT_EQ(180000u, (platform.timers[{kWindow, 10}].milliseconds));

    ASSERT_EQ(4, Count());
    const wchar_t* labels[] = {L"MSec", L"MSec", L"Hrs", L"Min"};
    for (LONG position = 1; position <= 4; ++position) {
        Bstr label;
        TimerAt(timers.Get(), position)->get_TimeUnits(label.Put());
        EXPECT_EQ(labels[position - 1], label.Str()) << position;
    }
}

TEST_F(ControlTest, ResetOfAnUnknownTimerOrWindowDoesNothingAndReturnsZero) {
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 50));
    sink.calls.clear();
    EXPECT_EQ(0, Reset(kWindow, 99));
    EXPECT_TRUE(platform.messageBoxes.empty());
    EXPECT_EQ(0, Reset(555, 7));
    EXPECT_EQ(std::vector<std::wstring>{L"Invalid Handle"}, platform.messageBoxes);
    EXPECT_TRUE(sink.calls.empty());
    EXPECT_EQ(1, Count());
    EXPECT_EQ(timeTimerStatusStarted, StatusOf(timers.Get(), 1));
}

TEST_F(ControlTest, FailedResetKeepsTheStepsAlreadyDone) {
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 5, 1));
    ComPtr<_clsVxTimeTimerItemA> old = TimerAt(timers.Get(), 1);
    old->put_ElapseTime(3000000);  // too many milliseconds in seconds
    sink.calls.clear();
    LONG hwnd = kWindow, id = 7, result = 99;
    EXPECT_EQ(kOverflow, service->ResetTimer(&hwnd, &id, &result));
    EXPECT_EQ(0, result);
    EXPECT_EQ(0, Count());
    EXPECT_EQ(timeTimerStatusReset, RecordStatus(old.Get()));
    EXPECT_TRUE(sink.calls.empty());
}

TEST_F(ControlTest, HandlersThatControlTimersDuringAReset) {
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 50, 0, VARIANT_TRUE));
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 8, 50, 0, VARIANT_TRUE));
    sink.calls.clear();
    bool entered = false;
    sink.during = [&] {
        if (std::exchange(entered, true)) return;
        Stop(kWindow, 7);  // the record just added
        Stop(kWindow, 8);
        EXPECT_EQ(0, Reset(kWindow, 7));
        platform.Tick(kWindow, 8);
    };
    EXPECT_EQ(0, Reset(kWindow, 7));
    EXPECT_EQ(2, Notifications(L"OnTimerStart"));
    EXPECT_EQ(0, Notifications(L"OnTimerElapse"));
    ASSERT_EQ(2, Count());
    EXPECT_EQ(8, IdAt(1));
    EXPECT_EQ(7, IdAt(2));
    EXPECT_EQ(timeTimerStatusStopped, StatusOf(timers.Get(), 1));
    EXPECT_EQ(timeTimerStatusStarted, StatusOf(timers.Get(), 2));
    platform.Tick(kWindow, 7);
    EXPECT_EQ(1, Notifications(L"OnTimerElapse"));
}

TEST_F(ControlTest, HandlerTicksTheTimerBeingReset) {
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 50, 0, VARIANT_TRUE));
    bool entered = false;
    sink.during = [&] {
        if (!std::exchange(entered, true)) platform.Tick(kWindow, 7);
    };
    EXPECT_EQ(0, Reset(kWindow, 7));
    // The tick found the new record started, notified and ended it.
    EXPECT_EQ(1, Notifications(L"OnTimerElapse"));
    ASSERT_EQ(1, Count());
    EXPECT_EQ(timeTimerStatusEnded, StatusOf(timers.Get(), 1));
    EXPECT_TRUE(platform.IsArmed(kWindow, 7));
}

TEST_F(ControlTest, HandlersThatDropTheRegistryDuringAReset) {
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 50, 0, VARIANT_TRUE));
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 8, 50, 0, VARIANT_TRUE));
    ComPtr<_clsVxTimeTimerItemA> old = TimerAt(timers.Get(), 1);
    platform.timers.clear();

    // Emptying the timer collection: the new record is armed all the same.
    sink.during = [&] { EXPECT_EQ(S_OK, timers->Clear()); };
    EXPECT_EQ(0, Reset(kWindow, 7));
    EXPECT_EQ(0, Count());
    EXPECT_TRUE(platform.IsArmed(kWindow, 7));
    EXPECT_EQ(timeTimerStatusStarted, RecordStatus(old.Get()));

    // Dropping every group, and replacing the service object.
    sink.during = nullptr;
    ComPtr<_clsVxTimeTimerItemsA> other = AddGroup(200);
    ASSERT_EQ(S_OK, AddTimer(other.Get(), 9, 50));
    ComPtr<TimerService> replacement;
    bool entered = false;
    sink.during = [&] {
        if (std::exchange(entered, true)) return;
        EXPECT_EQ(S_OK, Groups()->Clear());
        replacement = NewService();
    };
    EXPECT_EQ(0, Reset(200, 9));
    EXPECT_EQ(replacement.Get(), Apartment().gTimerMain.Get());
    EXPECT_EQ(0, GroupCount());
    LONG inOther = -1;
    other->get_Count(&inOther);
    EXPECT_EQ(1, inOther);
    // A tick of the re-armed timer finds no window: the message, then the
    // notice, which goes to the replacement's (absent) sinks.
    ASSERT_TRUE(platform.IsArmed(200, 9));
    platform.Tick(200, 9);
    EXPECT_EQ(std::vector<std::wstring>{L"Invalid Handle"}, platform.messageBoxes);
    EXPECT_EQ(0, Notifications(L"OnTimerElapse"));
}

TEST_F(ControlTest, MessageBoxThatReentersTheComponent) {
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 50, 0, VARIANT_TRUE));
    platform.insideMessageBox = [&] {
        platform.Tick(kWindow, 7);
        EXPECT_EQ(0, Reset(kWindow, 7));
        EXPECT_EQ(S_OK, Groups()->Clear());
    };
    LONG percent = 0;
    EXPECT_EQ(S_OK, Percentage(555, 7, percent));
    EXPECT_EQ(0, percent);
    EXPECT_EQ(1, Notifications(L"OnTimerElapse"));
    EXPECT_EQ(2, Notifications(L"OnTimerStart"));
    EXPECT_EQ(0, GroupCount());
    // With the registry empty every operation finds no window.
    EXPECT_EQ(0, Reset(kWindow, 7));
    Stop(kWindow, 7);
    EXPECT_EQ(3u, platform.messageBoxes.size());
}

TEST_F(ControlTest, OperationsThroughDispatch) {
    platform.clock = 3600.0f;
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 10, 1));
    IDispatch* dispatch = service.Get();
    LONG hwnd = kWindow, id = 7;

    CallResult stopped;
    Call(dispatch, L"TimerStop", DISPATCH_METHOD, {LongRef(&hwnd), LongRef(&id)}, stopped);
    EXPECT_EQ(S_OK, stopped.hr);
    EXPECT_EQ(timeTimerStatusStopped, StatusOf(timers.Get(), 1));
    CallResult started;
    Call(dispatch, L"timerstart", DISPATCH_METHOD, {Long(kWindow), Long(7)}, started);
    EXPECT_EQ(S_OK, started.hr);
    EXPECT_EQ(timeTimerStatusStarted, StatusOf(timers.Get(), 1));

    platform.clock = 3603.0f;
    CallResult percent;
    Call(dispatch, L"GetPercentage", DISPATCH_METHOD, {LongRef(&hwnd), LongRef(&id)}, percent);
    ASSERT_EQ(S_OK, percent.hr);
    ASSERT_EQ(VT_I4, percent.value->vt);
    EXPECT_EQ(70, percent.value->lVal);
    CallResult missing;
    Call(dispatch, L"GetPercentage", DISPATCH_METHOD, {Long(kWindow), Long(99)}, missing);
    ASSERT_EQ(DISP_E_EXCEPTION, missing.hr);
    EXPECT_EQ(kSubscript, missing.exception.scode);
    EXPECT_STREQ(L"Subscript out of range", missing.exception.bstrDescription);

    sink.calls.clear();
    CallResult reset;
    Call(dispatch, L"ResetTimer", DISPATCH_METHOD, {LongRef(&hwnd), LongRef(&id)}, reset);
    ASSERT_EQ(S_OK, reset.hr);
    ASSERT_EQ(VT_I4, reset.value->vt);
    EXPECT_EQ(0, reset.value->lVal);
    EXPECT_EQ(1, Notifications(L"OnTimerStart"));
    LONG start = 0;
    TimerAt(timers.Get(), 1)->get_StartTime(&start);
    EXPECT_EQ(3603, start);
}

}  // namespace
}  // namespace zx::test
