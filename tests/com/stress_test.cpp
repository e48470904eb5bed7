// The re-entry stress test: 200 real repeating timers on two windows tick
// for a few seconds while the event handlers release the service object,
// discard the registry, remove the timer that is firing, disconnect
// themselves, stop, start and reset other timers, open and close the monitor
// window and run the message loop inside the event. What happens when is
// up to the platform's timing; the test asserts only what holds whatever the
// timing: nothing crashes, the handlers ran, and at the end no sink is held
// and no object of the library is alive.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "com_support.h"
#include "seeded_random.h"

#include <imm.h>

namespace zxcom {
namespace {

constexpr int kWindows = 2;
constexpr LONG kTimersPerWindow = 100;
constexpr auto kDuration = std::chrono::seconds(3);

// A sink that hands every event to the client's handler; it allocates
// nothing.
class StressSink final : public CountedDispatch {
public:
    using Handler = void (*)(void* client, StressSink* sink, DISPID event, DISPPARAMS* params);
    StressSink(Handler handler, void* client) : handler_(handler), client_(client) {}

    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        ++events;
        if (id == 2) ++ticks;
        handler_(client_, this, id, params);
        return S_OK;
    }

    long long events = 0;
    long long ticks = 0;  // OnTimerElapse
    IConnectionPoint* point = nullptr;  // where it is connected (held by the client)
    DWORD cookie = 0;

private:
    Handler handler_;
    void* client_;
};

// Runs the thread's messages until `deadline` or `limit` messages: with
// 200 timers due every 10 ms, the queue may never be empty.
void PumpSome(std::chrono::steady_clock::time_point deadline, int limit) {
    MSG msg;
    for (int i = 0; i < limit && std::chrono::steady_clock::now() < deadline; ++i) {
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

BOOL CALLBACK CollectMonitors(HWND window, LPARAM found) {
    wchar_t name[32] = {};
    if (GetClassNameW(window, name, 32) && wcscmp(name, L"ZentrixTimerMonitor") == 0)
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

// The client: its windows, its service object and collections, four sinks,
// and the handler that calls back into the library from inside the events.
class StressClient {
public:
    explicit StressClient(uint64_t seed) : random_(seed) {
        for (auto& sink : sinks_) sink = new StressSink(&StressClient::OnEvent, this);
    }
    ~StressClient() {
        for (StressSink* sink : sinks_) delete sink;
    }

    bool Start() {
        for (int i = 0; i < kWindows; ++i) {
            windows_[i] = CreateWindowExW(0, L"STATIC", L"zentrix stress", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                          GetModuleHandleW(nullptr), nullptr);
            if (!windows_[i]) return false;
        }
        return Rebuild();
    }

    // A service object with every sink connected and both windows' timers
    // registered and armed (identifiers already registered are refused with
    // a message box, which the hook refuses in turn).
    bool Rebuild() {
        if (!service_) {
            // A new service object takes over the registration: every sink
            // moves to it.
            if (FAILED(CreateService(&service_))) return false;
            for (StressSink* sink : sinks_) Disconnect(sink);
        }
        ComPtr<_clsVxTimeTimerMainA> service = service_;  // held for the calls, as a client does
        for (StressSink* sink : sinks_)
            if (!sink->point) Connect(sink);
        ComPtr<_clsVxTimeTimerGroupsA> groups;
        if (FAILED(service->get_TimerGroups(&groups)) || !groups) return false;
        for (int w = 0; w < kWindows; ++w) {
            ComPtr<_clsVxTimeTimerGroupA> group = GroupOf(groups.Get(), Handle(w));
            LONG handle = Handle(w);
            if (!group && FAILED(groups->Add(&handle, &group))) return false;
            ComPtr<_clsVxTimeTimerItemsA> items;
            if (!group || FAILED(group->get_TimerItems(&items)) || !items) continue;
            // Fetched again: handlers may have moved the current window handle.
            group = GroupOf(groups.Get(), Handle(w));
            for (LONG id = 1; id <= kTimersPerWindow; ++id) {
                Record record(id, w, 0, L"stress");
                LONG timerId = id;
                AddTimer(items.Get(), timerId, record, 10 + (id % 3) * 10, timeTimerTimeUnitsMicroseconds, true);
            }
        }
        return true;
    }

    void Run() {
        const auto end = std::chrono::steady_clock::now() + kDuration;
        auto nextRebuild = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() < end) {
            PumpSome(std::chrono::steady_clock::now() + std::chrono::milliseconds(20), 1000);
            if (std::chrono::steady_clock::now() >= nextRebuild) {
                service_.Reset();
                Rebuild();
                nextRebuild = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
            }
        }
    }

    // Ends the client's part: every reference it holds goes, and its windows
    // with their timers. Sinks stay connected: the library releases them as
    // their sources end.
    void Stop() {
        for (StressSink* sink : sinks_) {
            if (sink->point) sink->point->Release();
            sink->point = nullptr;
        }
        service_.Reset();
        for (HWND& window : windows_) {
            if (window) DestroyWindow(window);
            window = nullptr;
        }
    }

    long long Events() const {
        long long total = 0;
        for (StressSink* sink : sinks_) total += sink->events;
        return total;
    }
    long long Ticks() const {
        long long total = 0;
        for (StressSink* sink : sinks_) total += sink->ticks;
        return total;
    }
    const StressSink* Sink(int i) const { return sinks_[i]; }
    static constexpr int kSinks = 4;
    long long actions = 0;
    long long monitors = 0;  // monitor windows opened

private:
    LONG Handle(int w) const { return static_cast<LONG>(reinterpret_cast<LONG_PTR>(windows_[w])); }

    void Connect(StressSink* sink) {
        ComPtr<IConnectionPointContainer> container;
        ComPtr<IConnectionPoint> point;
        if (!service_ || FAILED(service_.As(&container)) ||
            FAILED(container->FindConnectionPoint(DIID___clsVxTimeTimerMainA, &point)) ||
            FAILED(point->Advise(sink, &sink->cookie)))
            return;
        sink->point = point.Detach();
    }

    void Disconnect(StressSink* sink) {
        if (!sink->point) return;
        IConnectionPoint* point = sink->point;
        sink->point = nullptr;
        point->Unadvise(sink->cookie);
        point->Release();
    }

    static void OnEvent(void* self, StressSink* sink, DISPID event, DISPPARAMS* params) {
        static_cast<StressClient*>(self)->Handle(sink, event, params);
    }

    void Handle(StressSink* sink, DISPID, DISPPARAMS* params) {
        if (depth_ >= 3 || !params || params->cArgs < 4) return;
        ++depth_;
        const LONG hWnd = params->rgvarg[params->cArgs - 1].vt == (VT_I4 | VT_BYREF)
                              ? *params->rgvarg[params->cArgs - 1].plVal : 0;
        const LONG timerId = params->rgvarg[params->cArgs - 2].vt == (VT_I4 | VT_BYREF)
                                 ? *params->rgvarg[params->cArgs - 2].plVal : 0;
        ++actions;
        const uint32_t action = random_.Below(100);
        if (action < 2) {
            service_.Reset();  // the client's last reference
        } else if (action < 4) {
            if (ComPtr<_clsVxTimeTimerMainA> service = service_) service->putref_TimerGroups(nullptr);
        } else if (action < 8) {
            RemoveTimer(hWnd, timerId);  // the one firing
        } else if (action < 10) {
            Disconnect(sink);
        } else if (action < 15) {
            for (StressSink* other : sinks_)
                if (!other->point) Connect(other);
        } else if (action < 25) {
            Control(0);
        } else if (action < 35) {
            Control(1);
        } else if (action < 40) {
            Control(2);
        } else if (action < 44) {
            Control(3);
        } else if (action < 46) {
            ComPtr<_clsVxTimeTimerMainA> service = service_;
            std::vector<HWND> open;
            EnumThreadWindows(GetCurrentThreadId(), CollectMonitors, reinterpret_cast<LPARAM>(&open));
            if (service && open.size() < 3) {  // each window costs milliseconds
                VARIANT result;
                VariantInit(&result);
                if (SUCCEEDED(service->ShowTimerDialog(nullptr, &result))) ++monitors;
                VariantClear(&result);
            }
        } else if (action < 48) {
            std::vector<HWND> monitors;
            EnumThreadWindows(GetCurrentThreadId(), CollectMonitors, reinterpret_cast<LPARAM>(&monitors));
            for (HWND monitor : monitors) DestroyWindow(monitor);
        } else if (action < 56) {
            PumpSome(std::chrono::steady_clock::now() + std::chrono::milliseconds(5), 8);  // ticks inside the event
        } else if (action < 57) {
            Rebuild();
        }
        --depth_;
    }

    // The registered group of a window (Item also makes it the current one).
    static ComPtr<_clsVxTimeTimerGroupA> GroupOf(_clsVxTimeTimerGroupsA* groups, LONG hWnd) {
        LONG count = 0;
        groups->Count(&count);
        for (LONG g = 1; g <= count; ++g) {
            ComPtr<_clsVxTimeTimerGroupA> group;
            LONG handle = 0;
            LONG at = g;
            if (SUCCEEDED(groups->get_Item(&at, &group)) && group && SUCCEEDED(group->get_hWnd(&handle)) &&
                handle == hWnd)
                return group;
        }
        return nullptr;
    }

    void RemoveTimer(LONG hWnd, LONG timerId) {
        ComPtr<_clsVxTimeTimerMainA> service = service_;
        ComPtr<_clsVxTimeTimerGroupsA> groups;
        if (!service || FAILED(service->get_TimerGroups(&groups)) || !groups) return;
        ComPtr<_clsVxTimeTimerGroupA> group = GroupOf(groups.Get(), hWnd);
        ComPtr<_clsVxTimeTimerItemsA> items;
        if (!group || FAILED(group->get_TimerItems(&items)) || !items) return;
        LONG timers = 0;
        items->get_Count(&timers);
        for (LONG t = 1; t <= timers; ++t) {
            ComPtr<_clsVxTimeTimerItemA> item = ItemAt(items.Get(), t);
            LONG id = 0;
            if (item && SUCCEEDED(item->get_TimerId(&id)) && id == timerId) {
                items->Remove(&t);
                return;
            }
        }
    }

    // Stop, start or reset another timer, or read its percentage.
    void Control(int operation) {
        ComPtr<_clsVxTimeTimerMainA> service = service_;
        if (!service) return;
        LONG hWnd = Handle(static_cast<int>(random_.Below(kWindows)));
        LONG id = 1 + static_cast<LONG>(random_.Below(kTimersPerWindow));
        LONG result = 0;
        switch (operation) {
        case 0: service->TimerStop(&hWnd, &id); break;
        case 1: service->TimerStart(&hWnd, &id); break;
        case 2: service->ResetTimer(&hWnd, &id, &result); break;
        default: service->GetPercentage(&hWnd, &id, &result); break;
        }
        SetErrorInfo(0, nullptr);
    }

    zxfuzz::Random random_;
    HWND windows_[kWindows] = {};
    ComPtr<_clsVxTimeTimerMainA> service_;
    StressSink* sinks_[kSinks] = {};
    int depth_ = 0;
};

TEST(ComStress, HandlersThatReenterWhileTwoHundredTimersTick) {
    bool started = false;
    long long events = 0, ticks = 0, actions = 0, monitors = 0;
    ULONG sinkReferences[StressClient::kSinks] = {};
    const auto begin = std::chrono::steady_clock::now();
    std::thread worker([&] {
        ImmDisableIME(GetCurrentThreadId());
        if (FAILED(CoInitialize(nullptr))) return;
        MessageBoxRefusal boxes;
        {
            StressClient client(13);
            started = client.Start();
            if (started) client.Run();
            client.Stop();
            // The apartment ends: the registry and the registered service
            // object go, and with them every connection point.
            CoUninitialize();
            events = client.Events();
            ticks = client.Ticks();
            actions = client.actions;
            monitors = client.monitors;
            for (int i = 0; i < StressClient::kSinks; ++i) sinkReferences[i] = client.Sink(i)->references;
        }
    });
    worker.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::printf("stress: %lld events (%lld of them ticks), %lld handler actions, %lld monitor windows, %.1f s\n",
                events, ticks, actions, monitors, seconds);
    ASSERT_TRUE(started);
    EXPECT_GT(ticks, 0) << "no timer ticked";
    for (int i = 0; i < StressClient::kSinks; ++i) EXPECT_EQ(1u, sinkReferences[i]) << "sink " << i << " still held";
    EXPECT_EQ(S_OK, LoadedDllCanUnloadNow()) << "an object of the library is still alive";
}

}  // namespace
}  // namespace zxcom
