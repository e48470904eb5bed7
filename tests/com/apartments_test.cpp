// Each client thread (apartment) has its own registry, and its own timers
// notify on that thread.
#include <gtest/gtest.h>

#include <thread>

#include "com_support.h"

namespace zxcom {
namespace {

// What one client thread saw; checked on the test's thread.
struct ThreadView {
    HRESULT setup = E_FAIL;
    DWORD thread = 0;
    LONG window = 0;
    bool sameCollection = false;
    LONG groupsAfterBothAdded = -1;
    LONG firstGroupHandle = 0;
    bool elapsed = false;
    DWORD startThread = 0, elapseThread = 0;
    LONG elapseLParam = -1;
    size_t boxes = 0;
};

void RunClient(LONG index, HANDLE mine, HANDLE other, ThreadView* view) {
    if (FAILED(CoInitialize(nullptr))) return;
    {
        MessageBoxGuard boxes;
        HiddenWindow window;
        view->thread = GetCurrentThreadId();
        view->window = window.Handle();
        ComPtr<_clsVxTimeTimerMainA> service;
        ComPtr<_clsVxTimeTimerGroupsA> groups;
        ComPtr<_clsVxTimeTimerGroupA> group;
        ComPtr<_clsVxTimeTimerItemsA> items;
        ComPtr<Sink> sink = Sink::Make();
        Connection connection;
        LONG handle = window.Handle();
        HRESULT hr = CreateService(&service);
        if (SUCCEEDED(hr)) hr = connection.Connect(service.Get(), sink);
        if (SUCCEEDED(hr)) hr = service->get_TimerGroups(&groups);
        if (SUCCEEDED(hr)) hr = groups->Add(&handle, &group);
        if (SUCCEEDED(hr)) hr = group->get_TimerItems(&items);
        Record record(index);
        LONG timerId = 1;  // the same identifier on both threads
        if (SUCCEEDED(hr)) hr = AddTimer(items.Get(), timerId, record, 40);
        view->setup = hr;
        // Both threads have added their group before either looks.
        SetEvent(mine);
        WaitForSingleObject(other, 10000);
        if (SUCCEEDED(hr)) {
            // Read afresh: the apartment's collection as it is now.
            ComPtr<_clsVxTimeTimerGroupsA> now;
            service->get_TimerGroups(&now);
            view->sameCollection = now.Get() == groups.Get();
            view->groupsAfterBothAdded = CountOf(now.Get());
            LONG first = 1;
            ComPtr<_clsVxTimeTimerGroupA> firstGroup;
            if (now && SUCCEEDED(now->get_Item(&first, &firstGroup))) firstGroup->get_hWnd(&view->firstGroupHandle);
            view->elapsed = PumpUntil([&] { return sink->Count(kOnTimerElapse) > 0; }, kTickPatienceMs);
            if (const EventCall* start = sink->Last(kOnTimerStart)) view->startThread = start->thread;
            if (const EventCall* elapse = sink->Last(kOnTimerElapse)) {
                view->elapseThread = elapse->thread;
                view->elapseLParam = elapse->lLParam;
            }
        }
        view->boxes = boxes.Texts().size();
    }
    CoUninitialize();
}

TEST(ComApartments, EachThreadHasItsOwnRegistryAndTicks) {
    // The test's own apartment has a group too, which neither thread sees.
    ComPtr<_clsVxTimeTimerMainA> service;
    ASSERT_EQ(S_OK, CreateService(&service));
    ComPtr<_clsVxTimeTimerGroupsA> groups;
    ASSERT_EQ(S_OK, service->get_TimerGroups(&groups));
    LONG mainHandle = 4242;
    ComPtr<_clsVxTimeTimerGroupA> mainGroup;
    ASSERT_EQ(S_OK, groups->Add(&mainHandle, &mainGroup));

    HANDLE added[2] = {CreateEventW(nullptr, TRUE, FALSE, nullptr), CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    ThreadView views[2];
    std::thread first(RunClient, 1, added[0], added[1], &views[0]);
    std::thread second(RunClient, 2, added[1], added[0], &views[1]);
    first.join();
    second.join();
    CloseHandle(added[0]);
    CloseHandle(added[1]);

    for (LONG i = 0; i < 2; ++i) {
        const ThreadView& v = views[i];
        SCOPED_TRACE(testing::Message() << "client thread " << i + 1);
        ASSERT_EQ(S_OK, v.setup);
        EXPECT_TRUE(v.sameCollection) << "the other thread's service object left this registry alone";
        EXPECT_EQ(1, v.groupsAfterBothAdded) << "only the thread's own group";
        EXPECT_EQ(v.window, v.firstGroupHandle);
        ASSERT_TRUE(v.elapsed);
        EXPECT_EQ(v.thread, v.startThread);
        EXPECT_EQ(v.thread, v.elapseThread);
        EXPECT_EQ(i + 1, v.elapseLParam) << "the record armed on this thread";
        EXPECT_EQ(0u, v.boxes);
    }
    EXPECT_NE(views[0].thread, views[1].thread);
    ComPtr<_clsVxTimeTimerGroupsA> now;
    ASSERT_EQ(S_OK, service->get_TimerGroups(&now));
    EXPECT_EQ(groups.Get(), now.Get()) << "the threads' service objects left this registry alone";
    EXPECT_EQ(1, CountOf(now.Get()));
    LONG first1 = 1;
    ComPtr<_clsVxTimeTimerGroupA> stillMine;
    ASSERT_EQ(S_OK, now->get_Item(&first1, &stillMine));
    LONG handle = 0;
    EXPECT_EQ(S_OK, stillMine->get_hWnd(&handle));
    EXPECT_EQ(4242, handle);
}

// A client object that notes, when its last reference goes, whether COM was
// still initialized on the releasing thread.
class ReleaseWitness final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = (riid == IID_IUnknown || riid == IID_IDispatch) ? static_cast<IDispatch*>(this) : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override {
        if (--references_ == 0) {
            APTTYPE type;
            APTTYPEQUALIFIER qualifier;
            released = true;
            comAlive = SUCCEEDED(CoGetApartmentType(&type, &qualifier));
        }
        return references_;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

    bool released = false;
    bool comAlive = false;

private:
    ULONG references_ = 0;
};

// A thread's registry (and the client objects it holds) ends with the
// thread's COM apartment, before its servers are unloaded, not later when
// the thread exits.
TEST(ComApartments, TheRegistryEndsWithTheApartment) {
    ReleaseWitness buddy;
    HRESULT setup = E_FAIL;
    bool heldAfterRelease = false;
    std::thread client([&] {
        if (FAILED(CoInitialize(nullptr))) return;
        {
            ComPtr<_clsVxTimeTimerMainA> service;
            setup = CreateService(&service);
            if (SUCCEEDED(setup)) setup = service->putref_BuddyObject(&buddy);
        }
        // The registered service object still holds the buddy.
        heldAfterRelease = !buddy.released;
        CoUninitialize();
    });
    client.join();
    ASSERT_EQ(S_OK, setup);
    EXPECT_TRUE(heldAfterRelease);
    EXPECT_TRUE(buddy.released);
    EXPECT_TRUE(buddy.comAlive) << "released after the apartment had ended";
}

}  // namespace
}  // namespace zxcom
