#pragma once
// The calls the layers below the service make into it. They cannot include
// the service: it provides these once per process (the composition root
// installs them) and the apartment layer holds them.
#include "apartment/additional_argu.h"

namespace zx {

// The registered service object (gTimerMain) as the layers below the
// service see it: the one that delivers every notification.
class TimerNotifier : public IUnknown {
public:
    // To the buddy's named methods when BuddyObject is set, otherwise to the
    // connected sinks. Changes to by-reference arguments reach the caller;
    // every failure is ignored.
    virtual void RaiseTimerStart(LONG* hWnd, LONG* timerId, LONG elapseTime, AdditionalArguStru* record,
                                 VARIANT_BOOL* cancel) noexcept = 0;
    virtual void RaiseTimerElapse(LONG* hWnd, LONG* timerId, LONG elapseTime,
                                  AdditionalArguStru* record) noexcept = 0;
};

// What timer addition asks of the service.
class ServiceLinks {
public:
    // gTimerMain, creating a service object first if it is empty.
    virtual ComPtr<TimerNotifier> TimerMain() = 0;
    // Copies `record` into gLastAdditionalArgu and arms the platform timer
    // with the repeating tick procedure when *repeat is True (-1), the
    // one-shot one otherwise. Returns the platform's result (0 on failure).
    virtual UINT_PTR ArmTimer(LONG* hWnd, LONG* timerId, LONG* milliseconds, VARIANT_BOOL* repeat,
                              const AdditionalArguStru* record) = 0;

protected:
    ~ServiceLinks() = default;
};

void InstallServiceLinks(ServiceLinks* links);
// The installed links; E_UNEXPECTED (as ComFailure) when there are none.
ServiceLinks& Service();

}  // namespace zx
