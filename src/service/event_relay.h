#pragma once
// clsVxTimeTimerEventsA: declares the timer events and a BuddyObject slot,
// and never raises anything. Creating one empties the apartment's registry.
#include "com/com_object.h"
#include "com/connection_point.h"
#include "com/owned.h"
#include "zentrix.h"

namespace zx {

class EventRelay final
    : public AutomationObject<_clsVxTimeTimerEventsA,
                              EventSourceOf<&DIID___clsVxTimeTimerEventsA, &CLSID_clsVxTimeTimerEventsA>> {
public:
    static ComPtr<EventRelay> Create();

    STDMETHODIMP get_BuddyObject(IDispatch** ret) override;
    STDMETHODIMP putref_BuddyObject(IDispatch* value) override;

private:
    EventRelay() = default;
    template <class T, class... A> friend ComPtr<T> MakeObject(A&&...);
    void* QueryExtra(REFIID riid) override { return QueryEventSource(riid); }

    ComPtr<IDispatch> buddy_;
};

}  // namespace zx
