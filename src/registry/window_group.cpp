#include "registry/window_group.h"

namespace zx {

ComPtr<_clsVxTimeTimerGroupA> WindowGroup::Create() { return MakeObject<WindowGroup>(); }

STDMETHODIMP WindowGroup::get_hWnd(LONG* ret) {
    if (!ret) return E_POINTER;
    *ret = hWnd_;
    return S_OK;
}

STDMETHODIMP WindowGroup::put_hWnd(LONG value) {
    hWnd_ = value;
    return S_OK;
}

STDMETHODIMP WindowGroup::get_TimerItems(_clsVxTimeTimerItemsA** ret) {
    if (!ret) return E_POINTER;
    *ret = ComPtr<_clsVxTimeTimerItemsA>(timerItems_).Detach();
    return S_OK;
}

STDMETHODIMP WindowGroup::putref_TimerItems(_clsVxTimeTimerItemsA* value) {
    ComPtr<_clsVxTimeTimerItemsA> previous = std::exchange(timerItems_, value);
    return S_OK;
}

}  // namespace zx
