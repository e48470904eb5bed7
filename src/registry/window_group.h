#pragma once
// clsVxTimeTimerGroupA: a window handle and its timer collection, both plain
// stored values.
#include "com/com_object.h"
#include "com/owned.h"
#include "zentrix.h"

namespace zx {

class WindowGroup final : public AutomationObject<_clsVxTimeTimerGroupA> {
public:
    static ComPtr<_clsVxTimeTimerGroupA> Create();

    STDMETHODIMP get_hWnd(LONG* ret) override;
    STDMETHODIMP put_hWnd(LONG value) override;
    STDMETHODIMP get_TimerItems(_clsVxTimeTimerItemsA** ret) override;
    STDMETHODIMP putref_TimerItems(_clsVxTimeTimerItemsA* value) override;

    LONG Handle() const { return hWnd_; }

private:
    WindowGroup() = default;
    template <class T, class... A> friend ComPtr<T> MakeObject(A&&...);

    LONG hWnd_ = 0;
    ComPtr<_clsVxTimeTimerItemsA> timerItems_;
};

}  // namespace zx
