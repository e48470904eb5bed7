#pragma once
// What every benchmark section stands on: a platform that arms only the
// timers a section asks for, a sink that does nothing, a hidden window,
// registries of a given size, and the process heap's busy bytes.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "com/owned.h"
#include "platform/platform.h"
#include "service/timer_service.h"

namespace bench {

using zx::ComPtr;

// Window timers with a procedure (the registry's) reach the system only
// while `armTimers` is set; otherwise they are counted and not armed.
// Timers without one (the monitor window's refresh) are recorded and never
// armed, so a section refreshes a window when it chooses. The clock, the
// tick count and the message pump are the system's.
class BenchPlatform final : public zx::Platform {
public:
    BenchPlatform();
    ~BenchPlatform() override;

    float SecondsSinceMidnight() override { return real_->SecondsSinceMidnight(); }
    uint32_t TickCount() override { return real_->TickCount(); }
    UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure) override;
    BOOL KillTimer(HWND window, UINT_PTR id) override;
    void MessageBox(const std::wstring& text) override;
    void DispatchPendingMessages() override { real_->DispatchPendingMessages(); }

    // The message timer recorded for `window`, 0 if none.
    UINT_PTR MessageTimerOf(HWND window) const;

    bool armTimers = false;
    long messageBoxes = 0;

private:
    zx::Platform* real_;
    std::vector<std::pair<HWND, UINT_PTR>> messageTimers_;
};

// A sink of the service object's events that does nothing.
class NullSink final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
    long calls = 0;
};

// A hidden top-level window of the calling thread.
class Window {
public:
    Window();
    ~Window();
    HWND Get() const { return window_; }
    LONG Handle() const { return static_cast<LONG>(reinterpret_cast<LONG_PTR>(window_)); }

private:
    HWND window_;
};

// A fresh apartment registry with a service object and one group for
// `hwnd` with timers 1..count (milliseconds, one-shot, an interval of a
// minute), added through the vtable; the sink is connected when given.
struct Registry {
    Registry(LONG hwnd, LONG count, IDispatch* sink = nullptr);
    ~Registry();
    // Adds timer `id` (the platform arms it only while armTimers is set).
    void AddTimer(LONG id, LONG milliseconds, bool repeat);
    ComPtr<_clsVxTimeTimerItemA> Last();

    LONG hwnd;
    ComPtr<zx::TimerService> service;
    ComPtr<_clsVxTimeTimerItemsA> timers;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
};

// The bytes of every busy block in the process's heaps.
int64_t HeapBusyBytes();

// Sizes given on the command line, or the defaults.
struct Options {
    bool quick = false;
    std::wstring out;  // the table as markdown
};

}  // namespace bench
