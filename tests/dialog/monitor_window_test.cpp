// The monitor window under Wine and a virtual display: its layout, its rows
// against the registry, its filter, refreshes, closing and failures.
#include "dialog_support.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#include "apartment/apartment.h"
#include "com/errors.h"
#include "com/module.h"
#include "dialog/monitor_dialog.h"
#include "registry/window_groups.h"

namespace zx::test {
namespace {

// Twips to pixels at the screen's resolution along one axis.
int Pixels(int twips, int axis = LOGPIXELSX) {
    HDC screen = GetDC(nullptr);
    const int px = MulDiv(twips, GetDeviceCaps(screen, axis), 1440);
    ReleaseDC(nullptr, screen);
    return px;
}
int TwipsX(int twips) { return Pixels(twips, LOGPIXELSX); }
int TwipsY(int twips) { return Pixels(twips, LOGPIXELSY); }

std::wstring DecimalSeparator() {
    wchar_t text[8] = L".";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, 8);
    return text;
}

using MonitorLayoutTest = MonitorTest;

TEST_F(MonitorLayoutTest, WindowHasTheCaptionSizeMenuButtonAndColumns) {
    Variant result;
    Apartment().gDialogHwnd = 55;
    ASSERT_EQ(S_OK, Show(nullptr, result.Get()));
    EXPECT_EQ(VT_EMPTY, result->vt);
    EXPECT_EQ(0, Apartment().gDialogHwnd) << "an omitted handle is stored as 0";

    const std::vector<HWND> windows = MonitorWindows();
    ASSERT_EQ(1u, windows.size());
    HWND dialog = windows[0];
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(nullptr, GetWindow(dialog, GW_OWNER));
    EXPECT_EQ(nullptr, GetParent(dialog));

    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(TwipsX(8385), client.right);
    EXPECT_EQ(TwipsY(6630), client.bottom);

    HMENU menu = GetMenu(dialog);
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(1, GetMenuItemCount(menu));
    wchar_t menuText[32] = L"";
    GetMenuStringW(menu, 0, menuText, 32, MF_BYPOSITION);
    EXPECT_STREQ(L"&File", menuText);
    EXPECT_EQ(nullptr, GetSubMenu(menu, 0)) << "File has no entries";

    HWND button = ButtonOf(dialog);
    ASSERT_NE(nullptr, button);
    EXPECT_EQ(L"&OK", TextOf(button));
    RECT place;
    GetWindowRect(button, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(TwipsX(6900), place.left);
    EXPECT_EQ(TwipsY(6060), place.top);
    EXPECT_EQ(TwipsX(1275), place.right - place.left);
    EXPECT_EQ(TwipsY(435), place.bottom - place.top);
    EXPECT_EQ(button, GetNextDlgTabItem(dialog, nullptr, FALSE)) << "OK is first in the tab order";

    HWND list = ListOf(dialog);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(LVS_REPORT, GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK);
    GetWindowRect(list, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    EXPECT_GE(place.left, 0);
    EXPECT_LE(place.bottom, TwipsY(6060)) << "the list stays clear of the OK button";

    const std::vector<Column> columns = ColumnsOf(dialog);
    const std::vector<std::pair<std::wstring, int>> expected = {
        {L"Sno", 500},     {L"Handle", 1000}, {L"Id", 700},     {L"Elapse", 1000},
        {L"Balance", 1000}, {L"Repeat", 700},  {L"Status", 700}, {L"Comments", 1000}};
    ASSERT_EQ(expected.size(), columns.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].first, columns[i].header) << i;
        EXPECT_EQ(TwipsX(expected[i].second), columns[i].width) << i;
        EXPECT_EQ(LVCFMT_LEFT, columns[i].format & LVCFMT_JUSTIFYMASK) << i;
    }
    EXPECT_TRUE(RowsOf(dialog).empty());

    // The File menu opens nothing and does nothing.
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetMenuItemID(menu, 0), 0), 0);
    PumpFor(50);
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(1u, MonitorWindows().size());
}

using MonitorRowsTest = MonitorTest;

TEST_F(MonitorRowsTest, EveryGroupIsListedInOrderWithItsCells) {
    ComPtr<_clsVxTimeTimerItemsA> first = AddGroup(101, {{1, 5, 1, true, L"alpha"}, {2, 250, 0, false, L""}});
    ComPtr<_clsVxTimeTimerItemsA> second = AddGroup(202, {{7, 2, 2, false, L"gamma"}, {8, 3, 7}});
    TimerAt(first.Get(), 2)->put_Status(timeTimerStatusStopped);
    TimerAt(second.Get(), 1)->put_Status(timeTimerStatusEnded);
    TimerAt(second.Get(), 2)->put_Status(timeTimerStatusReset);

    Apartment().gCurrentHwnd = 101;
    HWND dialog = ShowAndFind(0);
    ASSERT_NE(nullptr, dialog);
    const std::vector<Row> expected = {
        {L"1", L"101", L"1", L"5 Sec", L"5 Sec", L"True", L"Start", L"alpha"},
        {L"2", L"101", L"2", L"250 MSec", L"250 MSec", L"False", L"Stop", L""},
        {L"3", L"202", L"7", L"2 Min", L"2 Min", L"False", L"End", L"gamma"},
        // A unit outside the enumeration leaves an empty label and a zero balance.
        {L"4", L"202", L"8", L"3 ", L"0 ", L"False", L"Reset", L""},
    };
    EXPECT_EQ(expected, RowsOf(dialog));
    EXPECT_EQ(202, Apartment().gCurrentHwnd) << "the fill fetches every group through Item";

    // Restart is shown too, and every refresh rebuilds from the records.
    TimerAt(first.Get(), 1)->put_Status(timeTimerStatusRestart);
    Refresh(dialog);
    EXPECT_EQ(L"Restart", CellOf(dialog, 0, 6));
    EXPECT_EQ(expected[1], RowOf(dialog, 1));
}

TEST_F(MonitorRowsTest, FilterListsOneWindowNumberedFromOne) {
    AddGroup(101, {{1, 5}, {2, 6}});
    AddGroup(202, {{3, 7}, {4, 8}});
    AddGroup(303, {{5, 9}});

    HWND dialog = ShowAndFind(202);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(202, Apartment().gDialogHwnd);
    const std::vector<Row> rows = RowsOf(dialog);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(L"1", rows[0][0]);
    EXPECT_EQ(L"3", rows[0][2]);
    EXPECT_EQ(L"2", rows[1][0]);
    EXPECT_EQ(L"4", rows[1][2]);
    EXPECT_EQ(303, Apartment().gCurrentHwnd) << "groups outside the filter are fetched as well";

    // 0 as an explicit handle lists every group.
    HWND all = ShowAndFind(0);
    ASSERT_EQ(5u, RowsOf(all).size());
    EXPECT_EQ(L"5", CellOf(all, 4, 0));
}

TEST_F(MonitorRowsTest, UnknownHandleIsEmptyUntilItsTimersArriveAtTheNextRefresh) {
    AddGroup(101, {{1, 5}});
    HWND dialog = ShowAndFind(999);
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(RowsOf(dialog).empty());

    AddGroup(999, {{4, 30, 1, true, L"late"}});
    EXPECT_TRUE(RowsOf(dialog).empty()) << "rows change only at a refresh";
    const TestPlatform::WindowTimer* refresh = platform.TimerOf(dialog);
    ASSERT_NE(nullptr, refresh) << "the refresh timer runs from the load on";
    EXPECT_EQ(1000u, refresh->milliseconds) << "the refresh runs once a second";
    Refresh(dialog);
    ASSERT_EQ(1u, RowsOf(dialog).size());
    const Row expected = {L"1", L"999", L"4", L"30 Sec", L"30 Sec", L"True", L"Start", L"late"};
    EXPECT_EQ(expected, RowOf(dialog, 0));
}

TEST_F(MonitorRowsTest, BalanceIsComputedAtEachRefreshInTheUsersNumberFormat) {
    AddGroup(101, {{1, 10, 1}, {2, 2, 2}, {3, 1, 3}});
    HWND dialog = ShowAndFind(0);
    ASSERT_NE(nullptr, dialog);
    ASSERT_EQ(3u, RowsOf(dialog).size());
    EXPECT_EQ(L"10 Sec", CellOf(dialog, 0, 4));
    EXPECT_EQ(L"2 Min", CellOf(dialog, 1, 4));
    EXPECT_EQ(L"1 Hrs", CellOf(dialog, 2, 4));

    platform.clock += 30.0f;  // 30 seconds later
    Refresh(dialog);
    EXPECT_EQ(L"0 Sec", CellOf(dialog, 0, 4));
    const std::wstring point = DecimalSeparator();
    EXPECT_EQ(L"1" + point + L"5 Min", CellOf(dialog, 1, 4));
    // 1 - 30/3600 as a single: seven significant digits.
    EXPECT_EQ(L"0" + point + L"9916667 Hrs", CellOf(dialog, 2, 4));
    EXPECT_EQ(L"10 Sec", CellOf(dialog, 0, 3)) << "the interval itself does not change";
}

TEST_F(MonitorRowsTest, StatusWithoutALabelRepeatsThePreviousRowsLabel) {
    ComPtr<_clsVxTimeTimerItemsA> first = AddGroup(101, {{1, 5}, {2, 5}, {3, 5}});
    ComPtr<_clsVxTimeTimerItemsA> second = AddGroup(202, {{4, 5}});
    TimerAt(first.Get(), 1)->put_Status(static_cast<TimerStatusTypeTimeConstants>(7));
    TimerAt(first.Get(), 2)->put_Status(timeTimerStatusStopped);
    TimerAt(first.Get(), 3)->put_Status(static_cast<TimerStatusTypeTimeConstants>(-1));
    TimerAt(second.Get(), 1)->put_Status(static_cast<TimerStatusTypeTimeConstants>(5));

    HWND dialog = ShowAndFind(0);
    ASSERT_NE(nullptr, dialog);
    auto labels = [&] {
        std::vector<std::wstring> out;
        for (const Row& row : RowsOf(dialog)) out.push_back(row[6]);
        return out;
    };
    EXPECT_EQ((std::vector<std::wstring>{L"", L"Stop", L"Stop", L"Stop"}), labels())
        << "the first row has nothing to inherit; the label carries across groups";

    // A later refresh starts again without a label.
    TimerAt(first.Get(), 2)->put_Status(timeTimerStatusEnded);
    Refresh(dialog);
    EXPECT_EQ((std::vector<std::wstring>{L"", L"End", L"End", L"End"}), labels());
}

using MonitorWindowsTest = MonitorTest;

TEST_F(MonitorWindowsTest, SecondWindowSwitchesTheFirstWindowsFilter) {
    AddGroup(101, {{1, 5}, {2, 5}});
    AddGroup(202, {{3, 5}});
    HWND first = ShowAndFind(101);
    ASSERT_EQ(2u, RowsOf(first).size());

    HWND second = ShowAndFind(202);
    ASSERT_NE(nullptr, second);
    ASSERT_NE(first, second);
    ASSERT_EQ(1u, RowsOf(second).size());
    EXPECT_EQ(L"202", CellOf(second, 0, 1));
    EXPECT_EQ(2u, RowsOf(first).size()) << "the first window changes only at its refresh";

    Refresh(first);
    ASSERT_EQ(1u, RowsOf(first).size());
    EXPECT_EQ(L"202", CellOf(first, 0, 1));
    EXPECT_EQ(L"1", CellOf(first, 0, 0));
}

TEST_F(MonitorWindowsTest, OkAndTheFrameCloseOnlyTheirOwnWindow) {
    AddGroup(101, {{1, 5}});
    const long objectsBefore = LiveObjectCount();
    HWND first = ShowAndFind(0);
    HWND second = ShowAndFind(0);
    HWND third = ShowAndFind(0);
    ASSERT_EQ(3u, MonitorWindows().size());

    SendMessageW(ButtonOf(first), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(nullptr, platform.TimerOf(first)) << "its refresh timer ended with it";
    EXPECT_TRUE(IsWindow(second));
    EXPECT_TRUE(IsWindow(third));

    SendMessageW(second, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(second));
    EXPECT_EQ(nullptr, platform.TimerOf(second));
    EXPECT_NE(nullptr, platform.TimerOf(third));
    ASSERT_EQ(1u, MonitorWindows().size());

    // The one left keeps refreshing.
    LONG position = 1;
    ComPtr<_clsVxTimeTimerGroupA> group;
    ASSERT_EQ(S_OK, TimerGroups()->get_Item(&position, &group));
    ComPtr<_clsVxTimeTimerItemsA> timers;
    group->get_TimerItems(&timers);
    AddTimer(timers.Get(), {2, 9});
    Refresh(third);
    EXPECT_EQ(2u, RowsOf(third).size());

    SendMessageW(third, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(ButtonOf(third)), BN_CLICKED),
                 reinterpret_cast<LPARAM>(ButtonOf(third)));
    EXPECT_FALSE(IsWindow(third));
    EXPECT_TRUE(MonitorWindows().empty());
    // Only the timer record added on the way is left.
    EXPECT_EQ(objectsBefore + 1, LiveObjectCount()) << "each closed window released its dialog";
}

TEST_F(MonitorWindowsTest, KeyboardMovesFocusAndAltOClicksOk) {
    HWND dialog = ShowAndFind(0);
    ASSERT_NE(nullptr, dialog);
    HWND button = ButtonOf(dialog), list = ListOf(dialog);

    // The focus goes with the foreground window, which test programs running
    // alongside on the same display can take: a sequence during which the
    // window lost the foreground is tried again.
    bool checked = false;
    for (int attempt = 0; attempt < 5 && !checked; ++attempt) {
        SetForegroundWindow(dialog);
        if (attempt > 0) SetFocus(button);
        PumpFor(50);
        const HWND initial = GetFocus();
        PostMessageW(button, WM_KEYDOWN, VK_TAB, 0);
        PumpFor(50);
        const HWND afterTab = GetFocus();
        if (GetForegroundWindow() != dialog || !initial) continue;
        EXPECT_EQ(button, initial) << "the first control in tab order takes the focus";
        EXPECT_EQ(list, afterTab);
        checked = true;
    }
    ASSERT_TRUE(checked) << "the window never kept the foreground";

    // Enter in the list does not close the window; Alt+O does.
    PostMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
    PumpFor(50);
    EXPECT_TRUE(IsWindow(dialog));
    PostMessageW(list, WM_SYSCHAR, L'o', 1 << 29);
    PumpFor(50);
    EXPECT_FALSE(IsWindow(dialog));
}

using MonitorRegistryTest = MonitorTest;

TEST_F(MonitorRegistryTest, DiscardedRegistryEmptiesTheListAndANewOneIsFollowed) {
    AddGroup(101, {{1, 5}, {2, 5}});
    HWND dialog = ShowAndFind(0);
    ASSERT_EQ(2u, RowsOf(dialog).size());

    ASSERT_EQ(S_OK, service->putref_TimerGroups(nullptr));
    Refresh(dialog);
    ASSERT_EQ(0u, RowsOf(dialog).size());
    EXPECT_NE(nullptr, Apartment().gTimerGroups.Get()) << "the refresh made a new, empty registry";

    AddGroup(303, {{9, 5}});
    Refresh(dialog);
    ASSERT_EQ(1u, RowsOf(dialog).size());
    EXPECT_EQ(L"303", CellOf(dialog, 0, 1));

    // The service object's end discards the registry as well.
    service.Reset();
    Apartment().gTimerMain.Reset();
    EXPECT_EQ(nullptr, Apartment().gTimerGroups.Get());
    Refresh(dialog);
    ASSERT_EQ(0u, RowsOf(dialog).size());
    EXPECT_TRUE(IsWindow(dialog));
}

TEST_F(MonitorRegistryTest, LoadFailureReachesTheCallerAndLeavesNoWindow) {
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(101, {{1, 5}, {2, 5}});
    // A start time far outside one day overflows the balance computation.
    TimerAt(timers.Get(), 2)->put_StartTime(LONG_MIN);
    const long objectsBefore = LiveObjectCount();

    Variant result;
    EXPECT_EQ(HresultOf(ErrorNumber::Overflow), Show(nullptr, result.Get()));
    EXPECT_EQ(VT_EMPTY, result->vt);
    EXPECT_TRUE(MonitorWindows().empty());
    EXPECT_EQ(objectsBefore, LiveObjectCount());
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &info));
    Bstr description;
    info->GetDescription(description.Put());
    EXPECT_EQ(std::wstring(DescriptionOf(ErrorNumber::Overflow)), description.Str());
}

TEST_F(MonitorRegistryTest, RefreshFailureKeepsTheRowsReadSoFarAndTheWindowRefreshing) {
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(101, {{1, 5, 1, true, L"a"}, {2, 6, 1, true, L"b"}, {3, 7}});
    HWND dialog = ShowAndFind(0);
    ASSERT_EQ(3u, RowsOf(dialog).size());

    TimerAt(timers.Get(), 2)->put_StartTime(LONG_MIN);
    Refresh(dialog);
    ASSERT_EQ(2u, RowsOf(dialog).size());
    const std::vector<Row> partial = {
        {L"1", L"101", L"1", L"5 Sec", L"5 Sec", L"True", L"Start", L"a"},
        {L"2", L"101", L"2", L"6 Sec", L"", L"", L"", L""},
    };
    EXPECT_EQ(partial, RowsOf(dialog));
    EXPECT_TRUE(platform.messageBoxes.empty());

    TimerAt(timers.Get(), 2)->put_StartTime(3600);
    Refresh(dialog);
    ASSERT_EQ(3u, RowsOf(dialog).size());
    EXPECT_EQ(L"6 Sec", CellOf(dialog, 1, 4));
}

TEST_F(MonitorRegistryTest, PendingMessagesRunBeforeEachRebuildButNotAtLoad) {
    ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(101, {{1, 5}});
    HWND dialog = ShowAndFind(0);
    EXPECT_EQ(0, platform.yields) << "the load fills without yielding";

    bool added = false;
    platform.duringYield = [&] {
        if (added) return;
        added = true;
        Apartment().gCurrentHwnd = 101;
        AddTimer(timers.Get(), {2, 5});
    };
    Refresh(dialog);
    EXPECT_EQ(1, platform.yields);
    // The rebuild shows what ran inside the yield.
    EXPECT_EQ(2u, RowsOf(dialog).size());
}

TEST_F(MonitorRegistryTest, LateBoundCallByName) {
    AddGroup(101, {{1, 5}});
    AddGroup(202, {{2, 5}});
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, service.As(&dispatch));
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR name = const_cast<LPOLESTR>(L"showtimerdialog");
    ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));

    DISPPARAMS none{nullptr, nullptr, 0, 0};
    Variant result;
    EXCEPINFO exception{};
    ASSERT_EQ(S_OK, dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, result.Get(),
                                     &exception, nullptr));
    EXPECT_EQ(VT_EMPTY, result->vt);
    ASSERT_EQ(1u, MonitorWindows().size());
    EXPECT_EQ(2u, RowsOf(MonitorWindows()[0]).size());

    LONG handle = 202;
    VARIANT arg;
    arg.vt = VT_I4 | VT_BYREF;
    arg.plVal = &handle;
    DISPPARAMS one{&arg, nullptr, 1, 0};
    Variant second;
    ASSERT_EQ(S_OK, dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &one, second.Get(),
                                     &exception, nullptr));
    EXPECT_EQ(VT_EMPTY, second->vt);
    EXPECT_EQ(202, Apartment().gDialogHwnd);
    ASSERT_EQ(2u, MonitorWindows().size());
    EXPECT_EQ(1u, RowsOf(MonitorWindows()[0]).size());
}

// A large registry: every timer listed, and each refresh shows each balance
// as it is at that refresh. (How long refreshes take is measured by the
// benchmark program.)
TEST_F(MonitorRegistryTest, TenThousandTimersAreListedAndRefreshed) {
    constexpr int kGroups = 10, kPerGroup = 1000;
    for (int g = 1; g <= kGroups; ++g) {
        ComPtr<_clsVxTimeTimerItemsA> timers = AddGroup(1000 + g);
        for (int t = 1; t <= kPerGroup; ++t) AddTimer(timers.Get(), {t, t % 50 + 1, 1, t % 2 == 0, L"bulk"});
    }
    HWND dialog = ShowAndFind(0);
    ASSERT_NE(nullptr, dialog);
    HWND list = ListOf(dialog);
    ASSERT_EQ(kGroups * kPerGroup, SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));

    auto text = [&](int row, int column) {
        wchar_t buffer[64] = L"";
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer;
        item.cchTextMax = 64;
        SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        return std::wstring(buffer);
    };
    EXPECT_EQ(L"10000", text(kGroups * kPerGroup - 1, 0));
    EXPECT_EQ(L"1010", text(kGroups * kPerGroup - 1, 1));

    for (int i = 1; i <= 5; ++i) {
        platform.clock += 1.0f;  // each refresh must show a balance one second lower
        Refresh(dialog);
        EXPECT_EQ(std::to_wstring(50 - i) + L" Sec", text(48, 4)) << "timer 49 of the first window";
        EXPECT_EQ(std::to_wstring(50 - i) + L" Sec", text(kGroups * kPerGroup - 2, 4)) << "timer 999 of the last";
    }
}

// A populated window, captured from the screen for the documentation.
TEST_F(MonitorRegistryTest, ScreenshotOfAPopulatedWindow) {
    DeleteFileW(L"monitor-window.bmp");
    AddGroup(132094, {{1, 5, 1, true, L"autosave"}, {2, 250, 0, false, L"blink"}});
    ComPtr<_clsVxTimeTimerItemsA> second = AddGroup(198442, {{7, 2, 2, false, L"report"}, {8, 1, 3, true, L"sync"}});
    TimerAt(second.Get(), 1)->put_Status(timeTimerStatusStopped);
    HWND dialog = ShowAndFind(0);
    ASSERT_NE(nullptr, dialog);
    platform.clock += 12.0f;
    Refresh(dialog);
    ASSERT_EQ(L"0 Sec", CellOf(dialog, 0, 4));
    SetWindowPos(dialog, HWND_TOPMOST, 24, 24, 0, 0, SWP_NOSIZE);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpFor(300);
    ASSERT_TRUE(SaveWindowBitmap(dialog, L"monitor-window.bmp"));

    // Not a blank capture: the file holds more than one colour.
    FILE* file = _wfopen(L"monitor-window.bmp", L"rb");
    ASSERT_NE(nullptr, file);
    std::vector<unsigned char> bytes;
    unsigned char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    fclose(file);
    ASSERT_GT(bytes.size(), 54u);
    size_t differing = 0;
    for (size_t i = 57; i < bytes.size(); i += 3) differing += bytes[i] != bytes[54];
    EXPECT_GT(differing, bytes.size() / 30);
}

}  // namespace
}  // namespace zx::test
