#pragma once
// clsVxTimeTimerMainA: the service object clients hold with events. The
// apartment's registered one (gTimerMain) delivers every notification.
#include "apartment/service_links.h"
#include "com/com_object.h"
#include "com/connection_point.h"

namespace zx {

class TimerService final
    : public AutomationObject<_clsVxTimeTimerMainA, EventSourceOf<&DIID___clsVxTimeTimerMainA, &CLSID_clsVxTimeTimerMainA>,
                              TimerNotifier> {
public:
    // Creates a service object and runs its creation step: it becomes the
    // apartment's gTimerMain over a fresh, empty registry.
    static ComPtr<TimerService> Create();

    STDMETHODIMP get_BuddyObject(IDispatch** ret) override;
    STDMETHODIMP putref_BuddyObject(IDispatch* value) override;
    STDMETHODIMP get_TimerGroups(_clsVxTimeTimerGroupsA** ret) override;
    STDMETHODIMP putref_TimerGroups(_clsVxTimeTimerGroupsA* value) override;
    STDMETHODIMP TimerStop(LONG* lHwnd, LONG* lTimerId) override;
    STDMETHODIMP TimerStart(LONG* lHwnd, LONG* lTimerId) override;
    STDMETHODIMP ShowTimerDialog(LONG* hWnd, VARIANT* ret) override;
    STDMETHODIMP GetPercentage(LONG* lHwnd, LONG* lTimerId, LONG* ret) override;
    STDMETHODIMP ResetTimer(LONG* lHwnd, LONG* lTimerId, LONG* ret) override;

    void RaiseTimerStart(LONG* hWnd, LONG* timerId, LONG elapseTime, AdditionalArguStru* record,
                         VARIANT_BOOL* cancel) noexcept override;
    void RaiseTimerElapse(LONG* hWnd, LONG* timerId, LONG elapseTime, AdditionalArguStru* record) noexcept override;

private:
    TimerService() = default;
    ~TimerService() override;
    template <class T, class... A> friend ComPtr<T> MakeObject(A&&...);
    void* QueryExtra(REFIID riid) override { return QueryEventSource(riid); }

    ComPtr<IDispatch> buddy_;
};

// gTimerMain, creating a service object first if it is empty.
ComPtr<TimerNotifier> TimerMain();

}  // namespace zx
