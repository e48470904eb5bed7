#include "harness.h"

#include "apartment/apartment.h"

namespace bench {

BenchPlatform::BenchPlatform() { real_ = zx::SetPlatformForTesting(this); }
BenchPlatform::~BenchPlatform() { zx::SetPlatformForTesting(real_); }

UINT_PTR BenchPlatform::SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure) {
    if (!procedure) {
        messageTimers_.emplace_back(window, id);
        return id;
    }
    if (armTimers) return real_->SetTimer(window, id, milliseconds, procedure);
    return id ? id : 1;
}

BOOL BenchPlatform::KillTimer(HWND window, UINT_PTR id) {
    for (auto t = messageTimers_.begin(); t != messageTimers_.end(); ++t) {
        if (t->first == window && t->second == id) {
            messageTimers_.erase(t);
            return TRUE;
        }
    }
    return armTimers ? real_->KillTimer(window, id) : TRUE;
}

UINT_PTR BenchPlatform::MessageTimerOf(HWND window) const {
    for (const auto& [w, id] : messageTimers_)
        if (w == window) return id;
    return 0;
}

void BenchPlatform::MessageBox(const std::wstring&) { ++messageBoxes; }

STDMETHODIMP NullSink::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID___clsVxTimeTimerMainA) {
        *out = static_cast<IDispatch*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP NullSink::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP NullSink::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    ++calls;
    return S_OK;
}

Window::Window()
    : window_(CreateWindowExW(0, L"STATIC", L"zentrix bench", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr)) {}
Window::~Window() {
    if (window_) DestroyWindow(window_);
}

Registry::Registry(LONG hwnd_, LONG count, IDispatch* sink) : hwnd(hwnd_) {
    zx::DiscardApartment();
    service = zx::TimerService::Create();
    if (sink) {
        ComPtr<IConnectionPointContainer> container;
        service.As(&container);
        container->FindConnectionPoint(DIID___clsVxTimeTimerMainA, &point);
        point->Advise(sink, &cookie);
    }
    ComPtr<_clsVxTimeTimerGroupsA> groups;
    service->get_TimerGroups(&groups);
    ComPtr<_clsVxTimeTimerGroupA> group;
    LONG handle = hwnd;
    groups->Add(&handle, &group);
    group->get_TimerItems(&timers);
    for (LONG id = 1; id <= count; ++id) AddTimer(id, 60000, false);
}

Registry::~Registry() {
    if (point) point->Unadvise(cookie);
    point.Reset();
    timers.Reset();
    service.Reset();
    zx::DiscardApartment();
}

void Registry::AddTimer(LONG id, LONG milliseconds, bool repeat) {
    AdditionalArguStru record{id, 0, 0, nullptr};
    auto units = timeTimerTimeUnitsMicroseconds;
    VARIANT_BOOL repeatFlag = repeat ? VARIANT_TRUE : VARIANT_FALSE;
    BSTR owner = nullptr;
    zx::Variant result;
    zx::Apartment().gCurrentHwnd = hwnd;  // as after the client fetched its group
    timers->Add(&id, &record, &milliseconds, &units, &repeatFlag, &owner, result.Get());
}

ComPtr<_clsVxTimeTimerItemA> Registry::Last() {
    LONG count = 0;
    timers->get_Count(&count);
    VARIANT index;
    index.vt = VT_I4;
    index.lVal = count;
    ComPtr<_clsVxTimeTimerItemA> timer;
    timers->get_Item(&index, &timer);
    return timer;
}

int64_t HeapBusyBytes() {
    HANDLE heaps[256];
    const DWORD count = GetProcessHeaps(256, heaps);
    int64_t busy = 0;
    for (DWORD i = 0; i < count && i < 256; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return busy;
}

}  // namespace bench
