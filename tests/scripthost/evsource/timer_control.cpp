#include "timer_control.h"

#include <map>

#include "connectable.h"
#include "zxevsource.h"

namespace zxtest {
namespace {

class TimerControl final : public ConnectableObject<IZxTimerControl> {
public:
    TimerControl() : ConnectableObject(__uuidof(ZxTimerControlEvents), __uuidof(ZxTimerControl)) {}
    ~TimerControl() override { Arm(); }

    HRESULT init() {
        ComPtr<ITypeLib> lib;
        return Describe(&lib);
    }

    STDMETHODIMP get_Enabled(VARIANT_BOOL* value) override {
        *value = enabled_ ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP put_Enabled(VARIANT_BOOL value) override {
        enabled_ = value != VARIANT_FALSE;
        return Arm();
    }
    STDMETHODIMP get_Interval(LONG* value) override {
        *value = interval_;
        return S_OK;
    }
    STDMETHODIMP put_Interval(LONG value) override {
        if (value < 0) return E_INVALIDARG;
        interval_ = value;
        return Arm();
    }
    STDMETHODIMP get_Ticks(LONG* value) override {
        *value = ticks_;
        return S_OK;
    }

private:
    // Thread timers of this thread's controls; a control stops its own.
    static std::map<UINT_PTR, TimerControl*>& Running() {
        static std::map<UINT_PTR, TimerControl*> running;
        return running;
    }

    // Starts, restarts or stops the thread timer to match Enabled and Interval.
    HRESULT Arm() {
        if (timer_) {
            KillTimer(nullptr, timer_);
            Running().erase(timer_);
            timer_ = 0;
        }
        if (!enabled_ || interval_ <= 0) return S_OK;
        timer_ = SetTimer(nullptr, 0, UINT(interval_), &TimerControl::OnTick);
        if (!timer_) return HRESULT_FROM_WIN32(GetLastError());
        Running()[timer_] = this;
        return S_OK;
    }

    static void CALLBACK OnTick(HWND, UINT, UINT_PTR id, DWORD) {
        auto found = Running().find(id);
        if (found == Running().end()) return;
        ComPtr<TimerControl> self(found->second);  // a handler may release it
        ++self->ticks_;
        self->Fire(1, nullptr, 0);
    }

    bool enabled_ = false;
    LONG interval_ = 0;
    LONG ticks_ = 0;
    UINT_PTR timer_ = 0;
};

}  // namespace

HRESULT CreateTimerControl(REFIID riid, void** ppv) { return CreateObject<TimerControl>(riid, ppv); }

}  // namespace zxtest
