// Real window timers on a hidden window of the test thread: what each tick
// reports and what it does to the timer's status.
#include <gtest/gtest.h>

#include "com_support.h"

namespace zxcom {
namespace {

class ComTicks : public testing::Test {
protected:
    void Open(LONG hWnd) {
        ASSERT_TRUE(client.Open(hWnd));
        ASSERT_EQ(S_OK, connection.Connect(client.service.Get(), sink));
    }
    bool WaitForElapse(size_t count, DWORD timeoutMs = kTickPatienceMs) {
        return PumpUntil([&] { return sink->Count(kOnTimerElapse) >= count; }, timeoutMs);
    }

    MessageBoxGuard boxes;
    HiddenWindow window;
    Client client;
    ComPtr<Sink> sink = Sink::Make();
    Connection connection;
};

TEST_F(ComTicks, OneShotNotifiesOnceWithTheTickTime) {
    Open(window.Handle());
    Record record(5, 6, 7, L"one-shot");
    LONG timerId = 1;
    const DWORD added = GetTickCount();
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), timerId, record, 30));
    ASSERT_TRUE(WaitForElapse(1));
    Pump(200);
    ASSERT_EQ(1u, sink->Count(kOnTimerElapse));

    const EventCall* elapse = sink->Last(kOnTimerElapse);
    EXPECT_EQ(4u, elapse->argCount);
    EXPECT_EQ(0u, elapse->namedCount);
    const std::vector<VARTYPE> types = {VT_RECORD | VT_BYREF, VT_I4, VT_I4 | VT_BYREF, VT_I4 | VT_BYREF};
    EXPECT_EQ(types, elapse->types) << "AdditionalStr, ElapseTime, TimerId, hWnd (reversed)";
    EXPECT_EQ(window.Handle(), elapse->hWnd);
    EXPECT_EQ(1, elapse->timerId);
    EXPECT_TRUE(elapse->recordTyped);
    EXPECT_EQ(5, elapse->lLParam);
    EXPECT_EQ(7, elapse->lHParam);
    EXPECT_EQ(L"one-shot", elapse->comments);
    EXPECT_EQ(GetCurrentThreadId(), elapse->thread);
    // ElapseTime is the platform's tick time: after the timer was added and
    // no later than the sink ran.
    const DWORD tick = static_cast<DWORD>(elapse->elapseTime);
    EXPECT_GE(static_cast<LONG>(tick - added), 0) << "tick " << tick << ", added " << added;
    EXPECT_GE(static_cast<LONG>(elapse->receivedAt - tick), 0) << "tick " << tick << ", received " << elapse->receivedAt;

    EXPECT_EQ(timeTimerStatusEnded, StatusAt(client.items.Get(), 1));
    EXPECT_FALSE(KillTimer(window.Get(), 1)) << "the one-shot timer was killed at its tick";
    EXPECT_TRUE(boxes.Texts().empty()) << testing::PrintToString(boxes.Joined());
}

double LocalSecondsSinceMidnight() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
}

// A timer's start is the local clock's seconds since midnight, rounded to
// whole seconds.
TEST_F(ComTicks, StartTimeIsTheLocalClock) {
    Open(window.Handle());
    const double before = LocalSecondsSinceMidnight();
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), 3, 60000));
    const double after = LocalSecondsSinceMidnight();
    if (after < before) GTEST_SKIP() << "midnight passed during the test";
    LONG start = -1;
    ASSERT_EQ(S_OK, ItemAt(client.items.Get(), 1)->get_StartTime(&start));
    EXPECT_GE(start, static_cast<LONG>(before)) << "clock read before: " << before;
    EXPECT_LE(start, static_cast<LONG>(after) + 1) << "clock read after: " << after;
    KillTimer(window.Get(), 3);
}

TEST_F(ComTicks, RepeatingNotifiesOnItsFirstTickOnly) {
    Open(window.Handle());
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), 2, 20, /*repeat=*/true));
    ASSERT_TRUE(WaitForElapse(1));
    Pump(250);  // a dozen more ticks
    EXPECT_EQ(1u, sink->Count(kOnTimerElapse));
    EXPECT_EQ(timeTimerStatusEnded, StatusAt(client.items.Get(), 1));
    EXPECT_TRUE(KillTimer(window.Get(), 2)) << "the repeating platform timer keeps running";
    EXPECT_TRUE(boxes.Texts().empty()) << testing::PrintToString(boxes.Joined());
}

TEST_F(ComTicks, EveryTickCarriesTheRecordArmedLast) {
    Open(window.Handle());
    Record first(100, 0, 0, L"A"), second(200, 0, 0, L"B");
    LONG a = 1, b = 2;
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), a, first, 40));
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), b, second, 120));
    ASSERT_TRUE(WaitForElapse(2));
    ASSERT_EQ(1u, sink->Count(kOnTimerElapse, 1));
    ASSERT_EQ(1u, sink->Count(kOnTimerElapse, 2));
    for (const EventCall& call : sink->calls) {
        if (call.id != kOnTimerElapse) continue;
        EXPECT_EQ(200, call.lLParam) << "timer " << call.timerId;
        EXPECT_EQ(L"B", call.comments) << "timer " << call.timerId;
    }
    EXPECT_EQ(timeTimerStatusEnded, StatusAt(client.items.Get(), 1));
    EXPECT_EQ(timeTimerStatusEnded, StatusAt(client.items.Get(), 2));
}

// 1234 is no window of this thread: SetTimer fails, the timer stays
// registered as Started, and nothing else happens.
TEST_F(ComTicks, FailedArmingLeavesTheTimerRegistered) {
    const LONG notAWindow = 1234;
    ASSERT_FALSE(IsWindow(reinterpret_cast<HWND>(static_cast<LONG_PTR>(notAWindow))));
    Open(notAWindow);
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), 5, 20));
    ASSERT_EQ(1u, sink->Count(kOnTimerStart)) << "OnTimerStart comes before the arming";
    EXPECT_EQ(notAWindow, sink->Last(kOnTimerStart)->hWnd);
    Pump(200);
    EXPECT_EQ(0u, sink->Count(kOnTimerElapse));
    ASSERT_EQ(1, CountOf(client.items.Get()));
    EXPECT_EQ(timeTimerStatusStarted, StatusAt(client.items.Get(), 1));
    EXPECT_TRUE(boxes.Texts().empty()) << testing::PrintToString(boxes.Joined());
    // The collection goes on working.
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), 6, 20));
    EXPECT_EQ(2, CountOf(client.items.Get()));
}

}  // namespace
}  // namespace zxcom
