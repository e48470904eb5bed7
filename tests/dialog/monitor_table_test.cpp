// The monitor window over large registries, where rows out of view are made
// when first shown, and beside a client's own timer collection: what each row
// shows against the registry at the refresh.
#include "dialog_support.h"

#include <commctrl.h>

#include <climits>
#include <string>

#include "apartment/apartment.h"
#include "com/errors.h"
#include "com/module.h"
#include "registry/window_groups.h"
#include "forwarding_timers.h"

namespace zx::test {
namespace {

std::wstring Text(HWND list, int row, int column) {
    wchar_t buffer[128] = L"";
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 128;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

Row RowAt(HWND list, int row) {
    Row cells;
    for (int column = 0; column < 8; ++column) cells.push_back(Text(list, row, column));
    return cells;
}

int Count(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

// Scrolls `row` into view and paints: the list asks for the rows it shows.
void ScrollTo(HWND list, int row) {
    SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
    UpdateWindow(list);
}

using zxclient::CountingTimers;

class MonitorTableTest : public MonitorTest {
protected:
    // `count` timers for `hwnd`, identifier t (1 to count) with a comment of
    // its own, an interval of (t % 90) + 1 seconds, repeating when t % 3 is 0.
    ComPtr<_clsVxTimeTimerItemsA> AddNumberedGroup(LONG hwnd, int count) {
        ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(hwnd);
        for (int t = 1; t <= count; ++t) {
            const std::wstring comments = Comments(hwnd, t);
            AddTimer(timers.Get(), {t, t % 90 + 1, 1, t % 3 == 0, comments.c_str()});
        }
        return timers;
    }
    static std::wstring Comments(LONG hwnd, int t) { return L"c" + std::to_wstring(hwnd) + L"." + std::to_wstring(t); }
    // The row of timer t of a numbered group, with the clock unmoved.
    static Row Expected(int number, LONG hwnd, int t) {
        const std::wstring elapse = std::to_wstring(t % 90 + 1) + L" Sec";
        return {std::to_wstring(number), std::to_wstring(hwnd), std::to_wstring(t), elapse, elapse,
                t % 3 == 0 ? L"True" : L"False", L"Start", Comments(hwnd, t)};
    }
    static void SetStatus(_clsVxTimeTimerItemA* timer, LONG status) {
        ASSERT_EQ(S_OK, timer->put_Status(static_cast<TimerStatusTypeTimeConstants>(status)));
    }
};

TEST_F(MonitorTableTest, RowsAtTheStartMiddleAndEndShowTheirTimersWhenScrolledTo) {
    AddNumberedGroup(101, 4000);
    AddNumberedGroup(202, 4000);
    AddNumberedGroup(303, 4000);
    HWND dialog = ShowAndFind(0);
    ASSERT_NE(nullptr, dialog);
    HWND list = ListOf(dialog);
    ASSERT_EQ(12000, Count(list));

    EXPECT_EQ(Expected(1, 101, 1), RowAt(list, 0));
    ScrollTo(list, 5999);
    EXPECT_GT(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 5000) << "the list scrolled";
    EXPECT_EQ(Expected(6000, 202, 2000), RowAt(list, 5999));
    EXPECT_EQ(Expected(4001, 202, 1), RowAt(list, 4000)) << "the first row of the second group";
    ScrollTo(list, 11999);
    EXPECT_EQ(Expected(12000, 303, 4000), RowAt(list, 11999));
    EXPECT_EQ(Expected(11990, 303, 3990), RowAt(list, 11989));

    // A row once shown keeps its texts until the next refresh, which shows
    // the timer's new values.
    ComPtr<_clsVxTimeTimerItemsA> middle;
    {
        LONG position = 2;
        ComPtr<_clsVxTimeTimerGroupA> group;
        ASSERT_EQ(S_OK, TimerGroups()->get_Item(&position, &group));
        ASSERT_EQ(S_OK, group->get_TimerItems(&middle));
    }
    ComPtr<_clsVxTimeTimerItemA> timer = TimerAt(middle.Get(), 2000);
    ASSERT_EQ(S_OK, timer->put_ElapseTime(500));
    ASSERT_EQ(S_OK, timer->put_Repeat(VARIANT_TRUE));
    platform.clock += 7.0f;
    EXPECT_EQ(Expected(6000, 202, 2000), RowAt(list, 5999));
    Refresh(dialog);
    ASSERT_EQ(12000, Count(list));
    EXPECT_EQ((Row{L"6000", L"202", L"2000", L"500 Sec", L"493 Sec", L"True", L"Start", L"c202.2000"}),
              RowAt(list, 5999));
    EXPECT_EQ(L"34 Sec", Text(list, 11999, 4)) << "every balance at the new clock: 41 less 7";
    EXPECT_EQ(L"1 Sec", Text(list, 6, 4));
}

TEST_F(MonitorTableTest, LabelsOfRowsShownLaterAreTheLabelsAtTheRefresh) {
    ComPtr<_clsVxTimeTimerItemsA> first = AddNumberedGroup(101, 3000);
    ComPtr<_clsVxTimeTimerItemsA> second = AddNumberedGroup(202, 2);
    for (LONG t = 1; t <= 3000; ++t) SetStatus(TimerAt(first.Get(), t).Get(), 9);
    SetStatus(TimerAt(first.Get(), 2).Get(), timeTimerStatusStopped);
    SetStatus(TimerAt(first.Get(), 2999).Get(), timeTimerStatusEnded);
    SetStatus(TimerAt(second.Get(), 1).Get(), -3);

    HWND dialog = ShowAndFind(0);
    ASSERT_NE(nullptr, dialog);
    HWND list = ListOf(dialog);
    // Far rows first: each takes the label of the last labelled row above it.
    EXPECT_EQ(L"Stop", Text(list, 2500, 6));
    EXPECT_EQ(L"End", Text(list, 3000, 6)) << "the label carries into the next group";
    EXPECT_EQ(L"", Text(list, 0, 6)) << "nothing to carry on the first row";

    // A status changed after the refresh does not reach rows shown later.
    SetStatus(TimerAt(first.Get(), 2).Get(), timeTimerStatusReset);
    SetStatus(TimerAt(first.Get(), 1500).Get(), timeTimerStatusRestart);
    ScrollTo(list, 1499);
    EXPECT_EQ(L"Stop", Text(list, 1499, 6));
    EXPECT_EQ(L"Stop", Text(list, 1800, 6));
    Refresh(dialog);
    EXPECT_EQ(L"Reset", Text(list, 1498, 6));
    EXPECT_EQ(L"Restart", Text(list, 1800, 6));
    EXPECT_EQ(L"End", Text(list, 3000, 6));
    EXPECT_EQ(L"Start", Text(list, 3001, 6));
}

TEST_F(MonitorTableTest, ClientCollectionIsReadAtTheRefreshBesideTheLibrarysOwn) {
    AddGroup(101, {{1, 5}, {2, 6}, {3, 7}});
    ComPtr<_clsVxTimeTimerItemsA> inner = AddGroup(202, {{4, 8, 1, true, L"client a"}, {5, 9, 1, false, L"client b"}});
    AddGroup(303, {{6, 10}, {7, 11}});
    SetStatus(TimerAt(inner.Get(), 2).Get(), timeTimerStatusStopped);
    ComPtr<_clsVxTimeTimerItemsA> last;
    {
        LONG position = 3;
        ComPtr<_clsVxTimeTimerGroupA> group;
        ASSERT_EQ(S_OK, TimerGroups()->get_Item(&position, &group));
        ASSERT_EQ(S_OK, group->get_TimerItems(&last));
    }
    SetStatus(TimerAt(last.Get(), 1).Get(), 12);

    CountingTimers client(inner.Get());
    LONG position = 2;
    ComPtr<_clsVxTimeTimerGroupA> clientGroup;
    ASSERT_EQ(S_OK, TimerGroups()->get_Item(&position, &clientGroup));
    ASSERT_EQ(S_OK, clientGroup->putref_TimerItems(&client));

    Apartment().gCurrentHwnd = 5;
    HWND dialog = ShowAndFind(0);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(303, Apartment().gCurrentHwnd);
    EXPECT_EQ(2, client.items) << "the client's timers are read at the refresh";
    const std::vector<Row> expected = {
        {L"1", L"101", L"1", L"5 Sec", L"5 Sec", L"False", L"Start", L""},
        {L"2", L"101", L"2", L"6 Sec", L"6 Sec", L"False", L"Start", L""},
        {L"3", L"101", L"3", L"7 Sec", L"7 Sec", L"False", L"Start", L""},
        {L"4", L"202", L"4", L"8 Sec", L"8 Sec", L"True", L"Start", L"client a"},
        {L"5", L"202", L"5", L"9 Sec", L"9 Sec", L"False", L"Stop", L"client b"},
        {L"6", L"303", L"6", L"10 Sec", L"10 Sec", L"False", L"Stop", L""},
        {L"7", L"303", L"7", L"11 Sec", L"11 Sec", L"False", L"Start", L""},
    };
    EXPECT_EQ(expected, RowsOf(dialog));
    EXPECT_EQ(2, client.items) << "showing the rows asks the client for nothing";

    // The client's timers change between refreshes; each refresh reads them.
    TimerAt(inner.Get(), 1)->put_ElapseTime(40);
    Apartment().gCurrentHwnd = 7;
    Refresh(dialog);
    EXPECT_EQ(4, client.items);
    EXPECT_EQ(303, Apartment().gCurrentHwnd);
    EXPECT_EQ(L"40 Sec", CellOf(dialog, 3, 3));

    // Filtered to the client's group: its rows alone, numbered from 1, while
    // every group is still fetched.
    HWND filtered = ShowAndFind(202);
    ASSERT_NE(nullptr, filtered);
    EXPECT_EQ(303, Apartment().gCurrentHwnd);
    ASSERT_EQ(2u, RowsOf(filtered).size());
    EXPECT_EQ(L"1", CellOf(filtered, 0, 0));
    EXPECT_EQ(L"client b", CellOf(filtered, 1, 7));

    for (HWND window : MonitorWindows()) DestroyWindow(window);
    ASSERT_EQ(S_OK, clientGroup->putref_TimerItems(inner.Get()));
    EXPECT_EQ(1u, client.references) << "nothing holds the client's collection";
}

TEST_F(MonitorTableTest, RemovedAndAddedTimersShowAtTheNextRefreshAndAreReleasedAtOnce) {
    ComPtr<_clsVxTimeTimerItemsA> timers = AddNumberedGroup(101, 40);
    HWND dialog = ShowAndFind(0);
    ASSERT_NE(nullptr, dialog);
    HWND list = ListOf(dialog);
    ASSERT_EQ(40, Count(list));
    EXPECT_EQ(Expected(21, 101, 21), RowAt(list, 20));
    const long objectsBefore = LiveObjectCount();

    // Timer 5, then timers 20 to 31 (more than a few in a row), go; timer 99
    // comes at the end.
    LONG position = 5;
    ASSERT_EQ(S_OK, timers->Remove(&position));
    for (int i = 0; i < 12; ++i) {
        position = 19;
        ASSERT_EQ(S_OK, timers->Remove(&position));
    }
    Apartment().gCurrentHwnd = 101;
    AddTimer(timers.Get(), {99, 4, 1, false, L"new"});
    LONG left = 0;
    ASSERT_EQ(S_OK, timers->get_Count(&left));
    ASSERT_EQ(28, left);
    EXPECT_EQ(objectsBefore - 13 + 1, LiveObjectCount()) << "the table holds none of the removed timers";

    // Until the next refresh the list shows the timers of the last one.
    ASSERT_EQ(40, Count(list));
    EXPECT_EQ(Expected(21, 101, 21), RowAt(list, 20));
    EXPECT_EQ(Expected(31, 101, 31), RowAt(list, 30)) << "a removed timer's row not shown before";

    Refresh(dialog);
    ASSERT_EQ(28, Count(list));
    int number = 0;
    for (int t = 1; t <= 40; ++t) {
        if (t == 5 || (t >= 20 && t <= 31)) continue;
        EXPECT_EQ(Expected(number + 1, 101, t), RowAt(list, number)) << t;
        ++number;
    }
    EXPECT_EQ((Row{L"28", L"101", L"99", L"4 Sec", L"4 Sec", L"False", L"Start", L"new"}), RowAt(list, 27));

    ASSERT_EQ(S_OK, timers->Clear());
    Refresh(dialog);
    EXPECT_EQ(0, Count(list));
    EXPECT_EQ(objectsBefore - 40, LiveObjectCount());
}

TEST_F(MonitorTableTest, FailureFarDownTheListEndsTheRowsThere) {
    ComPtr<_clsVxTimeTimerItemsA> timers = AddNumberedGroup(101, 5000);
    ComPtr<_clsVxTimeTimerItemA> failing = TimerAt(timers.Get(), 3500);
    ASSERT_EQ(S_OK, failing->put_StartTime(LONG_MIN));
    Variant result;
    EXPECT_EQ(HresultOf(ErrorNumber::Overflow), Show(nullptr, result.Get()));
    EXPECT_TRUE(MonitorWindows().empty());

    ASSERT_EQ(S_OK, failing->put_StartTime(3600));
    HWND dialog = ShowAndFind(0);
    ASSERT_NE(nullptr, dialog);
    HWND list = ListOf(dialog);
    ASSERT_EQ(5000, Count(list));

    ASSERT_EQ(S_OK, failing->put_StartTime(LONG_MIN));
    Refresh(dialog);
    ASSERT_EQ(3500, Count(list));
    EXPECT_EQ(Expected(3499, 101, 3499), RowAt(list, 3498));
    EXPECT_EQ((Row{L"3500", L"101", L"3500", L"81 Sec", L"", L"", L"", L""}), RowAt(list, 3499));
}

}  // namespace
}  // namespace zx::test
