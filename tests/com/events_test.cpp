// The service object's events through its connection point, received by a
// compiled sink: argument layout and types, what a handler's changes do, and
// the connection point's own answers.
#include <gtest/gtest.h>

#include "com_support.h"

namespace zxcom {
namespace {

class ComEvents : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(client.Open(window.Handle()));
        ASSERT_EQ(S_OK, connection.Connect(client.service.Get(), sink));
    }

    MessageBoxGuard boxes;
    HiddenWindow window;
    Client client;
    ComPtr<Sink> sink = Sink::Make();
    Connection connection;
};

TEST_F(ComEvents, ClassInfoAndConnectionPointNameTheEventInterface) {
    ComPtr<IProvideClassInfo2> info;
    ASSERT_EQ(S_OK, client.service.As(&info));
    GUID events = GUID_NULL;
    ASSERT_EQ(S_OK, info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events));
    EXPECT_EQ(DIID___clsVxTimeTimerMainA, events);

    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(S_OK, info->GetClassInfo(&coclass));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attr));
    CLSID byProgId = GUID_NULL;
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Zentrix.clsVxTimeTimerMainA", &byProgId));
    EXPECT_EQ(TKIND_COCLASS, attr->typekind);
    EXPECT_EQ(byProgId, attr->guid);
    coclass->ReleaseTypeAttr(attr);

    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(S_OK, client.service.As(&container));
    ComPtr<IConnectionPoint> point;
    IConnectionPoint* none = reinterpret_cast<IConnectionPoint*>(1);
    EXPECT_EQ(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(IID_IDispatch, &none));
    EXPECT_EQ(nullptr, none);
    ASSERT_EQ(S_OK, container->FindConnectionPoint(events, &point));
    IID pointIid = GUID_NULL;
    EXPECT_EQ(S_OK, point->GetConnectionInterface(&pointIid));
    EXPECT_EQ(DIID___clsVxTimeTimerMainA, pointIid);
    ComPtr<IConnectionPointContainer> back;
    ASSERT_EQ(S_OK, point->GetConnectionPointContainer(&back));
    ComPtr<IUnknown> a, b;
    container.As(&a);
    back.As(&b);
    EXPECT_EQ(a.Get(), b.Get()) << "the connection point belongs to the service object";
}

TEST_F(ComEvents, AdviseRefusesForeignSinksAndUnadviseKnowsItsCookies) {
    ComPtr<IConnectionPoint> point(connection.Point());
    ComPtr<Sink> foreign = Sink::Make(/*offerEvents=*/false);
    DWORD cookie = 123;
    EXPECT_EQ(CONNECT_E_CANNOTCONNECT, point->Advise(foreign.Get(), &cookie));
    EXPECT_EQ(1, foreign->References()) << "a refused sink is not kept";
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(0xBAD));

    ComPtr<Sink> second = Sink::Make();
    ASSERT_EQ(S_OK, point->Advise(second.Get(), &cookie));
    EXPECT_GT(second->References(), 1);
    ASSERT_EQ(S_OK, point->Unadvise(cookie));
    EXPECT_EQ(1, second->References()) << "Unadvise releases the sink";
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(cookie)) << "a cookie is good once";

    // The disconnected sink hears nothing; the connected one still does.
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), 1, 5000));
    EXPECT_EQ(0u, second->calls.size());
    EXPECT_EQ(1u, sink->Count(kOnTimerStart));
    KillTimer(window.Get(), 1);
    EXPECT_TRUE(boxes.Texts().empty()) << testing::PrintToString(boxes.Joined());
}

TEST_F(ComEvents, OnTimerStartArgumentsAndCancel) {
    sink->onEvent = [](DISPID id, DISPPARAMS* params) {
        if (id == kOnTimerStart) *params->rgvarg[0].pboolVal = VARIANT_TRUE;
    };
    Record record(11, 22, 33, L"first");
    LONG timerId = 7;
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), timerId, record, 5, timeTimerTimeUnitsSeconds));

    ASSERT_EQ(1u, sink->calls.size());
    const EventCall& start = sink->calls[0];
    EXPECT_EQ(kOnTimerStart, start.id);
    EXPECT_EQ(5u, start.argCount);
    EXPECT_EQ(0u, start.namedCount);
    const std::vector<VARTYPE> types = {VT_BOOL | VT_BYREF, VT_RECORD | VT_BYREF, VT_I4, VT_I4 | VT_BYREF,
                                        VT_I4 | VT_BYREF};
    EXPECT_EQ(types, start.types) << "Cancel, AdditionalStr, ElapseTime, TimerId, hWnd (reversed)";
    EXPECT_EQ(window.Handle(), start.hWnd);
    EXPECT_EQ(7, start.timerId);
    EXPECT_EQ(5, start.elapseTime) << "the interval in the client's unit";
    EXPECT_TRUE(start.recordTyped) << "the record carries AdditionalArguStru's type description";
    EXPECT_EQ(static_cast<void*>(&record), start.recordAddress) << "the client's own record, by reference";
    EXPECT_EQ(11, start.lLParam);
    EXPECT_EQ(22, start.lMParam);
    EXPECT_EQ(33, start.lHParam);
    EXPECT_EQ(L"first", start.comments);
    EXPECT_EQ(VARIANT_FALSE, start.cancel);
    EXPECT_EQ(GetCurrentThreadId(), start.thread);

    // Cancelled: registered, Stopped, and no platform timer behind it.
    ASSERT_EQ(1, CountOf(client.items.Get()));
    EXPECT_EQ(timeTimerStatusStopped, StatusAt(client.items.Get(), 1));
    EXPECT_FALSE(KillTimer(window.Get(), 7)) << "a cancelled timer is not armed";

    // Any non-zero Cancel counts; a sink that leaves it alone arms the timer.
    sink->onEvent = [](DISPID id, DISPPARAMS* params) {
        if (id == kOnTimerStart) *params->rgvarg[0].pboolVal = 1;
    };
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), 8, 5000));
    EXPECT_EQ(timeTimerStatusStopped, StatusAt(client.items.Get(), 2));
    EXPECT_FALSE(KillTimer(window.Get(), 8));
    sink->onEvent = nullptr;
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), 9, 5000));
    EXPECT_EQ(timeTimerStatusStarted, StatusAt(client.items.Get(), 3));
    EXPECT_TRUE(KillTimer(window.Get(), 9)) << "an uncancelled timer is armed";
    EXPECT_TRUE(boxes.Texts().empty()) << testing::PrintToString(boxes.Joined());
}

// hWnd, TimerId and the record come back to the raiser through their
// references and steer the arming; ElapseTime is a value and does not.
TEST_F(ComEvents, HandlerChangesReachTheRaiserExceptElapseTime) {
    sink->onEvent = [](DISPID id, DISPPARAMS* params) {
        if (id != kOnTimerStart) return;
        VARIANT* args = params->rgvarg;
        *args[3].plVal = 41;        // TimerId
        args[2].lVal = 600000;      // ElapseTime: the handler's own copy
        auto* record = static_cast<AdditionalArguStru*>(args[1].pvRecord);
        record->lMParam = 77;
        SysFreeString(record->sComments);
        record->sComments = SysAllocString(L"changed");
    };
    Record record(1, 2, 3, L"original");
    LONG timerId = 40;
    ASSERT_EQ(S_OK, AddTimer(client.items.Get(), timerId, record, 30));

    EXPECT_EQ(41, timerId) << "the client's variable";
    EXPECT_EQ(77, record.lMParam) << "the client's record";
    EXPECT_EQ(L"changed", record.Comments());
    // The stored timer keeps what Add was given.
    ComPtr<_clsVxTimeTimerItemA> item = ItemAt(client.items.Get(), 1);
    ASSERT_TRUE(item);
    LONG storedId = 0, storedElapse = 0;
    EXPECT_EQ(S_OK, item->get_TimerId(&storedId));
    EXPECT_EQ(S_OK, item->get_ElapseTime(&storedElapse));
    EXPECT_EQ(40, storedId);
    EXPECT_EQ(30, storedElapse);
    Record stored;
    ASSERT_EQ(S_OK, item->get_AdditionalArgu(&stored));
    EXPECT_EQ(2, stored.lMParam);
    EXPECT_EQ(L"original", stored.Comments());

    // Armed with the changed identifier and the unchanged 30 ms.
    ASSERT_TRUE(PumpUntil([&] { return sink->Count(kOnTimerElapse) > 0; }, kTickPatienceMs))
        << "no tick: the handler's ElapseTime must not reach the arming";
    const EventCall* elapse = sink->Last(kOnTimerElapse);
    EXPECT_EQ(41, elapse->timerId);
    EXPECT_EQ(window.Handle(), elapse->hWnd);
    EXPECT_EQ(77, elapse->lMParam) << "the record as armed";
    EXPECT_EQ(L"changed", elapse->comments);
    // Timer 41 is not registered: its tick changes no record.
    EXPECT_EQ(timeTimerStatusStarted, StatusAt(client.items.Get(), 1));
    EXPECT_TRUE(boxes.Texts().empty()) << testing::PrintToString(boxes.Joined());
}

}  // namespace
}  // namespace zxcom
