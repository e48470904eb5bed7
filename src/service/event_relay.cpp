#include "service/event_relay.h"

#include "apartment/apartment.h"
#include "registry/window_groups.h"

namespace zx {

ComPtr<EventRelay> EventRelay::Create() {
    ComPtr<EventRelay> relay = MakeObject<EventRelay>();
    ComPtr<_clsVxTimeTimerGroupsA> discarded = std::exchange(Apartment().gTimerGroups, WindowGroups::Create());
    return relay;
}

STDMETHODIMP EventRelay::get_BuddyObject(IDispatch** ret) {
    if (!ret) return E_POINTER;
    *ret = ComPtr<IDispatch>(buddy_).Detach();
    return S_OK;
}

STDMETHODIMP EventRelay::putref_BuddyObject(IDispatch* value) {
    ComPtr<IDispatch> previous = std::exchange(buddy_, value);
    return S_OK;
}

}  // namespace zx
