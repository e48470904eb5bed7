// Handlers that call back into the library while it raises an event, through
// the real objects: the library must carry on with the state it finds.
#include <gtest/gtest.h>

#include "com_support.h"

namespace zxcom {
namespace {

bool SameObject(IUnknown* a, IUnknown* b) {
    ComPtr<IUnknown> x, y;
    if (a) a->QueryInterface(IID_PPV_ARGS(&x));
    if (b) b->QueryInterface(IID_PPV_ARGS(&y));
    return x.Get() == y.Get();
}

class ComReentry : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(client.Open(window.Handle()));
        ASSERT_EQ(S_OK, connection.Connect(client.service.Get(), sink));
    }
    bool WaitForElapse(Sink* which, size_t count = 1) {
        return PumpUntil([&] { return which->Count(kOnTimerElapse) >= count; }, kTickPatienceMs);
    }

    MessageBoxGuard boxes;
    HiddenWindow window;
    Client client;
    ComPtr<Sink> sink = Sink::Make();
    Connection connection;
};

// The registration keeps the object alive and connected.
TEST_F(ComReentry, StartHandlerReleasesTheClientsLastReference) {
    sink->onEvent = [&](DISPID id, DISPPARAMS*) {
        if (id != kOnTimerStart) return;
        connection.Abandon();  // its connection point counts on the object
        client.service.Reset();
    };
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), 1, 30));
    EXPECT_FALSE(client.service);
    EXPECT_EQ(1, CountOf(client.items.Get()));
    ASSERT_TRUE(WaitForElapse(sink.Get())) << "the released object still raises OnTimerElapse";
    EXPECT_EQ(timeTimerStatusEnded, StatusAt(client.items.Get(), 1));
    EXPECT_TRUE(boxes.Texts().empty()) << testing::PrintToString(boxes.Joined());
}

// A second service object replaces the registration and the registry while
// the first is raising: the tick finds no group ("Invalid Handle") and is
// reported by the new object.
TEST_F(ComReentry, StartHandlerCreatesASecondServiceObject) {
    ComPtr<_clsVxTimeTimerMainA> second;
    HRESULT created = E_FAIL;
    sink->onEvent = [&](DISPID id, DISPPARAMS*) {
        if (id == kOnTimerStart) created = CreateService(&second);
    };
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), 1, 30));
    ASSERT_EQ(S_OK, created);
    ASSERT_TRUE(second);
    EXPECT_EQ(1, CountOf(client.items.Get())) << "the client's collection keeps the timer";
    ComPtr<_clsVxTimeTimerGroupsA> fresh;
    ASSERT_EQ(S_OK, second->get_TimerGroups(&fresh));
    EXPECT_EQ(0, CountOf(fresh.Get()));
    EXPECT_FALSE(SameObject(fresh.Get(), client.groups.Get()));

    ComPtr<Sink> secondSink = Sink::Make();
    Connection secondConnection;
    ASSERT_EQ(S_OK, secondConnection.Connect(second.Get(), secondSink));
    ASSERT_TRUE(WaitForElapse(secondSink.Get()));
    EXPECT_EQ(0u, sink->Count(kOnTimerElapse)) << "the replaced object raises nothing";
    ASSERT_EQ(1u, boxes.Texts().size()) << testing::PrintToString(boxes.Joined());
    EXPECT_EQ(L"Invalid Handle", boxes.Texts()[0]);
}

TEST_F(ComReentry, StartHandlerDiscardsTheRegistry) {
    HRESULT cleared = E_FAIL;
    sink->onEvent = [&](DISPID id, DISPPARAMS*) {
        if (id == kOnTimerStart) cleared = client.service->putref_TimerGroups(nullptr);
    };
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), 1, 30));
    ASSERT_EQ(S_OK, cleared);
    ComPtr<_clsVxTimeTimerGroupsA> now;
    ASSERT_EQ(S_OK, client.service->get_TimerGroups(&now));
    ASSERT_TRUE(now);
    EXPECT_FALSE(SameObject(now.Get(), client.groups.Get())) << "a new collection";
    EXPECT_EQ(0, CountOf(now.Get()));
    EXPECT_EQ(1, CountOf(client.groups.Get())) << "the old one lives on with the client";
    ASSERT_TRUE(WaitForElapse(sink.Get()));
    ASSERT_EQ(1u, boxes.Texts().size()) << testing::PrintToString(boxes.Joined());
    EXPECT_EQ(L"Invalid Handle", boxes.Texts()[0]);
}

TEST_F(ComReentry, StartHandlerRemovesTheTimerBeingAdded) {
    HRESULT removed = E_FAIL;
    sink->onEvent = [&](DISPID id, DISPPARAMS*) {
        LONG first = 1;
        if (id == kOnTimerStart) removed = client.items->Remove(&first);
    };
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), 1, 30));
    ASSERT_EQ(S_OK, removed);
    EXPECT_EQ(0, CountOf(client.items.Get()));
    // Armed all the same; its tick names no registered timer and is reported
    // without a message.
    ASSERT_TRUE(WaitForElapse(sink.Get()));
    EXPECT_EQ(1, sink->Last(kOnTimerElapse)->timerId);
    EXPECT_TRUE(boxes.Texts().empty()) << testing::PrintToString(boxes.Joined());
}

TEST_F(ComReentry, StartHandlerAddsFurtherTimers) {
    HRESULT nested = E_FAIL;
    sink->onEvent = [&](DISPID id, DISPPARAMS* params) {
        if (id != kOnTimerStart || *params->rgvarg[3].plVal != 1) return;
        Record inner(2, 0, 0, L"inner");
        LONG innerId = 2;
        nested = AddTimer(client.items.Get(), innerId, inner, 40);
    };
    Record outer(1, 0, 0, L"outer");
    LONG outerId = 1;
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), outerId, outer, 30));
    ASSERT_EQ(S_OK, nested);
    ASSERT_EQ(2, CountOf(client.items.Get()));
    LONG first = 0, second = 0;
    ItemAt(client.items.Get(), 1)->get_TimerId(&first);
    ItemAt(client.items.Get(), 2)->get_TimerId(&second);
    EXPECT_EQ(1, first);
    EXPECT_EQ(2, second);
    ASSERT_EQ(2u, sink->Count(kOnTimerStart));
    EXPECT_EQ(1, sink->calls[0].timerId);
    EXPECT_EQ(2, sink->calls[1].timerId);

    ASSERT_TRUE(WaitForElapse(sink.Get(), 2));
    EXPECT_EQ(1u, sink->Count(kOnTimerElapse, 1));
    EXPECT_EQ(1u, sink->Count(kOnTimerElapse, 2));
    // The outer timer is armed after the inner one: its record is the last.
    EXPECT_EQ(L"outer", sink->Last(kOnTimerElapse)->comments);
    EXPECT_EQ(timeTimerStatusEnded, StatusAt(client.items.Get(), 1));
    EXPECT_EQ(timeTimerStatusEnded, StatusAt(client.items.Get(), 2));
    EXPECT_TRUE(boxes.Texts().empty()) << testing::PrintToString(boxes.Joined());
}

// A sink that an earlier handler of the same event disconnected hears
// nothing more, that event included.
TEST_F(ComReentry, StartHandlerDisconnectsALaterSink) {
    ComPtr<Sink> other = Sink::Make();
    Connection otherConnection;
    ASSERT_EQ(S_OK, otherConnection.Connect(client.service.Get(), other));
    sink->onEvent = [&](DISPID id, DISPPARAMS*) {
        if (id == kOnTimerStart) otherConnection.Disconnect();
    };
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), 1, 30));
    EXPECT_EQ(1u, sink->Count(kOnTimerStart));
    EXPECT_EQ(0u, other->Count(kOnTimerStart));
    ASSERT_TRUE(WaitForElapse(sink.Get()));
    EXPECT_EQ(0u, other->Count(kOnTimerElapse));
}

TEST_F(ComReentry, StartHandlerDisconnectsItself) {
    ComPtr<Sink> other = Sink::Make();
    Connection otherConnection;
    ASSERT_EQ(S_OK, otherConnection.Connect(client.service.Get(), other));
    sink->onEvent = [&](DISPID id, DISPPARAMS*) {
        if (id == kOnTimerStart) connection.Disconnect();
    };
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), 1, 30));
    EXPECT_EQ(1u, other->Count(kOnTimerStart));
    ASSERT_TRUE(WaitForElapse(other.Get()));
    EXPECT_EQ(0u, sink->Count(kOnTimerElapse));
    EXPECT_EQ(1, sink->References()) << "the disconnected sink is released";
}

// The tick's status update after the handler finds the registry gone.
TEST_F(ComReentry, ElapseHandlerDiscardsTheRegistryAndTheService) {
    sink->onEvent = [&](DISPID id, DISPPARAMS*) {
        if (id != kOnTimerElapse || !client.service) return;
        client.service->putref_TimerGroups(nullptr);
        connection.Abandon();
        client.service.Reset();
    };
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), 1, 30));
    ASSERT_TRUE(WaitForElapse(sink.Get()));
    Pump(100);
    EXPECT_EQ(1u, sink->Count(kOnTimerElapse));
    EXPECT_EQ(timeTimerStatusStarted, StatusAt(client.items.Get(), 1)) << "no registered timer was updated";
    EXPECT_TRUE(boxes.Texts().empty()) << testing::PrintToString(boxes.Joined());
}

}  // namespace
}  // namespace zxcom
