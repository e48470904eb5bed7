// Enumerating the connection points of both event sources and the
// connections of each point, as tools and hosts that list events do.
#include <gtest/gtest.h>

#include "com_support.h"

namespace zxcom {
namespace {

// A sink for either event interface, counting its references.
class CountedSink final : public CountedDispatch {
public:
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return S_OK;
    }
};

ULONG ReferencesOf(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

class ComEnumeration : public testing::TestWithParam<const wchar_t*> {
protected:
    void SetUp() override {
        CLSID clsid;
        ASSERT_EQ(S_OK, CLSIDFromProgID(GetParam(), &clsid));
        ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&container)));
        ComPtr<IProvideClassInfo2> info;
        ASSERT_EQ(S_OK, container.As(&info));
        ASSERT_EQ(S_OK, info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events));
        ASSERT_EQ(S_OK, container->FindConnectionPoint(events, &point));
    }

    ComPtr<IConnectionPointContainer> container;
    IID events = GUID_NULL;
    ComPtr<IConnectionPoint> point;
};

TEST_P(ComEnumeration, TheOneConnectionPoint) {
    const ULONG sourceReferences = ReferencesOf(container.Get());
    ComPtr<IEnumConnectionPoints> points;
    EXPECT_EQ(E_POINTER, container->EnumConnectionPoints(nullptr));
    ASSERT_EQ(S_OK, container->EnumConnectionPoints(&points));
    ASSERT_TRUE(points);

    IConnectionPoint* got[3] = {};
    ULONG fetched = 7;
    ASSERT_EQ(S_OK, points->Next(1, got, &fetched));
    ASSERT_EQ(1u, fetched);
    EXPECT_EQ(point.Get(), got[0]) << "the point FindConnectionPoint gives";
    IID iid = GUID_NULL;
    EXPECT_EQ(S_OK, got[0]->GetConnectionInterface(&iid));
    EXPECT_EQ(events, iid);
    got[0]->Release();
    EXPECT_EQ(S_FALSE, points->Next(1, got, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(S_FALSE, points->Next(1, got, nullptr)) << "one element may be asked for without a count";

    ASSERT_EQ(S_OK, points->Reset());
    EXPECT_EQ(E_POINTER, points->Next(2, got, nullptr));
    EXPECT_EQ(E_POINTER, points->Next(1, nullptr, &fetched));
    ASSERT_EQ(S_FALSE, points->Next(3, got, &fetched));
    ASSERT_EQ(1u, fetched);
    got[0]->Release();

    ASSERT_EQ(S_OK, points->Reset());
    EXPECT_EQ(S_OK, points->Skip(0));
    EXPECT_EQ(S_OK, points->Skip(1));
    EXPECT_EQ(S_FALSE, points->Skip(1));
    ASSERT_EQ(S_OK, points->Reset());

    // A clone starts where its original is and moves on its own.
    ComPtr<IEnumConnectionPoints> clone;
    EXPECT_EQ(E_POINTER, points->Clone(nullptr));
    ASSERT_EQ(S_OK, points->Clone(&clone));
    ASSERT_EQ(S_OK, points->Skip(1));
    ASSERT_EQ(S_OK, clone->Next(1, got, nullptr));
    EXPECT_EQ(point.Get(), got[0]);
    got[0]->Release();
    ComPtr<IEnumConnectionPoints> exhausted;
    ASSERT_EQ(S_OK, points->Clone(&exhausted));
    EXPECT_EQ(S_FALSE, exhausted->Next(1, got, nullptr));

    ComPtr<IUnknown> identity;
    EXPECT_EQ(S_OK, points.As(&identity));
    ComPtr<IEnumConnections> wrong;
    EXPECT_EQ(E_NOINTERFACE, points.As(&wrong));

    // The enumerators hold the source through its point, and only that.
    EXPECT_GT(ReferencesOf(container.Get()), sourceReferences);
    identity.Reset();
    points.Reset();
    clone.Reset();
    exhausted.Reset();
    EXPECT_EQ(sourceReferences, ReferencesOf(container.Get()));
}

TEST_P(ComEnumeration, ConnectionsWithTheirCookies) {
    CountedSink sinks[3];
    DWORD cookies[3] = {};
    for (int i = 0; i < 3; ++i) ASSERT_EQ(S_OK, point->Advise(&sinks[i], &cookies[i]));
    ASSERT_EQ(S_OK, point->Unadvise(cookies[1]));
    EXPECT_EQ(1u, sinks[1].references) << "the disconnected sink is released";

    ComPtr<IEnumConnections> connections;
    EXPECT_EQ(E_POINTER, point->EnumConnections(nullptr));
    ASSERT_EQ(S_OK, point->EnumConnections(&connections));
    const ULONG held = sinks[0].references;
    // A sink connected later is not in the snapshot; one disconnected later
    // stays in it, held, until the enumerator is released.
    CountedSink late;
    DWORD lateCookie = 0;
    ASSERT_EQ(S_OK, point->Advise(&late, &lateCookie));
    ASSERT_EQ(S_OK, point->Unadvise(cookies[2]));

    CONNECTDATA got[4] = {};
    ULONG fetched = 0;
    ASSERT_EQ(S_FALSE, connections->Next(4, got, &fetched));
    ASSERT_EQ(2u, fetched);
    EXPECT_EQ(cookies[0], got[0].dwCookie);
    EXPECT_EQ(cookies[2], got[1].dwCookie);
    EXPECT_EQ(static_cast<IUnknown*>(&sinks[0]), got[0].pUnk);
    EXPECT_EQ(static_cast<IUnknown*>(&sinks[2]), got[1].pUnk);
    EXPECT_EQ(held + 1, sinks[0].references) << "each element handed out is counted";
    got[0].pUnk->Release();
    got[1].pUnk->Release();
    EXPECT_EQ(held, sinks[0].references);

    ASSERT_EQ(S_OK, connections->Reset());
    ASSERT_EQ(S_OK, connections->Skip(1));
    ComPtr<IEnumConnections> clone;
    ASSERT_EQ(S_OK, connections->Clone(&clone));
    EXPECT_EQ(S_FALSE, connections->Skip(2));
    ASSERT_EQ(S_OK, clone->Next(1, got, nullptr));
    EXPECT_EQ(cookies[2], got[0].dwCookie);
    got[0].pUnk->Release();
    EXPECT_EQ(S_FALSE, clone->Next(1, got, &fetched));
    EXPECT_EQ(0u, fetched);

    connections.Reset();
    EXPECT_GT(sinks[2].references, 1u) << "the clone still holds the snapshot";
    clone.Reset();
    EXPECT_EQ(1u, sinks[2].references);
    EXPECT_EQ(S_OK, point->Unadvise(cookies[0]));
    EXPECT_EQ(S_OK, point->Unadvise(lateCookie));
    EXPECT_EQ(1u, sinks[0].references);
    EXPECT_EQ(1u, late.references);

    // No connections: an empty enumeration.
    ASSERT_EQ(S_OK, point->EnumConnections(&connections));
    EXPECT_EQ(S_FALSE, connections->Next(1, got, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(S_FALSE, connections->Skip(1));
}

INSTANTIATE_TEST_SUITE_P(BothEventSources, ComEnumeration,
                         testing::Values(L"Zentrix.clsVxTimeTimerMainA", L"Zentrix.clsVxTimeTimerEventsA"),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             return info.index == 0 ? std::string("Service") : std::string("EventRelay");
                         });

}  // namespace
}  // namespace zxcom
