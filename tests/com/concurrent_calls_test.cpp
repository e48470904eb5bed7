// Late-bound calls from two apartments at once on objects of the same
// interfaces: the first calls of both race to plan the members, and every
// call still reaches its own object's function.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "com_support.h"

namespace zxcom {
namespace {

constexpr int kRounds = 1500;

DISPID IdOf(IDispatch* object, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

// Calls with `args` in rgvarg order (the last argument first); a put names
// its value DISPID_PROPERTYPUT.
HRESULT Invoke(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
    DISPID putId = DISPID_PROPERTYPUT;
    const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    DISPPARAMS params{args.data(), put ? &putId : nullptr, static_cast<UINT>(args.size()), put ? 1u : 0u};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}

struct Outcome {
    HRESULT setup = E_FAIL;
    int calls = 0;
    int wrong = 0;
    std::string firstWrong;
};

void Check(Outcome& out, bool right, const char* what, int round) {
    ++out.calls;
    if (right) return;
    if (out.wrong++ == 0) out.firstWrong = std::string(what) + " in round " + std::to_string(round);
}

void RunCalls(LONG index, HANDLE ready, HANDLE start, Outcome* out) {
    if (FAILED(CoInitialize(nullptr))) {
        SetEvent(ready);
        return;
    }
    {
        HiddenWindow window;
        ComPtr<_clsVxTimeTimerMainA> service;
        ComPtr<_clsVxTimeTimerGroupsA> groups;
        ComPtr<_clsVxTimeTimerGroupA> group;
        ComPtr<_clsVxTimeTimerItemsA> items;
        LONG handle = window.Handle(), timerId = 7;
        Record record(index);
        HRESULT hr = CreateService(&service);
        if (SUCCEEDED(hr)) hr = service->get_TimerGroups(&groups);
        if (SUCCEEDED(hr)) hr = groups->Add(&handle, &group);
        if (SUCCEEDED(hr)) hr = group->get_TimerItems(&items);
        if (SUCCEEDED(hr)) hr = AddTimer(items.Get(), timerId, record, 600000);
        ComPtr<IDispatch> timer, timers, main;
        if (SUCCEEDED(hr)) hr = ItemAt(items.Get(), 1).As(&timer);
        if (SUCCEEDED(hr)) hr = items.As(&timers);
        if (SUCCEEDED(hr)) hr = service.As(&main);
        out->setup = hr;
        // Both threads make their first late-bound calls together.
        SetEvent(ready);
        WaitForSingleObject(start, 10000);
        if (SUCCEEDED(hr)) {
            const DISPID owner = IdOf(timer.Get(), L"Owner"), repeat = IdOf(timer.Get(), L"Repeat");
            const DISPID check = IdOf(timers.Get(), L"CheckExistance");
            const DISPID buddy = IdOf(main.Get(), L"BuddyObject");
            for (int round = 0; round < kRounds; ++round) {
                const std::wstring text = L"thread " + std::to_wstring(index) + L" round " + std::to_wstring(round);
                VARIANT value;
                value.vt = VT_BSTR;
                value.bstrVal = SysAllocString(text.c_str());
                Check(*out, Invoke(timer.Get(), owner, DISPATCH_PROPERTYPUT, {value}, nullptr) == S_OK, "Owner let",
                      round);
                VariantClear(&value);
                VARIANT read;
                VariantInit(&read);
                hr = Invoke(timer.Get(), owner, DISPATCH_PROPERTYGET, {}, &read);
                Check(*out, hr == S_OK && read.vt == VT_BSTR && text == read.bstrVal, "Owner get", round);
                VariantClear(&read);

                VARIANT flag;
                flag.vt = VT_BOOL;
                flag.boolVal = (round & 1) ? VARIANT_TRUE : VARIANT_FALSE;
                Check(*out, Invoke(timer.Get(), repeat, DISPATCH_PROPERTYPUT, {flag}, nullptr) == S_OK, "Repeat let",
                      round);
                hr = Invoke(timer.Get(), repeat, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &read);
                Check(*out, hr == S_OK && read.vt == VT_BOOL && read.boolVal == flag.boolVal, "Repeat get", round);
                VariantClear(&read);

                // A method with two references, for this thread's window and
                // timer and for one that is not there.
                LONG hwnd = handle, id = (round & 1) ? timerId : timerId + 1;
                VARIANT hwndRef, idRef;
                hwndRef.vt = idRef.vt = VT_I4 | VT_BYREF;
                hwndRef.plVal = &hwnd;
                idRef.plVal = &id;
                hr = Invoke(timers.Get(), check, DISPATCH_METHOD, {idRef, hwndRef}, &read);
                Check(*out,
                      hr == S_OK && read.vt == VT_BOOL &&
                          read.boolVal == ((round & 1) ? VARIANT_TRUE : VARIANT_FALSE),
                      "CheckExistance", round);
                VariantClear(&read);

                // A plain put of an object takes the reference setter (the last
                // one empties it again).
                VARIANT object;
                object.vt = VT_DISPATCH;
                object.pdispVal = (round & 1) ? nullptr : timers.Get();
                Check(*out, Invoke(main.Get(), buddy, DISPATCH_PROPERTYPUT, {object}, nullptr) == S_OK,
                      "BuddyObject put", round);
                hr = Invoke(main.Get(), buddy, DISPATCH_PROPERTYGET, {}, &read);
                Check(*out, hr == S_OK && read.vt == VT_DISPATCH && read.pdispVal == object.pdispVal,
                      "BuddyObject get", round);
                VariantClear(&read);
            }
        }
    }
    CoUninitialize();
}

TEST(ConcurrentCalls, TwoApartmentsCallTheSameMembersAtOnce) {
    HANDLE ready[2] = {CreateEventW(nullptr, TRUE, FALSE, nullptr), CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Outcome outcomes[2];
    std::thread first(RunCalls, 1, ready[0], start, &outcomes[0]);
    std::thread second(RunCalls, 2, ready[1], start, &outcomes[1]);
    WaitForMultipleObjects(2, ready, TRUE, 10000);
    SetEvent(start);
    first.join();
    second.join();
    for (HANDLE event : {ready[0], ready[1], start}) CloseHandle(event);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(testing::Message() << "client thread " << i + 1);
        ASSERT_EQ(S_OK, outcomes[i].setup);
        EXPECT_EQ(kRounds * 7, outcomes[i].calls);
        EXPECT_EQ(0, outcomes[i].wrong) << outcomes[i].firstWrong;
    }
}

}  // namespace
}  // namespace zxcom
