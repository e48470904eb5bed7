// Finding timers by identifier: the registry's own collections answer from
// an index, which must give what reading every record through Item gives,
// whatever was added, removed, cleared or let in between; collections of a
// client's are still read through their interface.
#include <random>
#include <utility>

#include "registry/timer_collection.h"
#include "service/scheduler.h"
#include "test_support.h"
#include "forwarding_timers.h"

namespace zx::test {
namespace {

using LookupTest = ComponentTest;

// What a scan through the collection's interface finds: the position of the
// first record with `id`, and whether any has `id` and `hWnd`.
LONG ScannedPosition(_clsVxTimeTimerItemsA* timers, LONG id) {
    LONG count = 0;
    timers->get_Count(&count);
    for (LONG position = 1; position <= count; ++position) {
        VARIANT index = Long(position);
        ComPtr<_clsVxTimeTimerItemA> timer;
        LONG found = 0;
        if (SUCCEEDED(timers->get_Item(&index, &timer))) timer->get_TimerId(&found);
        if (found == id) return position;
    }
    return 0;
}

bool ScannedExistence(_clsVxTimeTimerItemsA* timers, LONG hWnd, LONG id) {
    LONG count = 0;
    timers->get_Count(&count);
    for (LONG position = 1; position <= count; ++position) {
        VARIANT index = Long(position);
        ComPtr<_clsVxTimeTimerItemA> timer;
        LONG foundId = 0, foundHandle = 0;
        if (FAILED(timers->get_Item(&index, &timer))) continue;
        timer->get_TimerId(&foundId);
        timer->get_hWnd(&foundHandle);
        if (foundId == id && foundHandle == hWnd) return true;
    }
    return false;
}

void ExpectLookupsAgree(_clsVxTimeTimerItemsA* timers, LONG groupIndex, LONG maxId, const char* after) {
    for (LONG id = 0; id <= maxId + 1; ++id) {
        LONG group = groupIndex, wanted = id;
        ASSERT_EQ(ScannedPosition(timers, id), FindTimerIndex(&group, &wanted)) << "id " << id << " after " << after;
        for (LONG hWnd : {100, 200}) {
            LONG h = hWnd;
            VARIANT_BOOL exists = VARIANT_TRUE;
            ASSERT_EQ(S_OK, timers->CheckExistance(&h, &wanted, &exists));
            ASSERT_EQ(ScannedExistence(timers, hWnd, id), exists != VARIANT_FALSE)
                << "id " << id << " window " << hWnd << " after " << after;
        }
    }
}

// A long random walk over every way the records of a collection change,
// with duplicate identifiers on purpose (records stamped with another
// window, identifiers let to clash), checked against the scan at each step.
TEST_F(LookupTest, IndexAgreesWithTheScanThroughEveryChange) {
    ComPtr<TimerService> service = NewService();
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    ComPtr<_clsVxTimeTimerItemsA> other = AddGroup(200);
    constexpr LONG kMaxId = 24;
    std::mt19937 random(20261211);
    auto pick = [&](LONG low, LONG high) { return std::uniform_int_distribution<LONG>(low, high)(random); };
    std::vector<ComPtr<_clsVxTimeTimerItemA>> removed;  // still held, as a client may
    for (int step = 0; step < 1500; ++step) {
        LONG count = 0;
        timers->get_Count(&count);
        const int kind = pick(0, 99);
        const char* what = "";
        if (kind < 45 || count == 0) {
            // The current window decides the record's handle: either group's.
            Apartment().gCurrentHwnd = pick(0, 1) ? 100 : 200;
            AddTimer(timers.Get(), pick(1, kMaxId), 1000);
            what = "Add";
        } else if (kind < 65) {
            LONG position = pick(0, 2) == 0 ? 1 : pick(1, count);
            removed.push_back(TimerAt(timers.Get(), position));
            ASSERT_EQ(S_OK, timers->Remove(&position));
            what = "Remove";
        } else if (kind < 85) {
            ASSERT_EQ(S_OK, TimerAt(timers.Get(), pick(1, count))->put_TimerId(pick(0, kMaxId)));
            what = "TimerId let";
        } else if (kind < 93) {
            ASSERT_EQ(S_OK, TimerAt(timers.Get(), pick(1, count))->put_hWnd(pick(0, 1) ? 100 : 200));
            what = "hWnd let";
        } else if (kind < 98) {
            // Records taken out no longer count, whatever they are let to.
            if (!removed.empty()) removed[pick(0, LONG(removed.size()) - 1)]->put_TimerId(pick(0, kMaxId));
            what = "TimerId let of a removed record";
        } else {
            ASSERT_EQ(S_OK, timers->Clear());
            what = "Clear";
        }
        ExpectLookupsAgree(timers.Get(), 1, kMaxId, what);
        if (HasFatalFailure()) return;
    }
    EXPECT_EQ(0, ScannedPosition(other.Get(), 1));
    platform.messageBoxes.clear();
}

// The first match wins where duplicates exist, and ticks and controls act on
// it; gCurrentHwnd is left where the scan leaves it.
TEST_F(LookupTest, FirstMatchAndTheCurrentWindow) {
    ComPtr<TimerService> service = NewService();
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    ComPtr<_clsVxTimeTimerItemsA> other = AddGroup(200);
    Apartment().gCurrentHwnd = 100;
    for (LONG id = 1; id <= 5; ++id) ASSERT_EQ(S_OK, AddTimer(timers.Get(), id, 1000));
    ASSERT_EQ(S_OK, TimerAt(timers.Get(), 4)->put_TimerId(2));  // positions 2 and 4 now both say 2
    LONG hWnd = 100, id = 2;
    ASSERT_EQ(S_OK, service->TimerStop(&hWnd, &id));
    EXPECT_EQ(timeTimerStatusStopped, StatusOf(timers.Get(), 2));
    EXPECT_EQ(timeTimerStatusStarted, StatusOf(timers.Get(), 4));
    EXPECT_EQ(100, Apartment().gCurrentHwnd);
    // Taking out the first makes the second the match.
    LONG second = 2;
    ASSERT_EQ(S_OK, timers->Remove(&second));
    LONG group = 1;
    EXPECT_EQ(3, FindTimerIndex(&group, &id));

    // A window without a group: every group is visited, the last one's
    // handle stays.
    Apartment().gCurrentHwnd = 0;
    LONG unknown = 999;
    EXPECT_EQ(0, FindGroupIndex(&unknown));
    EXPECT_EQ(200, Apartment().gCurrentHwnd);
    LONG first = 100;
    EXPECT_EQ(1, FindGroupIndex(&first));
    EXPECT_EQ(100, Apartment().gCurrentHwnd);
    // A group's handle let by the client is what the search compares.
    ComPtr<_clsVxTimeTimerGroupA> secondGroup;
    LONG two = 2;
    ASSERT_EQ(S_OK, Groups()->get_Item(&two, &secondGroup));
    ASSERT_EQ(S_OK, secondGroup->put_hWnd(100));
    ComPtr<_clsVxTimeTimerGroupA> firstGroup;
    LONG one = 1;
    ASSERT_EQ(S_OK, Groups()->get_Item(&one, &firstGroup));
    ASSERT_EQ(S_OK, firstGroup->put_hWnd(300));
    EXPECT_EQ(2, FindGroupIndex(&first));
}

using zxclient::CountingTimers;

TEST_F(LookupTest, SubstitutedCollectionsAreReadThroughTheirInterface) {
    ComPtr<TimerService> service = NewService();
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    Apartment().gCurrentHwnd = 100;
    for (LONG id = 1; id <= 3; ++id) ASSERT_EQ(S_OK, AddTimer(timers.Get(), id, 1000));
    ComPtr<_clsVxTimeTimerGroupA> group;
    LONG first = 1;
    ASSERT_EQ(S_OK, Groups()->get_Item(&first, &group));

    CountingTimers client(timers.Get());
    ASSERT_EQ(S_OK, group->putref_TimerItems(&client));
    LONG hWnd = 100, id = 3;
    ASSERT_EQ(S_OK, service->TimerStop(&hWnd, &id));
    EXPECT_EQ(timeTimerStatusStopped, StatusOf(timers.Get(), 3));
    EXPECT_EQ(4, client.items);  // three to find it, one to stop it

    // Another of the library's collections in the group's place is searched
    // by its own index; the first collection's lets no longer matter there.
    ComPtr<_clsVxTimeTimerItemsA> replacement = AddGroup(500);
    Apartment().gCurrentHwnd = 100;
    ASSERT_EQ(S_OK, AddTimer(replacement.Get(), 9, 1000));
    ASSERT_EQ(S_OK, group->putref_TimerItems(replacement.Get()));
    LONG group1 = 1, nine = 9, three = 3;
    EXPECT_EQ(1, FindTimerIndex(&group1, &nine));
    EXPECT_EQ(0, FindTimerIndex(&group1, &three));
    ASSERT_EQ(S_OK, TimerAt(replacement.Get(), 1)->put_TimerId(3));
    EXPECT_EQ(1, FindTimerIndex(&group1, &three));
    ASSERT_EQ(S_OK, group->putref_TimerItems(timers.Get()));
    EXPECT_EQ(1u, client.references);
    platform.messageBoxes.clear();
}

// OnTimerStart handlers change the registry in the middle of an addition:
// they let the new record's identifier and take records out. Lookups after
// it agree with the scan, and the record armed is the one they named.
class LookupDuringEventsTest : public ComponentTest {
protected:
    RecordingSink sink{DIID___clsVxTimeTimerMainA};  // outlives the apartment's service object, which holds it
};

TEST_F(LookupDuringEventsTest, HandlersChangingTheRegistryDuringAnAddition) {
    ComPtr<TimerService> service = NewService();
    Connect(service.Get(), sink);
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    Apartment().gCurrentHwnd = 100;
    for (LONG id = 1; id <= 4; ++id) ASSERT_EQ(S_OK, AddTimer(timers.Get(), id, 1000));
    bool changeOnce = true;
    sink.during = [&] {
        if (!std::exchange(changeOnce, false)) return;
        LONG count = 0;
        timers->get_Count(&count);
        TimerAt(timers.Get(), count)->put_TimerId(2);  // the new one now clashes with timer 2
        LONG first = 1;
        timers->Remove(&first);
    };
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 7, 1000));
    ExpectLookupsAgree(timers.Get(), 1, 8, "handlers during an addition");
    LONG group = 1, two = 2;
    EXPECT_EQ(1, FindTimerIndex(&group, &two));  // the old timer 2, now first
    // A ResetTimer whose handler clears the collection leaves nothing found.
    bool clearOnce = true;
    sink.during = [&] {
        if (std::exchange(clearOnce, false)) timers->Clear();
    };
    LONG hWnd = 100, three = 3, result = -1;
    ASSERT_EQ(S_OK, service->ResetTimer(&hWnd, &three, &result));
    ExpectLookupsAgree(timers.Get(), 1, 8, "a reset whose handler cleared the collection");
    LONG left = -1;
    timers->get_Count(&left);
    EXPECT_EQ(0, left);  // the handler ran after the new record was listed
    sink.calls.clear();
}

// A record outlives the collection that listed it: its lets still work.
TEST_F(LookupTest, RecordsOutliveTheirCollection) {
    ComPtr<TimerService> service = NewService();
    ComPtr<_clsVxTimeTimerItemA> kept;
    {
        ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
        Apartment().gCurrentHwnd = 100;
        ASSERT_EQ(S_OK, AddTimer(timers.Get(), 1, 1000));
        kept = TimerAt(timers.Get(), 1);
        ASSERT_EQ(S_OK, Groups()->Clear());
    }
    ASSERT_EQ(S_OK, kept->put_TimerId(42));
    LONG id = 0;
    kept->get_TimerId(&id);
    EXPECT_EQ(42, id);
}

// Stored texts read back exactly, whether they are the usual unit labels
// or anything else a client lets.
TEST_F(LookupTest, UnitsAndOwnerReadBackWhatWasLet) {
    ComPtr<TimerService> service = NewService();
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(100);
    Apartment().gCurrentHwnd = 100;
    ASSERT_EQ(S_OK, AddTimer(timers.Get(), 1, 1000, 1));
    ComPtr<_clsVxTimeTimerItemA> timer = TimerAt(timers.Get(), 1);
    auto units = [&] {
        Bstr text;
        EXPECT_EQ(S_OK, timer->get_TimeUnits(text.Put()));
        return std::wstring(text.Get(), SysStringLen(text.Get()));
    };
    EXPECT_EQ(L"Sec", units());
    const std::wstring lets[] = {L"msec", L"Hrs", std::wstring(L"Min\0x", 5), L"", L"Minutes", L"MSec"};
    for (const std::wstring& let : lets) {
        Bstr text(let);
        ASSERT_EQ(S_OK, timer->put_TimeUnits(text.Get()));
        EXPECT_EQ(let, units());
    }
    ASSERT_EQ(S_OK, timer->put_TimeUnits(nullptr));
    EXPECT_EQ(L"", units());

    Bstr owner;
    ASSERT_EQ(S_OK, timer->get_Owner(owner.Put()));
    EXPECT_EQ(std::wstring(L"owner"), owner.Str());
    Bstr empty(L"");
    ASSERT_EQ(S_OK, timer->put_Owner(empty.Get()));
    ASSERT_EQ(S_OK, timer->get_Owner(owner.Put()));
    ASSERT_NE(nullptr, owner.Get());
    EXPECT_EQ(0u, SysStringLen(owner.Get()));

    ComPtr<IDispatch> control;
    ASSERT_EQ(S_OK, timer->get_TimerObj(&control));
    EXPECT_EQ(nullptr, control.Get());
    EXPECT_EQ(S_OK, timer->putref_TimerObj(nullptr));
}

}  // namespace
}  // namespace zx::test
