// Window groups, timer collections and timer addition.
#include "registry/time_units.h"
#include "service/scheduler.h"
#include "test_support.h"

namespace zx::test {
namespace {

using RegistryTest = ComponentTest;

LONG CountOf(_clsVxTimeTimerItemsA* timers) {
    LONG count = -1;
    timers->get_Count(&count);
    return count;
}

TEST_F(RegistryTest, NothingIsAddedWhileNoWindowIsCurrent) {
    ComPtr<TimerService> service = NewService();
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    Apartment().gCurrentHwnd = 0;
    EXPECT_EQ(S_OK, AddTimer(timers.Get(), 1, 10));
    EXPECT_EQ(0, CountOf(timers.Get()));
    // A group for handle 0 is stored, but its timers are ignored.
    ComPtr<_clsVxTimeTimerItemsA> zero = AddGroup(0);
    EXPECT_EQ(S_OK, AddTimer(zero.Get(), 1, 10));
    EXPECT_EQ(0, CountOf(zero.Get()));
    LONG groups = 0;
    Groups()->Count(&groups);
    EXPECT_EQ(2, groups);
    EXPECT_TRUE(platform.timers.empty());
}

TEST_F(RegistryTest, DuplicateTimersAndGroupsShowAMessageAndStoreNothing) {
    ComPtr<TimerService> service = NewService();
    ComPtr<_clsVxTimeTimerItemsA> first = AddGroup(100);
    EXPECT_EQ(S_OK, AddTimer(first.Get(), 7, 10));
    EXPECT_EQ(S_OK, AddTimer(first.Get(), 7, 10));
    ASSERT_EQ(1u, platform.messageBoxes.size());
    EXPECT_EQ(L"7 is already assigned to 100", platform.messageBoxes[0]);
    EXPECT_EQ(1, CountOf(first.Get()));
    // The same identifier in another group is accepted.
    ComPtr<_clsVxTimeTimerItemsA> second = AddGroup(200);
    EXPECT_EQ(S_OK, AddTimer(second.Get(), 7, 10));
    EXPECT_EQ(1, CountOf(second.Get()));

    LONG handle = 100;
    ComPtr<_clsVxTimeTimerGroupA> again;
    ASSERT_EQ(S_OK, Groups()->Add(&handle, &again));
    EXPECT_EQ(L"Already", platform.messageBoxes.back());
    LONG againHandle = -1;
    again->get_hWnd(&againHandle);
    ComPtr<_clsVxTimeTimerItemsA> againTimers;
    again->get_TimerItems(&againTimers);
    EXPECT_EQ(0, againHandle);
    EXPECT_EQ(nullptr, againTimers.Get());
    EXPECT_EQ(200, Apartment().gCurrentHwnd);  // unchanged by the refused group
    LONG count = 0;
    Groups()->Count(&count);
    EXPECT_EQ(2, count);
}

TEST_F(RegistryTest, TimersTakeTheCurrentWindowNotTheirGroups) {
    ComPtr<TimerService> service = NewService();
    ComPtr<_clsVxTimeTimerItemsA> a = AddGroup(100);
    ComPtr<_clsVxTimeTimerItemsA> b = AddGroup(200);
    ASSERT_EQ(S_OK, AddTimer(a.Get(), 5, 10));
    LONG handle = 0;
    TimerAt(a.Get(), 1)->get_hWnd(&handle);
    EXPECT_EQ(200, handle);
    EXPECT_TRUE(platform.IsArmed(200, 5));
    EXPECT_FALSE(platform.IsArmed(100, 5));
    // Reading a group moves the current window even when only looking.
    LONG first = 1;
    ComPtr<_clsVxTimeTimerGroupA> group;
    Groups()->get_Item(&first, &group);
    EXPECT_EQ(100, Apartment().gCurrentHwnd);
    LONG outside = 3;
    EXPECT_EQ(static_cast<HRESULT>(0x800A0009), Groups()->get_Item(&outside, &group));
    EXPECT_EQ(100, Apartment().gCurrentHwnd);
}

TEST_F(RegistryTest, UnitsConvertWithCheckedArithmetic) {
    ComPtr<TimerService> service = NewService();
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    EXPECT_EQ(S_OK, AddTimer(timers.Get(), 1, 2147483, 1));
    EXPECT_EQ(2147483000u, (platform.timers[{100, 1}].milliseconds));
    EXPECT_EQ(static_cast<HRESULT>(0x800A0006), AddTimer(timers.Get(), 2, 2147484, 1));
    EXPECT_EQ(S_OK, AddTimer(timers.Get(), 3, 596, 3));
    EXPECT_EQ(static_cast<HRESULT>(0x800A0006), AddTimer(timers.Get(), 4, 597, 3));
    EXPECT_EQ(static_cast<HRESULT>(0x800A0006), AddTimer(timers.Get(), 5, -35792, 2));
    EXPECT_EQ(S_OK, AddTimer(timers.Get(), 6, 250, 7));
    EXPECT_EQ(3, CountOf(timers.Get()));  // the overflowing ones stored nothing
    EXPECT_FALSE(platform.IsArmed(100, 2));
    Bstr label;
    TimerAt(timers.Get(), 3)->get_TimeUnits(label.Put());
    EXPECT_EQ(L"", label.Str());
    EXPECT_EQ(0u, (platform.timers[{100, 6}].milliseconds));
    TimerAt(timers.Get(), 2)->get_TimeUnits(label.Put());
    EXPECT_EQ(L"Hrs", label.Str());
    EXPECT_EQ(2, UnitsFromLabel(L"mIN"));
    EXPECT_EQ(0, UnitsFromLabel(L"weeks"));
}

TEST_F(RegistryTest, AddedRecordHoldsWhatTheClientGave) {
    ComPtr<TimerService> service = NewService();
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    platform.clock = 12.5f;
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 9, 5, 1, 5, 77));
    platform.clock = 13.5f;
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 10, 5));
    ComPtr<_clsVxTimeTimerItemA> timer = TimerAt(timers.Get(), 1);
    LONG value = 0;
    timer->get_StartTime(&value);
    EXPECT_EQ(12, value);
    TimerAt(timers.Get(), 2)->get_StartTime(&value);
    EXPECT_EQ(14, value);
    timer->get_ElapseTime(&value);
    EXPECT_EQ(5, value);
    VARIANT_BOOL repeat = 0;
    timer->get_Repeat(&repeat);
    EXPECT_EQ(VARIANT_TRUE, repeat);  // 5 was stored; it reads as True
    // ...but only -1 arms the repeating procedure.
    EXPECT_EQ(&OneShotTimerProc, (platform.timers[{100, 9}].procedure));
    AdditionalArguStru copy{};
    timer->get_AdditionalArgu(&copy);
    EXPECT_EQ(77, copy.lLParam);
    ClearRecord(copy);
    Bstr owner;
    timer->get_Owner(owner.Put());
    EXPECT_EQ(L"owner", owner.Str());
    VARIANT_BOOL exists = 0;
    LONG handle = 100, id = 9, otherHandle = 200, otherId = 10;
    timers->CheckExistance(&handle, &id, &exists);
    EXPECT_EQ(VARIANT_TRUE, exists);
    timers->CheckExistance(&otherHandle, &id, &exists);
    EXPECT_EQ(VARIANT_FALSE, exists);
    timers->CheckExistance(&handle, &otherId, &exists);
    EXPECT_EQ(VARIANT_TRUE, exists);
}

TEST_F(RegistryTest, PositionsOutsideTheCollections) {
    ComPtr<TimerService> service = NewService();
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 1, 10));
    Variant result;
    for (LONG position : {0, 2, -1}) {
        EXPECT_EQ(S_OK, Groups()->Remove(&position, result.Get()));
        EXPECT_EQ(static_cast<HRESULT>(0x800A0009), timers->Remove(&position));
    }
    LONG count = 0;
    Groups()->Count(&count);
    EXPECT_EQ(1, count);
    VARIANT text;
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"1");
    ComPtr<_clsVxTimeTimerItemA> none;
    EXPECT_EQ(static_cast<HRESULT>(0x800A0005), timers->get_Item(&text, &none));
    VariantClear(&text);
}

TEST_F(RegistryTest, ChangedHandleMakesAKeyClash) {
    ComPtr<TimerService> service = NewService();
    ComPtr<_clsVxTimeTimerGroupA> group;
    LONG handle = 100;
    Groups()->Add(&handle, &group);
    group->put_hWnd(300);
    AddGroup(200);  // moves the current handle away from 100
    EXPECT_EQ(static_cast<HRESULT>(0x800A01C9), Groups()->Add(&handle, &group));  // 457
    EXPECT_EQ(100, Apartment().gCurrentHwnd);  // set before the key clash
}

TEST_F(RegistryTest, ClearOfAReplacedCollectionUsesTheApartmentsCount) {
    ComPtr<TimerService> service = NewService();
    ComPtr<_clsVxTimeTimerGroupsA> old = Groups();
    AddGroup(100);
    AddGroup(200);
    ComPtr<TimerService> second = NewService();  // the registry starts over
    EXPECT_EQ(S_OK, old->Clear());
    LONG count = 0;
    old->Count(&count);
    EXPECT_EQ(2, count);  // the apartment's collection is empty
    AddGroup(300);
    EXPECT_EQ(S_OK, old->Clear());
    old->Count(&count);
    EXPECT_EQ(0, count);
}

}  // namespace
}  // namespace zx::test
