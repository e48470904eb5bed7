// A client on another thread reaches a service object through a marshalled
// pointer: its calls run on the thread that owns the object, against that
// thread's registry, while the owner's message loop runs.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "com_support.h"

namespace zxcom {
namespace {

// What the other thread saw of the service it was handed.
struct RemoteView {
    HRESULT unmarshal = E_FAIL;
    HRESULT add = E_FAIL;
    LONG count = -1;
    LONG addedHandle = 0;
    bool proxied = false;
};

void UseFromAnotherThread(IStream* stream, const IUnknown* original, LONG handle, RemoteView* view,
                         std::atomic<bool>* done, DWORD owner) {
    if (SUCCEEDED(CoInitialize(nullptr))) {
        {
            ComPtr<_clsVxTimeTimerMainA> service;
            view->unmarshal = CoGetInterfaceAndReleaseStream(stream, IID__clsVxTimeTimerMainA,
                                                             reinterpret_cast<void**>(service.GetAddressOf()));
            ComPtr<_clsVxTimeTimerGroupsA> groups;
            ComPtr<_clsVxTimeTimerGroupA> group;
            if (SUCCEEDED(view->unmarshal)) {
                ComPtr<IUnknown> identity;
                service.As(&identity);
                view->proxied = identity.Get() != original;
                view->add = service->get_TimerGroups(&groups);
            }
            if (SUCCEEDED(view->add)) view->add = groups->Add(&handle, &group);
            if (SUCCEEDED(view->add)) {
                groups->Count(&view->count);
                group->get_hWnd(&view->addedHandle);
            }
        }
        CoUninitialize();
    }
    *done = true;
    PostThreadMessageW(owner, WM_NULL, 0, 0);  // wakes the owner's message loop to see it
}

TEST(ComMarshalling, AnotherThreadWorksOnTheOwnersRegistry) {
    ComPtr<_clsVxTimeTimerMainA> service;
    ASSERT_EQ(S_OK, CreateService(&service));
    ComPtr<IUnknown> identity;
    ASSERT_EQ(S_OK, service.As(&identity));
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CoMarshalInterThreadInterfaceInStream(IID__clsVxTimeTimerMainA, service.Get(), &stream));

    RemoteView view;
    std::atomic<bool> done{false};
    const LONG handle = 4321;
    std::thread other(UseFromAnotherThread, stream, identity.Get(), handle, &view, &done, GetCurrentThreadId());
    // The other thread's calls are delivered through this thread's messages.
    const bool finished = PumpUntil([&] { return done.load(); }, 20000);
    other.join();
    ASSERT_TRUE(finished);

    ASSERT_EQ(S_OK, view.unmarshal);
    EXPECT_TRUE(view.proxied) << "the other thread holds a proxy, not the object";
    ASSERT_EQ(S_OK, view.add);
    EXPECT_EQ(1, view.count);
    EXPECT_EQ(handle, view.addedHandle);

    // The group is in this thread's registry.
    ComPtr<_clsVxTimeTimerGroupsA> groups;
    ASSERT_EQ(S_OK, service->get_TimerGroups(&groups));
    ASSERT_EQ(1, CountOf(groups.Get()));
    LONG first = 1;
    ComPtr<_clsVxTimeTimerGroupA> group;
    ASSERT_EQ(S_OK, groups->get_Item(&first, &group));
    LONG stored = 0;
    group->get_hWnd(&stored);
    EXPECT_EQ(handle, stored);
}

}  // namespace
}  // namespace zxcom
